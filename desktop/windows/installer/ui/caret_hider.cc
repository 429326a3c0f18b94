#include "desktop/windows/installer/ui/caret_hider.h"

#include <commctrl.h>

#include "base/win/wrapped_window_proc.h"

namespace installer {

namespace {

constexpr UINT_PTR kCaretHiderId = 1;

LRESULT CALLBACK CaretHiderProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                UINT_PTR, DWORD_PTR) {
  if (message == WM_NCDESTROY)
    RemoveWindowSubclass(window, base::win::WrappedWindowProc<&CaretHiderProc>, kCaretHiderId);
  LRESULT result = DefSubclassProc(window, message, wparam, lparam);
  if (message == WM_SETFOCUS)
    HideCaret(window);
  return result;
}

}  // namespace

void HideCaretOnFocus(HWND control) {
  SetWindowSubclass(control, base::win::WrappedWindowProc<&CaretHiderProc>, kCaretHiderId, 0);
}

}  // namespace installer
