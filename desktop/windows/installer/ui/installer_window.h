// InstallerWindow: what the interactive controller needs from the installer
// window, and InstallerWindowDelegate, what the window tells the controller.
// The window owns its pages; the controller only moves the progress page and
// shows the error page. Everything is called on the UI thread.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_WINDOW_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_WINDOW_H_

#include <windows.h>

#include <string>

namespace installer {

class InstallerWindowDelegate {
 public:
  virtual ~InstallerWindowDelegate() = default;
  // Accept, Try Again or Uninstall was pressed.
  virtual void OnAccept() = 0;
  // The user confirmed that the run is to be cancelled (or closed the window).
  virtual void OnCancel() = 0;
  // "Get full installer" was pressed on the error page.
  virtual void OnGetFullPackage() = 0;
};

class InstallerWindow {
 public:
  virtual ~InstallerWindow() = default;

  virtual void AddDelegate(InstallerWindowDelegate* delegate) = 0;
  virtual void RemoveDelegate(InstallerWindowDelegate* delegate) = 0;

  // The progress text for the controller's progress |phase| (0 to 5).
  virtual void SetProgressText(int phase) = 0;
  // Shows the progress page with a bar from |start| to |end|.
  virtual void SetProgressRange(int start, unsigned end, bool marquee) = 0;
  virtual void SetProgressPos(int pos) = 0;
  // Shows the error page with |text|; |offer_full_package| shows the
  // "Get full installer" button. |reason| goes to the log.
  virtual void ShowError(const std::wstring& text, bool offer_full_package,
                         const std::string& reason) = 0;
  // The standard message box with string |message_id|.
  virtual void ShowMessageBox(int message_id) = 0;
  // Owner of the dialogs the fetcher asks for.
  virtual HWND GetHWND() const = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_WINDOW_H_
