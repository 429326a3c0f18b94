#include "desktop/windows/installer/steps/transacted_file_write.h"

#include <memory>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "desktop/windows/installer/service/transactions/copy_file_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"

namespace installer {

bool WriteFileInTransaction(Transaction* transaction, const base::FilePath& path,
                            std::string_view contents) {
  base::FilePath temporary;
  if (!base::CreateTemporaryFileInDir(path.DirName(), &temporary)) {
    LOG(ERROR) << "Cannot create a temporary file beside " << path.AsUTF8Unsafe();
    return false;
  }
  // A copy rather than a move: a rollback then only removes the new file and
  // brings the previous one back, with no temporary file to come back too.
  bool written = base::WriteFile(temporary, contents) &&
                 transaction->Do(std::make_unique<CopyFileOperation>(temporary.value(),
                                                                     path.value()));
  base::DeleteFile(temporary);
  if (!written)
    LOG(ERROR) << "Cannot write " << path.AsUTF8Unsafe();
  return written;
}

}  // namespace installer
