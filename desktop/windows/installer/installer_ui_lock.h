// InstallerUILock: keeps one interactive installer UI per user session. The
// lock is an open delete-on-close file in the temporary folder holding the
// owner's UI thread id; a named local mutex only serialises the check. The
// lock disappears when the holder closes it or its process ends.

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_UI_LOCK_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_UI_LOCK_H_

#include <windows.h>

#include <string>

#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"

namespace installer {

class InstallerUILock {
 public:
  // The lock file's name in the temporary folder.
  static constexpr wchar_t kLockFileName[] = L"velto_installer_ui.lck";

  InstallerUILock() = default;
  InstallerUILock(const InstallerUILock&) = delete;
  InstallerUILock& operator=(const InstallerUILock&) = delete;
  ~InstallerUILock() = default;

  // The mutex name of the product's UI lock.
  static std::wstring GetMutexName();

  // Takes the lock in |temp_folder|, serialised by the mutex |mutex_name|.
  // Returns the current thread id when this object now holds the lock, the
  // holder's UI thread id when another UI holds it, and 0 when the lock
  // cannot be checked (the run then goes on unguarded).
  DWORD Acquire(const base::FilePath& temp_folder, const std::wstring& mutex_name);
  // Gives the lock up (deletes the file).
  void Release() { file_.Close(); }
  bool held() const { return file_.IsValid(); }

 private:
  base::win::ScopedHandle file_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_UI_LOCK_H_
