#include "desktop/windows/installer/service/transactions/copy_file_operation.h"

#include <windows.h>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "desktop/windows/installer/service/transactions/file_destination.h"

namespace installer {

CopyFileOperation::CopyFileOperation(const std::wstring& source,
                                     const std::wstring& destination)
    : source_(source), destination_(destination) {}

CopyFileOperation::~CopyFileOperation() = default;

bool CopyFileOperation::Do(Transaction* nested) {
  if (!PrepareFileDestination(destination_, nested))
    return false;
  VLOG(1) << "Copying " << source_ << " to " << destination_;
  const bool was_read_only = ClearReadOnlyAttribute(source_);
  const bool copied = base::CopyFile(base::FilePath(source_), base::FilePath(destination_));
  const DWORD error = ::GetLastError();
  if (was_read_only)
    RestoreReadOnlyAttribute(source_);
  if (!copied) {
    LOG(ERROR) << "File copy failed " << logging::SystemErrorCodeToString(error);
    return false;
  }
  VLOG(1) << "File copied successfully";
  copied_ = true;
  return true;
}

void CopyFileOperation::Undo() {
  if (!copied_)
    return;
  base::DeleteFile(base::FilePath(destination_));
  copied_ = false;
}

}  // namespace installer
