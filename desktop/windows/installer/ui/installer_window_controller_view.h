// InstallerWindowControllerView: the installer window as the interactive
// controller sees it (InstallerUIController::Window), forwarding to the
// InstallerWindow it owns. Create is the controller's window factory.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_WINDOW_CONTROLLER_VIEW_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_WINDOW_CONTROLLER_VIEW_H_

#include <memory>

#include "desktop/windows/installer/installer_ui_controller.h"
#include "desktop/windows/installer/ui/installer_window.h"

namespace installer {

class InstallerWindowControllerView : public InstallerUIController::Window {
 public:
  // Null when the window cannot be created.
  static std::unique_ptr<InstallerUIController::Window> Create(
      Settings* settings, std::unique_ptr<StatsScope> root_scope, bool run_immediately);

  explicit InstallerWindowControllerView(std::unique_ptr<InstallerWindow> window);
  ~InstallerWindowControllerView() override;

  InstallerWindow* window() { return window_.get(); }

  // InstallerUIController::Window:
  void AddDelegate(InstallerWindowDelegate* delegate) override;
  void RemoveDelegate(InstallerWindowDelegate* delegate) override;
  void SetProgressText(int phase) override;
  void SetProgressRange(uint16_t start, uint16_t end, bool marquee) override;
  void SetProgressPos(int value) override;
  void ShowError(std::wstring_view text, bool offer_full_package,
                 std::string_view reason) override;
  void ShowMessageBox(std::wstring_view text) override;
  HWND GetHWND() const override;

 private:
  std::unique_ptr<InstallerWindow> window_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_WINDOW_CONTROLLER_VIEW_H_
