// Small pieces every installer dialog procedure shares: the object behind a
// dialog (its creation parameter, kept in the dialog's user data), the
// executable's icon on a dialog, and black (or red) static texts over the
// dialog's own background.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_DIALOG_UTIL_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_DIALOG_UTIL_H_

#include <windows.h>

namespace installer {

// On WM_INITDIALOG stores |lparam| and returns null; afterwards the stored
// object (null before WM_INITDIALOG).
template <typename Owner>
Owner* GetDialogOwner(HWND dialog, UINT message, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, GWLP_USERDATA, lparam);
    return nullptr;
  }
  return reinterpret_cast<Owner*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

// Icon 1 of the executable as the dialog's big and small icon.
void SetInstallerIcons(HWND dialog);

// A static text drawn over its dialog's background: black, or red for a
// warning. Returns the brush for WM_CTLCOLORSTATIC: |brush| when given, else
// a transparent background and the null brush, so that what the dialog
// painted shows through.
INT_PTR ColourStaticText(HDC dc, bool warning, HBRUSH brush = nullptr);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_DIALOG_UTIL_H_
