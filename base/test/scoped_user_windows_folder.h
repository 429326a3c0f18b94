// What a Remote Desktop host does to a process that is not marked Terminal
// Server aware, for tests of where the product takes the Windows folder from:
// while an object lives, GetWindowsDirectoryW, called from any module of the
// process through its import table, tells a folder of the user's own instead
// of the system's Windows folder. GetSystemWindowsDirectoryW keeps telling
// the system's. Modules loaded after the object was made are not affected.
// One object at a time.

#ifndef BASE_TEST_SCOPED_USER_WINDOWS_FOLDER_H_
#define BASE_TEST_SCOPED_USER_WINDOWS_FOLDER_H_

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace base::test {

class ScopedUserWindowsFolder {
 public:
  // Makes the user's folder, a "WINDOWS" folder in the scratch folder, and
  // points GetWindowsDirectoryW there.
  ScopedUserWindowsFolder();
  ScopedUserWindowsFolder(const ScopedUserWindowsFolder&) = delete;
  ScopedUserWindowsFolder& operator=(const ScopedUserWindowsFolder&) = delete;
  // Points GetWindowsDirectoryW back at the system's folder.
  ~ScopedUserWindowsFolder();

  // The folder GetWindowsDirectoryW tells meanwhile.
  const std::wstring& folder() const;
  // The system's Windows folder, as GetSystemWindowsDirectoryW tells it.
  static std::wstring SystemFolder();

 private:
  // The import table entries that were pointed at the stand-in, with what
  // they held.
  std::vector<std::pair<void**, void*>> patched_;
};

}  // namespace base::test

#endif  // BASE_TEST_SCOPED_USER_WINDOWS_FOLDER_H_
