// ProtectedDeletion: deletes files that an elevated process cannot delete
// where they lie, above all its own running image: the helper that finishes
// an uninstallation runs from the installation's own installer.exe and
// installer_lib.dll. The user could change the folder they lie in, so they
// are never deleted by path: each is opened without following a link
// (OpenWithoutLinks), moved through that handle into a fresh folder that
// only the administrators and the system can write (in the Windows folder's
// Temp, or at the root of the file's own volume when that is another one),
// and deleted there. What is still in use there (a running image) is named
// for deletion at the next start of Windows (MoveFileExW), and logged; the
// folder too, once its last file is named.

#ifndef DESKTOP_WINDOWS_INSTALLER_PROTECTED_DELETION_H_
#define DESKTOP_WINDOWS_INSTALLER_PROTECTED_DELETION_H_

#include <string>
#include <vector>

#include "base/files/file_path.h"

namespace installer {

class ProtectedDeletion {
 public:
  // The fresh folders are made in |parent| (the Windows folder's Temp).
  explicit ProtectedDeletion(const base::FilePath& parent);
  ProtectedDeletion(const ProtectedDeletion&) = delete;
  ProtectedDeletion& operator=(const ProtectedDeletion&) = delete;
  // Removes the fresh folders, at once when empty, else at the next start.
  ~ProtectedDeletion();

  // Moves |file| out of reach and deletes it (at once or at the next
  // start). False, with the reason in |reason|, when it stays where it was.
  bool Delete(const base::FilePath& file, std::string* reason);

  // What is left for Windows to delete at its next start.
  const std::vector<base::FilePath>& left_for_restart() const { return left_for_restart_; }

 private:
  // The fresh folder in |parent|, made on first use.
  bool FolderIn(const base::FilePath& parent, base::FilePath* folder, std::string* reason);

  const base::FilePath parent_;
  struct Made {
    base::FilePath parent;
    base::FilePath folder;
  };
  std::vector<Made> made_;
  int moved_ = 0;
  std::vector<base::FilePath> left_for_restart_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PROTECTED_DELETION_H_
