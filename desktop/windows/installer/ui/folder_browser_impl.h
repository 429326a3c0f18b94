// FolderBrowserImpl: the shell's "browse for folder" dialog (file-system
// folders only, with an edit box, new dialog style). Stateless; UI thread.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_FOLDER_BROWSER_IMPL_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_FOLDER_BROWSER_IMPL_H_

#include "desktop/windows/installer/ui/folder_browser.h"

namespace installer {

class FolderBrowserImpl : public FolderBrowser {
 public:
  static FolderBrowser* GetInstance();

  bool BrowseForFolder(HWND owner, const std::wstring& title, const std::wstring& initial_folder,
                       std::wstring* folder) override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_FOLDER_BROWSER_IMPL_H_
