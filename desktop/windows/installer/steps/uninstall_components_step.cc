#include "desktop/windows/installer/steps/uninstall_components_step.h"

#include "base/command_line.h"
#include "base/logging.h"
#include "base/process/launch.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/signature_verification.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/settings_switches.h"
#include "desktop/windows/installer/steps/component_entry.h"

namespace installer {

UninstallComponentsStep::UninstallComponentsStep(InstallerStepHost* host)
    : InstallerStep(host) {}

UninstallComponentsStep::~UninstallComponentsStep() = default;

void UninstallComponentsStep::Run(StepResult* result, int attempt) {
  *result = StepResult();
  const InstallationStatus* record = host_->GetFolderDetailsRecord();
  if (!record)
    return;
  const Settings* settings = host_->GetSettings();
  const base::FilePath install_path = host_->GetInstallPath();
  for (const InstallationStatus::Component& component : record->components) {
    const base::FilePath folder(component.path);
    if (!install_path.IsParent(folder) || folder.ReferencesParent() ||
        !IsPlainComponentName(component.name)) {
      LOG(WARNING) << "Ignoring recorded component " << component.name << " in "
                   << component.path;
      continue;
    }
    const base::FilePath program = GetComponentInstallerPath(folder, component.name);
    std::string errors;
    if (!VerifyFileSignature(program, &errors)) {
      LOG(ERROR) << "Signature error for component installer " << program.value() << " "
                 << errors;
      continue;
    }
    base::CommandLine uninstaller(program);
    uninstaller.AppendSwitch(switches::kUninstall);
    AppendComponentModeSwitches(*settings, &uninstaller);
    VLOG(1) << "Starting component uninstaller " << uninstaller.GetCommandLineString();
    // Started and left to itself: the process handle is closed here.
    base::LaunchProcess(uninstaller.GetCommandLineString(), base::LaunchOptions());
  }
}

}  // namespace installer
