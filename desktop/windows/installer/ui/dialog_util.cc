#include "desktop/windows/installer/ui/dialog_util.h"

#include "resources/installer_resource_ids.h"

namespace installer {

void SetInstallerIcons(HWND dialog) {
  HINSTANCE module = GetModuleHandleW(nullptr);
  // Shared icons: the system keeps them, nothing is destroyed with the dialog.
  HANDLE big = LoadImageW(module, MAKEINTRESOURCEW(IDI_INSTALLER), IMAGE_ICON,
                          GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED);
  HANDLE small = LoadImageW(module, MAKEINTRESOURCEW(IDI_INSTALLER), IMAGE_ICON,
                            GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                            LR_SHARED);
  SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

INT_PTR ColourStaticText(HDC dc, bool warning, HBRUSH brush) {
  SetTextColor(dc, warning ? RGB(255, 0, 0) : RGB(0, 0, 0));
  if (brush)
    return reinterpret_cast<INT_PTR>(brush);
  SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
}

}  // namespace installer
