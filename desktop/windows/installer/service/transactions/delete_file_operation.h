// DeleteFileOperation removes a file (or folder) in two stages: Do() moves it
// aside to "<path>.<seconds since 1970>.old" (when that name is taken, the
// first free one of the seconds after it); the destructor deletes that backup,
// which is when the removal becomes final. Undo() moves the backup back.
//
// With |check_in_use|, an ".exe" or ".dll" that a running process holds is
// detected after the move (it cannot be opened for writing) and put back, and
// Do() fails. Without write and delete access on the file, Do() grants it to
// the current user for good and fails, so that a retry finds the access.
//
// The user's data is never lost: a backup that could not be moved back is kept
// under its backup name (and logged) instead of being deleted.
// With |remove_empty_parents|, the destructor of a kept removal also removes
// the file's folder and its ancestors while they are empty.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_DELETE_FILE_OPERATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_DELETE_FILE_OPERATION_H_

#include <string>

#include "desktop/windows/installer/service/object_security.h"
#include "desktop/windows/installer/service/transactions/operation.h"

namespace installer {

class DeleteFileOperation : public Operation {
 public:
  DeleteFileOperation(const std::wstring& path, bool check_in_use, bool remove_empty_parents);
  ~DeleteFileOperation() override;

  bool Do(Transaction* nested) override;
  void Undo() override;

  // Where Do() put the file; empty before Do().
  const std::wstring& backup_path() const { return backup_path_; }

 private:
  // Moves the backup back to |path_|; true on success.
  bool MoveBackupBack();

  std::wstring path_;
  std::wstring backup_path_;
  bool moved_ = false;
  bool check_in_use_;
  bool remove_empty_parents_;
  // Stays empty: this kind grants for good.
  SavedObjectSecurity saved_security_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_DELETE_FILE_OPERATION_H_
