// Told by InstallerWindow about the user's decisions. Every registered
// delegate gets each call, in registration order, on the UI thread.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_WINDOW_DELEGATE_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_WINDOW_DELEGATE_H_

namespace installer {

class InstallerWindowDelegate {
 public:
  virtual ~InstallerWindowDelegate() = default;
  // Accept, Try Again or Uninstall was pressed.
  virtual void OnAccept() = 0;
  // The user confirmed the cancel, or an error message was acknowledged.
  virtual void OnCancel() = 0;
  // Get full installer was pressed on the error page.
  virtual void OnGetFullPackage() = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_WINDOW_DELEGATE_H_
