#include "desktop/windows/installer/ui/win32_dialog_dispatcher.h"

#include <atomic>

#include "base/lazy_instance_helpers.h"
#include "base/logging.h"

namespace installer {

namespace {

std::atomic<uintptr_t> g_dispatcher{0};

void DeleteDispatcher(void*) {
  delete reinterpret_cast<Win32DialogDispatcher*>(g_dispatcher.exchange(0));
}

}  // namespace

// static
Win32DialogDispatcher* Win32DialogDispatcher::GetInstance() {
  return base::GetOrCreateLazyPointer<Win32DialogDispatcher>(
      g_dispatcher, [] { return new Win32DialogDispatcher(); }, &DeleteDispatcher, nullptr);
}

void Win32DialogDispatcher::SelectWindow(HWND window) {
  VLOG(2) << "Switching to hwnd " << window;
  selected_window_ = window;
}

void Win32DialogDispatcher::UnselectWindow(HWND window) {
  VLOG(2) << "Switching away from hwnd " << window;
  if (selected_window_ != window) {
    VLOG(2) << "Another hwnd was already selected";
    return;
  }
  selected_window_ = nullptr;
}

void Win32DialogDispatcher::OnDialogActivation(HWND dialog, WPARAM wparam) {
  if (LOWORD(wparam) == WA_INACTIVE)
    UnselectWindow(dialog);
  else
    SelectWindow(dialog);
}

uint32_t Win32DialogDispatcher::Dispatch(const MSG& msg) {
  if (!selected_window_)
    return POST_DISPATCH_PERFORM_DEFAULT;
  MSG copy = msg;
  if (IsDialogMessageW(selected_window_, &copy))
    return POST_DISPATCH_NONE;
  return POST_DISPATCH_PERFORM_DEFAULT;
}

}  // namespace installer
