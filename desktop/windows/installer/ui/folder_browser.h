// FolderBrowser: the shell's folder picker behind the installer window's
// Change and browse buttons. FolderBrowserImpl shows the real dialog; tests
// answer in its place.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_FOLDER_BROWSER_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_FOLDER_BROWSER_H_

#include <windows.h>

#include <string>

namespace installer {

class FolderBrowser {
 public:
  virtual ~FolderBrowser() = default;

  // Lets the user pick a file-system folder in a modal dialog owned by
  // |owner| with |title|, starting at |initial_folder| when it is not empty.
  // True with |folder| set when the user chose one; false when cancelled or
  // the choice has no file-system path.
  virtual bool BrowseForFolder(HWND owner, const std::wstring& title,
                               const std::wstring& initial_folder, std::wstring* folder) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_FOLDER_BROWSER_H_
