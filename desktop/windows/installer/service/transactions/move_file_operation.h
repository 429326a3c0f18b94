// MoveFileOperation moves a file (or folder) onto a destination path, making
// room there as CopyFileOperation does. Undo moves it back to the source. A
// source that was read-only gets its read-only bit back when the move fails or
// is undone; the moved file itself is left writable.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_MOVE_FILE_OPERATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_MOVE_FILE_OPERATION_H_

#include <string>

#include "desktop/windows/installer/service/transactions/operation.h"

namespace installer {

class MoveFileOperation : public Operation {
 public:
  MoveFileOperation(const std::wstring& source, const std::wstring& destination);
  ~MoveFileOperation() override;

  bool Do(Transaction* nested) override;
  void Undo() override;

 private:
  std::wstring source_;
  std::wstring destination_;
  bool moved_ = false;
  bool source_was_read_only_ = false;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_MOVE_FILE_OPERATION_H_
