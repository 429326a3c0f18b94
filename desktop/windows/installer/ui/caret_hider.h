// Read-only rich-edit controls of the installer show no caret: a subclass
// hides it whenever the control gains focus.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_CARET_HIDER_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_CARET_HIDER_H_

#include <windows.h>

namespace installer {

void HideCaretOnFocus(HWND control);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_CARET_HIDER_H_
