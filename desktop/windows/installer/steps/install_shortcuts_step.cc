#include "desktop/windows/installer/steps/install_shortcuts_step.h"

#include <vector>

#include "base/logging.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/steps/shortcut_installer.h"

namespace installer {

InstallShortcutsStep::InstallShortcutsStep(InstallerStepHost* host) : InstallerStep(host) {}

InstallShortcutsStep::~InstallShortcutsStep() = default;

void InstallShortcutsStep::Run(StepResult* result, int attempt) {
  *result = StepResult();
  const Settings* settings = host_->GetSettings();
  if (settings->GetCopyOnly())
    return;
  LOG(INFO) << "Installing shortcuts";
  ShortcutInstaller shortcuts(host_);
  const bool all_users = settings->GetAllUsers();
  std::vector<ShortcutInstaller::Request> requests;
  auto add = [&](ShortcutPlace place) {
    base::FilePath folder;
    if (!shortcuts.GetPlaceFolder(place, &folder)) {
      LOG(ERROR) << "No folder for shortcut place " << place;
      return;
    }
    requests.push_back({folder, shortcuts.GetStatusField(place)});
  };
  if (settings->GetDesktopShortcut()) {
    VLOG(2) << (all_users ? "Preparing  to set up shortcut on common desktop"
                          : "Preparing  to set up shortcut on user desktop");
    add(SHORTCUT_PLACE_DESKTOP);
  }
  if (settings->GetStartMenuShortcut()) {
    VLOG(2) << (all_users ? "Preparing  to set up shortcut in common start menu"
                          : "Preparing  to set up shortcut in user start menu");
    add(SHORTCUT_PLACE_START_MENU);
  }
  if (settings->GetQuickLaunchShortcut()) {
    VLOG(2) << "Preparing  to set up shortcut in user quick launch";
    add(SHORTCUT_PLACE_QUICK_LAUNCH);
  }
  shortcuts.CreateShortcuts(requests, settings->GetPinnedShortcut());
}

}  // namespace installer
