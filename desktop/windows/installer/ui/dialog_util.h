// Small pieces every installer dialog procedure shares: the object behind a
// dialog (its creation parameter, kept in the dialog's user data), the
// executable's icon on a dialog, black (or red) static texts over the
// dialog's own background, and the width a control's label takes.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_DIALOG_UTIL_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_DIALOG_UTIL_H_

#include <windows.h>

#include <string_view>

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

// The width |label| takes when |control| draws it in |font| (its own font
// when null): mnemonic ampersands left out, complex scripts shaped as drawn
// (joined Arabic letters are narrower than the letters alone, which is what
// a plain text extent adds up under Wine).
int GetLabelWidth(HWND control, std::wstring_view label, HFONT font = nullptr);

// How far off centre |control| draws its centred |label|: the system lays a
// label out by its text extent (DrawText's), and where it draws it narrower
// than that (shaped, as GetLabelWidth measures) the label lands half the
// difference towards the start of its line. 0 where the two agree, as they
// do where text extents are shaped; under Wine joined Arabic letters are laid
// out at their widths alone.
int GetCentredLabelShift(HWND control, std::wstring_view label);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_DIALOG_UTIL_H_
