#include "desktop/windows/installer/steps/transacted_file_write.h"

#include <memory>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "desktop/windows/installer/service/transactions/move_file_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"

namespace installer {

bool WriteFileInTransaction(Transaction* transaction, const base::FilePath& path,
                            std::string_view contents) {
  base::FilePath temporary;
  if (!base::CreateTemporaryFileInDir(path.DirName(), &temporary)) {
    LOG(ERROR) << "Cannot create a temporary file beside " << path.AsUTF8Unsafe();
    return false;
  }
  if (base::WriteFile(temporary, contents) &&
      transaction->Do(std::make_unique<MoveFileOperation>(temporary.value(), path.value()))) {
    return true;
  }
  LOG(ERROR) << "Cannot write " << path.AsUTF8Unsafe();
  base::DeleteFile(temporary);
  return false;
}

}  // namespace installer
