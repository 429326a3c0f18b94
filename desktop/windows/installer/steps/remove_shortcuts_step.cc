#include "desktop/windows/installer/steps/remove_shortcuts_step.h"

#include "base/logging.h"
#include "desktop/windows/installer/installation_folder_details.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/steps/shortcut_installer.h"

namespace installer {

RemoveShortcutsStep::RemoveShortcutsStep(InstallerStepHost* host) : InstallerStep(host) {}

RemoveShortcutsStep::~RemoveShortcutsStep() = default;

void RemoveShortcutsStep::Run(StepResult* result, int attempt) {
  *result = StepResult();
  LOG(INFO) << "Removing shortctus.";
  ShortcutInstaller shortcuts(host_);
  const InstallationFolderDetails* details = host_->GetFolderDetails();
  if (!details->GetPinnedShortcutPaths().empty()) {
    VLOG(1) << "Unpinning shortcuts";
    shortcuts.UnpinShortcuts(details->GetPinnedShortcutPaths());
  }
  if (!details->GetSecondaryPinnedShortcutPaths().empty()) {
    VLOG(1) << "Unpinning extra shortcuts";
    shortcuts.UnpinShortcuts(details->GetSecondaryPinnedShortcutPaths());
  }
  const InstallationStatus* record = host_->GetFolderDetailsRecord();
  if (record) {
    if (details->DesktopShortcutExists()) {
      VLOG(1) << "Removing desktop shortcut.";
      shortcuts.DeleteShortcut(base::FilePath(record->desktop_shortcut));
    }
    if (details->StartMenuShortcutExists()) {
      VLOG(1) << "Removing start menu shortcut.";
      shortcuts.DeleteShortcut(base::FilePath(record->start_menu_shortcut));
    }
    if (details->QuickLaunchShortcutExists()) {
      VLOG(1) << "Removing quick launch shortcut.";
      shortcuts.DeleteShortcut(base::FilePath(record->quick_launch_shortcut));
    }
  }
  if (details->TemporaryShortcutFolderExists()) {
    VLOG(1) << "Removing temporary shortcut folder.";
    shortcuts.DeleteShortcut(details->GetTemporaryShortcutFolder());
  }
}

}  // namespace installer
