#include "desktop/windows/installer/service/transactions/move_file_operation.h"

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "desktop/windows/installer/service/transactions/file_destination.h"

namespace installer {

MoveFileOperation::MoveFileOperation(const std::wstring& source,
                                     const std::wstring& destination)
    : source_(source), destination_(destination) {}

MoveFileOperation::~MoveFileOperation() = default;

bool MoveFileOperation::Do(Transaction* nested) {
  if (!PrepareFileDestination(destination_, nested))
    return false;
  VLOG(1) << "Moving " << source_ << "to" << destination_;
  source_was_read_only_ = ClearReadOnlyAttribute(source_);
  if (!base::Move(base::FilePath(source_), base::FilePath(destination_))) {
    LOG(ERROR) << "File copy failed";
    if (source_was_read_only_)
      RestoreReadOnlyAttribute(source_);
    source_was_read_only_ = false;
    return false;
  }
  VLOG(1) << "File copied successfully";
  moved_ = true;
  return true;
}

void MoveFileOperation::Undo() {
  if (!moved_)
    return;
  if (base::Move(base::FilePath(destination_), base::FilePath(source_))) {
    VLOG(1) << "File move rolled back successfully";
    if (source_was_read_only_)
      RestoreReadOnlyAttribute(source_);
  } else {
    LOG(ERROR) << "Could not move " << destination_ << " back to " << source_;
  }
  moved_ = false;
}

}  // namespace installer
