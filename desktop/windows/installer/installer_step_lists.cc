#include "desktop/windows/installer/installer_step_lists.h"

#include "desktop/windows/installer/steps/check_localization_digests_step.h"
#include "desktop/windows/installer/steps/copy_installer_helper_step.h"
#include "desktop/windows/installer/steps/copy_launcher_step.h"
#include "desktop/windows/installer/steps/copy_listed_file_step.h"
#include "desktop/windows/installer/steps/copy_pref_overrides_step.h"
#include "desktop/windows/installer/steps/copy_root_file_step.h"
#include "desktop/windows/installer/steps/copy_tracking_data_step.h"
#include "desktop/windows/installer/steps/installer_step.h"
#include "desktop/windows/installer/steps/preserve_installer_status_step.h"
#include "desktop/windows/installer/steps/remove_installed_files_step.h"
#include "desktop/windows/installer/steps/remove_old_root_files_step.h"
#include "desktop/windows/installer/steps/write_installation_status_step.h"
#include "desktop/windows/installer/steps/write_installer_prefs_step.h"

// The registry, shortcut, component, autoupdate-task, firewall and uninstall
// finishing steps are placed at the marked slots below as they are built.

namespace installer {

namespace {

template <typename StepType, typename... Args>
void Add(InstallerStepList* steps, InstallerStepHost* host, Args&&... args) {
  steps->push_back(std::make_unique<StepType>(host, std::forward<Args>(args)...));
}

void AddListedFileCopies(const InstallerStepListInput& input, InstallerStepList* steps) {
  for (const std::string& entry : *input.files_list)
    Add<CopyListedFileStep>(steps, input.host, entry);
}

void AddRootFileCopies(const InstallerStepListInput& input, InstallerStepList* steps) {
  for (const std::string& entry : *input.root_files_list)
    Add<CopyRootFileStep>(steps, input.host, entry);
}

// The single-file copies that follow the root files in both lists.
void AddSideFileCopies(InstallerStepHost* host, InstallerStepList* steps) {
  Add<CopyLauncherStep>(steps, host);
  Add<CopyTrackingDataStep>(steps, host);
  Add<CopyPrefOverridesStep>(steps, host);
  Add<CopyInstallerHelperStep>(steps, host);
}

InstallerStepList BuildInstallSteps(const InstallerStepListInput& input) {
  InstallerStepHost* host = input.host;
  InstallerStepList steps;
  Add<CheckLocalizationDigestsStep>(&steps, host);
  AddListedFileCopies(input, &steps);
  AddRootFileCopies(input, &steps);
  AddSideFileCopies(host, &steps);
  // Slot: SetupRegistryStep(host, input.uninstall_key_name).
  // Slot: InstallShortcutsStep(host).
  Add<WriteInstallerPrefsStep>(&steps, host);
  // Slot: InstallComponentsStep(host).
  Add<WriteInstallationStatusStep>(&steps, host);
  // Slot: SetupProtocolHandlersStep(host).
  // Slot: FinalizeInstallationStep(host).
  return steps;
}

InstallerStepList BuildUpgradeSteps(const InstallerStepListInput& input) {
  InstallerStepHost* host = input.host;
  InstallerStepList steps;
  Add<CheckLocalizationDigestsStep>(&steps, host);
  Add<RemoveInstalledFilesStep>(&steps, host);
  AddListedFileCopies(input, &steps);
  Add<RemoveOldRootFilesStep>(&steps, host);
  AddRootFileCopies(input, &steps);
  AddSideFileCopies(host, &steps);
  // Slot: CleanupRegistryStep(host, input.launcher_architecture).
  // Slot: SetupRegistryStep(host, input.uninstall_key_name).
  // Slot: UpdateShortcutsStep(host).
  Add<WriteInstallerPrefsStep>(&steps, host);
  Add<PreserveInstallerStatusStep>(&steps, host);
  // Slot: InstallComponentsStep(host).
  Add<WriteInstallationStatusStep>(&steps, host);
  // Slot: SetupProtocolHandlersStep(host).
  // Slot: FinalizeInstallationStep(host).
  return steps;
}

InstallerStepList BuildUninstallSteps(const InstallerStepListInput& input) {
  InstallerStepHost* host = input.host;
  InstallerStepList steps;
  // Slot: CleanupRegistryStep(host, input.launcher_architecture).
  // Slot: RemoveShortcutsStep(host).
  // Slot: FinalizeUninstallationStep(host).
  Add<RemoveInstalledFilesStep>(&steps, host);
  // Slot: UninstallComponentsStep(host).
  // Slot: CleanupAfterUninstallStep(host).
  return steps;
}

InstallerStepList BuildProtocolHandlerSteps(const InstallerStepListInput& input) {
  InstallerStepList steps;
  // Slot: RegisterProtocolHandlerStep(host).
  Add<WriteInstallerPrefsStep>(&steps, input.host);
  return steps;
}

}  // namespace

InstallerStepList BuildInstallerStepList(InstallationOperation operation,
                                         const InstallerStepListInput& input) {
  switch (operation) {
    case INSTALLING:
      return BuildInstallSteps(input);
    case UPGRADING:
      return BuildUpgradeSteps(input);
    case UNINSTALLING:
      return BuildUninstallSteps(input);
    case REGISTERING_PROTOCOL_HANDLER:
      return BuildProtocolHandlerSteps(input);
    case INVALID_PATH:
      break;
  }
  return InstallerStepList();
}

}  // namespace installer
