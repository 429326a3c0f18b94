#include "desktop/windows/installer/steps/update_shortcuts_step.h"

#include <memory>
#include <vector>

#include "base/files/file_path.h"
#include "base/logging.h"
#include "desktop/windows/installer/installation_folder_details.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/shared_folder_mark.h"
#include "desktop/windows/installer/service/transactions/move_file_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/steps/shortcut_installer.h"

namespace installer {

namespace {

struct PlaceState {
  ShortcutPlace place;
  const char* log_text;
  // The earlier installation's shortcut path.
  std::wstring old_path;
  bool exists;
  bool wanted;
  bool recreate;
};

}  // namespace

UpdateShortcutsStep::UpdateShortcutsStep(InstallerStepHost* host) : InstallerStep(host) {}

UpdateShortcutsStep::~UpdateShortcutsStep() = default;

void UpdateShortcutsStep::Run(StepResult* result, int attempt) {
  *result = StepResult();
  const Settings* settings = host_->GetSettings();
  if (settings->GetCopyOnly())
    return;
  LOG(INFO) << "Updating shortcuts";
  ShortcutInstaller shortcuts(host_);
  const InstallationFolderDetails* details = host_->GetFolderDetails();
  const InstallationStatus* record = host_->GetFolderDetailsRecord();
  InstallationStatus* status = host_->GetInstallationStatus();
  const std::wstring name = ShortcutInstaller::GetShortcutName();
  const std::wstring stem = base::FilePath(name).RemoveExtension().value();

  PlaceState places[] = {
      {SHORTCUT_PLACE_DESKTOP, "Handling desktop shortcut:",
       record ? record->desktop_shortcut : std::wstring(), details->DesktopShortcutExists(),
       settings->GetDesktopShortcut(), details->RecreateDesktopShortcut()},
      {SHORTCUT_PLACE_START_MENU, "Handling start menu shortcut:",
       record ? record->start_menu_shortcut : std::wstring(), details->StartMenuShortcutExists(),
       settings->GetStartMenuShortcut(), details->RecreateStartMenuShortcut()},
      {SHORTCUT_PLACE_QUICK_LAUNCH, "Handling quick launch shortcut:",
       record ? record->quick_launch_shortcut : std::wstring(),
       details->QuickLaunchShortcutExists(), settings->GetQuickLaunchShortcut(),
       details->RecreateQuickLaunchShortcut()},
  };

  bool rename = false;
  for (const PlaceState& state : places) {
    if (state.old_path.empty())
      continue;
    if (!base::FilePath::CompareEqualIgnoreCase(
            base::FilePath(state.old_path).BaseName().RemoveExtension().value(), stem)) {
      rename = true;
    }
  }
  if (rename)
    LOG(INFO) << "Shortcuts need to be renamed";

  std::vector<ShortcutInstaller::Request> requests;
  for (const PlaceState& state : places) {
    VLOG(1) << state.log_text;
    std::wstring* field = shortcuts.GetStatusField(state.place);
    base::FilePath folder;
    const bool has_folder = shortcuts.GetPlaceFolder(state.place, &folder);
    if (state.exists && !state.wanted) {
      VLOG(1) << "Removing shortcut";
      shortcuts.DeleteShortcut(base::FilePath(state.old_path));
    } else if (state.exists && !state.recreate && !rename) {
      *field = state.old_path;
    } else if (state.exists && !state.recreate) {
      VLOG(1) << "Moving shortcut";
      if (!has_folder)
        continue;
      const base::FilePath destination = folder.Append(name);
      SharedFolderMark::Set(folder);
      if (host_->GetTransaction()->Do(
              std::make_unique<MoveFileOperation>(state.old_path, destination.value()))) {
        *field = destination.value();
      }
    } else if (state.exists) {
      VLOG(1) << "Recreating shortcut";
      shortcuts.DeleteShortcut(base::FilePath(state.old_path));
      if (has_folder)
        requests.push_back({folder, field});
    } else if (state.wanted) {
      VLOG(1) << "Preparing to add shortcut";
      if (has_folder)
        requests.push_back({folder, field});
    }
  }

  VLOG(1) << "Handling pinned shortcut:";
  bool pin = false;
  const std::vector<base::FilePath>& pinned = details->GetPinnedShortcutPaths();
  if (settings->GetAutoupdate() && settings->GetAllUsers()) {
    status->pinned = record && record->pinned;
  } else if (pinned.empty()) {
    pin = settings->GetPinnedShortcut();
  } else if (!settings->GetPinnedShortcut()) {
    VLOG(1) << "Unpinning existing shortcuts";
    shortcuts.UnpinShortcuts(pinned);
  } else if (!details->RecreatePinnedShortcut() && !rename) {
    status->pinned = true;
  } else {
    VLOG(1) << "Unpinning existing shortcuts (with repin)";
    shortcuts.UnpinShortcuts(pinned);
    pin = true;
  }
  shortcuts.CreateShortcuts(requests, pin);
}

}  // namespace installer
