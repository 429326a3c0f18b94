#include "desktop/windows/installer/ui/installer_window_controller_view.h"

#include <utility>

#include "desktop/windows/installer/stats_scope.h"

namespace installer {

// static
std::unique_ptr<InstallerUIController::Window> InstallerWindowControllerView::Create(
    Settings* settings, std::unique_ptr<StatsScope> root_scope, bool run_immediately) {
  std::unique_ptr<InstallerWindow> window =
      InstallerWindow::Create(settings, std::move(root_scope), run_immediately);
  if (!window)
    return nullptr;
  return std::make_unique<InstallerWindowControllerView>(std::move(window));
}

InstallerWindowControllerView::InstallerWindowControllerView(
    std::unique_ptr<InstallerWindow> window)
    : window_(std::move(window)) {}

InstallerWindowControllerView::~InstallerWindowControllerView() = default;

void InstallerWindowControllerView::AddDelegate(InstallerWindowDelegate* delegate) {
  window_->AddDelegate(delegate);
}

void InstallerWindowControllerView::RemoveDelegate(InstallerWindowDelegate* delegate) {
  window_->RemoveDelegate(delegate);
}

void InstallerWindowControllerView::SetProgressText(int phase) {
  window_->SetProgressText(phase);
}

void InstallerWindowControllerView::SetProgressRange(uint16_t start, uint16_t end,
                                                     bool marquee) {
  window_->SetProgressRange(start, end, marquee);
}

void InstallerWindowControllerView::SetProgressPos(int value) {
  window_->SetProgressPos(value);
}

void InstallerWindowControllerView::ShowError(std::wstring_view text, bool offer_full_package,
                                              std::string_view reason) {
  window_->ShowError(text, offer_full_package, reason);
}

void InstallerWindowControllerView::ShowMessageBox(std::wstring_view text) {
  window_->ShowMessageBox(text);
}

HWND InstallerWindowControllerView::GetHWND() const {
  return window_->main_dialog();
}

}  // namespace installer
