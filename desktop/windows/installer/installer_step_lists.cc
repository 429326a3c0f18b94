#include "desktop/windows/installer/installer_step_lists.h"

#include "desktop/windows/installer/steps/check_localization_digests_step.h"
#include "desktop/windows/installer/steps/cleanup_after_uninstall_step.h"
#include "desktop/windows/installer/steps/cleanup_registry_step.h"
#include "desktop/windows/installer/steps/copy_installer_helper_step.h"
#include "desktop/windows/installer/steps/copy_launcher_step.h"
#include "desktop/windows/installer/steps/copy_listed_file_step.h"
#include "desktop/windows/installer/steps/copy_pref_overrides_step.h"
#include "desktop/windows/installer/steps/copy_root_file_step.h"
#include "desktop/windows/installer/steps/copy_tracking_data_step.h"
#include "desktop/windows/installer/steps/finalize_installation_step.h"
#include "desktop/windows/installer/steps/finalize_uninstallation_step.h"
#include "desktop/windows/installer/steps/install_components_step.h"
#include "desktop/windows/installer/steps/install_shortcuts_step.h"
#include "desktop/windows/installer/steps/installer_step.h"
#include "desktop/windows/installer/steps/preserve_installer_status_step.h"
#include "desktop/windows/installer/steps/register_protocol_handler_step.h"
#include "desktop/windows/installer/steps/remove_installed_files_step.h"
#include "desktop/windows/installer/steps/remove_old_root_files_step.h"
#include "desktop/windows/installer/steps/remove_shortcuts_step.h"
#include "desktop/windows/installer/steps/setup_protocol_handlers_step.h"
#include "desktop/windows/installer/steps/setup_registry_step.h"
#include "desktop/windows/installer/steps/uninstall_components_step.h"
#include "desktop/windows/installer/steps/update_shortcuts_step.h"
#include "desktop/windows/installer/steps/write_installation_status_step.h"
#include "desktop/windows/installer/steps/write_installer_prefs_step.h"

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
  Add<SetupRegistryStep>(&steps, host, input.uninstall_key_name);
  Add<InstallShortcutsStep>(&steps, host);
  Add<WriteInstallerPrefsStep>(&steps, host);
  Add<InstallComponentsStep>(&steps, host);
  Add<WriteInstallationStatusStep>(&steps, host);
  Add<SetupProtocolHandlersStep>(&steps, host);
  Add<FinalizeInstallationStep>(&steps, host);
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
  Add<CleanupRegistryStep>(&steps, host, input.launcher_architecture);
  Add<SetupRegistryStep>(&steps, host, input.uninstall_key_name);
  Add<UpdateShortcutsStep>(&steps, host);
  Add<WriteInstallerPrefsStep>(&steps, host);
  Add<PreserveInstallerStatusStep>(&steps, host);
  Add<InstallComponentsStep>(&steps, host);
  Add<WriteInstallationStatusStep>(&steps, host);
  Add<SetupProtocolHandlersStep>(&steps, host);
  Add<FinalizeInstallationStep>(&steps, host);
  return steps;
}

InstallerStepList BuildUninstallSteps(const InstallerStepListInput& input) {
  InstallerStepHost* host = input.host;
  InstallerStepList steps;
  Add<CleanupRegistryStep>(&steps, host, input.launcher_architecture);
  Add<RemoveShortcutsStep>(&steps, host);
  Add<FinalizeUninstallationStep>(&steps, host);
  Add<RemoveInstalledFilesStep>(&steps, host);
  Add<UninstallComponentsStep>(&steps, host);
  Add<CleanupAfterUninstallStep>(&steps, host);
  return steps;
}

InstallerStepList BuildProtocolHandlerSteps(const InstallerStepListInput& input) {
  InstallerStepList steps;
  Add<RegisterProtocolHandlerStep>(&steps, input.host);
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
