// Win32DialogDispatcher: the UI run loop's message dispatcher. Every window
// message passes the dialog manager (IsDialogMessage) of the selected dialog
// first, so that Tab, Enter, Escape and mnemonics work in the installer's
// modeless dialogs, including the child dialogs of the selected one. A
// dialog selects itself when it is activated and unselects itself when it is
// deactivated. UI thread only; the instance is created on first use and
// deleted by the at-exit manager.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_WIN32_DIALOG_DISPATCHER_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_WIN32_DIALOG_DISPATCHER_H_

#include <windows.h>

#include <cstdint>

#include "base/message_loop/message_pump_dispatcher.h"

namespace installer {

class Win32DialogDispatcher : public base::MessagePumpDispatcher {
 public:
  static Win32DialogDispatcher* GetInstance();

  Win32DialogDispatcher() = default;
  Win32DialogDispatcher(const Win32DialogDispatcher&) = delete;
  Win32DialogDispatcher& operator=(const Win32DialogDispatcher&) = delete;
  ~Win32DialogDispatcher() override = default;

  // |window| becomes the dialog whose manager sees the messages.
  void SelectWindow(HWND window);
  // Clears the selection when |window| is the selected dialog; a dialog that
  // is deactivated after another was activated leaves that one selected.
  void UnselectWindow(HWND window);
  HWND selected_window() const { return selected_window_; }
  // Selects |dialog| when WM_ACTIVATE's |wparam| says it was activated,
  // unselects it when deactivated.
  void OnDialogActivation(HWND dialog, WPARAM wparam);

  // base::MessagePumpDispatcher:
  uint32_t Dispatch(const MSG& msg) override;

 private:
  HWND selected_window_ = nullptr;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_WIN32_DIALOG_DISPATCHER_H_
