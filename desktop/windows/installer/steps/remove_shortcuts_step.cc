#include "desktop/windows/installer/steps/remove_shortcuts_step.h"

#include <string>
#include <vector>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "desktop/windows/installer/installation_folder_details.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/shortcut_matching.h"
#include "desktop/windows/installer/steps/shortcut_installer.h"

namespace installer {

namespace {

// Shortcut names are every installation's: a run of another install folder
// may have replaced one with its own since the folder analysis looked. Only
// those that lead into this installation now are removed.
std::vector<base::FilePath> StillOurs(const std::vector<base::FilePath>& shortcuts,
                                      const base::FilePath& install_path,
                                      const std::wstring& subfolder) {
  std::vector<base::FilePath> ours;
  for (const base::FilePath& shortcut : shortcuts) {
    if (IsShortcutOfInstallation(shortcut, install_path, subfolder))
      ours.push_back(shortcut);
    else
      LOG(INFO) << "Leaving the shortcut " << shortcut.AsUTF8Unsafe()
                << ": it does not lead into this installation";
  }
  return ours;
}

}  // namespace

RemoveShortcutsStep::RemoveShortcutsStep(InstallerStepHost* host) : InstallerStep(host) {}

RemoveShortcutsStep::~RemoveShortcutsStep() = default;

void RemoveShortcutsStep::Run(StepResult* result, int attempt) {
  *result = StepResult();
  LOG(INFO) << "Removing shortctus.";
  ShortcutInstaller shortcuts(host_);
  const InstallationFolderDetails* details = host_->GetFolderDetails();
  const InstallationStatus* record = host_->GetFolderDetailsRecord();
  const base::FilePath& install_path = host_->GetInstallPath();
  const std::wstring subfolder = record ? record->subfolder : std::wstring();
  if (!details->GetPinnedShortcutPaths().empty()) {
    VLOG(1) << "Unpinning shortcuts";
    shortcuts.UnpinShortcuts(
        StillOurs(details->GetPinnedShortcutPaths(), install_path, subfolder));
  }
  if (!details->GetSecondaryPinnedShortcutPaths().empty()) {
    VLOG(1) << "Unpinning extra shortcuts";
    shortcuts.UnpinShortcuts(
        StillOurs(details->GetSecondaryPinnedShortcutPaths(), install_path, subfolder));
  }
  if (record) {
    // By the record rather than by what the analysis found: a killed
    // uninstall had moved them aside then, and the cleanup after it has
    // put them back since.
    std::vector<base::FilePath> recorded;
    for (const std::wstring* shortcut : {&record->desktop_shortcut, &record->start_menu_shortcut,
                                         &record->quick_launch_shortcut}) {
      if (!shortcut->empty() && base::PathExists(base::FilePath(*shortcut)))
        recorded.emplace_back(*shortcut);
    }
    for (const base::FilePath& shortcut : StillOurs(recorded, install_path, subfolder)) {
      VLOG(1) << "Removing shortcut " << shortcut.AsUTF8Unsafe();
      shortcuts.DeleteShortcut(shortcut);
    }
  }
  if (details->TemporaryShortcutFolderExists()) {
    VLOG(1) << "Removing temporary shortcut folder.";
    shortcuts.DeleteShortcut(details->GetTemporaryShortcutFolder());
  }
}

}  // namespace installer
