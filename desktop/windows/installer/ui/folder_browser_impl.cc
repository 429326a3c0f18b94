#include "desktop/windows/installer/ui/folder_browser_impl.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <wrl/client.h>

#include "base/win/scoped_co_mem.h"

namespace installer {

namespace {

// Selects the initial folder (the callback's data) once the dialog is up.
int CALLBACK SelectInitialFolder(HWND dialog, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED && data)
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

// The parsing name of |item| as the desktop folder gives it: a file-system
// path for file-system folders.
bool GetParsingName(PCIDLIST_ABSOLUTE item, std::wstring* name) {
  Microsoft::WRL::ComPtr<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(&desktop)))
    return false;
  STRRET result = {};
  if (FAILED(desktop->GetDisplayNameOf(item, SHGDN_FORPARSING, &result)))
    return false;
  base::win::ScopedCoMem<wchar_t> text;
  if (FAILED(StrRetToStrW(&result, item, &text)) || !text.get())
    return false;
  *name = text.get();
  return !name->empty();
}

}  // namespace

// static
FolderBrowser* FolderBrowserImpl::GetInstance() {
  static FolderBrowserImpl instance;
  return &instance;
}

bool FolderBrowserImpl::BrowseForFolder(HWND owner, const std::wstring& title,
                                        const std::wstring& initial_folder,
                                        std::wstring* folder) {
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
  if (!initial_folder.empty()) {
    info.lpfn = &SelectInitialFolder;
    info.lParam = reinterpret_cast<LPARAM>(initial_folder.c_str());
  }
  base::win::ScopedCoMem<ITEMIDLIST> item;
  item.Reset(SHBrowseForFolderW(&info));
  if (!item.get())
    return false;
  std::wstring path;
  if (!GetParsingName(item.get(), &path)) {
    wchar_t buffer[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(item.get(), buffer) || !buffer[0])
      return false;
    path = buffer;
  }
  *folder = path;
  return true;
}

}  // namespace installer
