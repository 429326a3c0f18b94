// MoveFileOperation moves a file (or folder) onto a destination path, making
// room there as CopyFileOperation does. Undo moves it back to the source. A
// source that was read-only gets its read-only bit back when the move fails or
// is undone; the moved file itself is left writable.
//
// A moved file keeps the access list it had where it came from. A file taken
// out of a folder closed to all but the system and administrators into an
// installation would stay closed to its users: with kOfDestinationFolder the
// moved file's list is replaced by what its new folder passes down, as a
// copy made there would get, and the move fails (and is undone) when that
// cannot be done.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_MOVE_FILE_OPERATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_MOVE_FILE_OPERATION_H_

#include <string>

#include "desktop/windows/installer/service/transactions/operation.h"

namespace installer {

class MoveFileOperation : public Operation {
 public:
  enum class Access { kKept, kOfDestinationFolder };

  MoveFileOperation(const std::wstring& source, const std::wstring& destination,
                    Access access = Access::kKept);
  ~MoveFileOperation() override;

  bool Do(Transaction* nested) override;
  void Undo() override;

 private:
  std::wstring source_;
  std::wstring destination_;
  Access access_;
  bool moved_ = false;
  bool source_was_read_only_ = false;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_MOVE_FILE_OPERATION_H_
