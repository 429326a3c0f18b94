#include "desktop/windows/installer/steps/install_components_step.h"

#include <string>

#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/installer_environment.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/privileges.h"
#include "desktop/windows/installer/service/protected_folder.h"
#include "desktop/windows/installer/service/signature_verification.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/settings_switches.h"
#include "desktop/windows/installer/steps/component_entry.h"

namespace installer {

namespace {

bool HasComponent(const InstallationStatus& status, const std::string& name) {
  for (const InstallationStatus::Component& component : status.components) {
    if (component.name == name)
      return true;
  }
  return false;
}

}  // namespace

InstallComponentsStep::InstallComponentsStep(InstallerStepHost* host, DWORD wait_limit_ms)
    : InstallerStep(host), wait_limit_ms_(wait_limit_ms) {}

InstallComponentsStep::~InstallComponentsStep() = default;

void InstallComponentsStep::Run(StepResult* result, int attempt) {
  *result = StepResult();
  LOG(INFO) << "Installing Components";
  const Settings* settings = host_->GetSettings();
  InstallationStatus* status = host_->GetInstallationStatus();
  const bool upgrade = settings->GetOperation() == UPGRADING;
  if (upgrade) {
    const InstallationStatus* record = host_->GetFolderDetailsRecord();
    status->components = record ? record->components : std::vector<InstallationStatus::Component>();
  }

  base::FilePath executable;
  const base::CommandLine* command_line = host_->GetEnvironment().command_line;
  if (!base::PathService::Get(base::FILE_EXE, &executable) ||
      !command_line->HasSwitch(switches::kComponents)) {
    return;
  }
  const std::wstring value = command_line->GetSwitchValueNative(switches::kComponents);
  LOG(INFO) << "Components present : " << value;

  const base::FilePath install_path = host_->GetInstallPath();
  const base::FilePath installers_root = host_->GetPackageFolder().DirName();
  for (const ComponentEntry& entry : ParseComponentEntries(value)) {
    LOG(INFO) << "Processing component " << entry.text;
    const base::FilePath component_folder = install_path.Append(entry.folder);
    const base::FilePath own_installer =
        installers_root.Append(entry.folder).Append(base::UTF8ToWide(entry.name + "_installer.exe"));
    const base::FilePath installer =
        GetComponentInstallerPath(installers_root.Append(entry.folder), entry.name);
    if (installer != own_installer) {
      LOG(INFO) << "Rewriting component installer name from " << own_installer.value();
      LOG(INFO) << "to: " << installer.value();
    }
    if (!base::PathExists(installer)) {
      LOG(INFO) << "Component installer does not exist " << installer.value();
      continue;
    }
    // An elevated run starts a component's installer only where it lies
    // alone in a folder that no other account can change: a program looks
    // in its own folder first for the libraries it loads.
    if (host_->GetEnvironment().privileges->IsElevated() &&
        !ProtectedFolder::IsProtected(*command_line, installer)) {
      LOG(ERROR) << "Component installer outside a protected folder not run elevated: "
                 << installer.value();
      continue;
    }
    std::string errors;
    const bool verified = VerifyFileSignature(installer, &errors);
    if (!verified) {
      LOG(ERROR) << "Signature error for component installer ";
      LOG(ERROR) << installer.value() << " signed = " << verified << " " << errors;
      continue;
    }

    base::CommandLine component(installer);
    component.AppendSwitchNative(switches::kInstallFolder, component_folder.value());
    AppendComponentModeSwitches(*settings, &component);
    LOG(INFO) << "Running component installer";
    base::Process process =
        base::LaunchProcess(component.GetCommandLineString(), base::LaunchOptions());
    int exit_code = -1;
    if (!process.IsValid()) {
      LOG(ERROR) << "Could not start component installer " << installer.value();
      continue;
    }
    // Nothing else can end this wait (the installer's thread is blocked in
    // it), so it has a bound. A component still installing then may finish
    // later: it is recorded, so that an uninstall removes it.
    if (!process.WaitForExitWithTimeout(wait_limit_ms_, &exit_code)) {
      LOG(ERROR) << "Component installer did not finish in time: " << installer.value();
    } else {
      LOG(INFO) << "Component installer returned " << exit_code;
      if (exit_code != 0)
        continue;
    }
    if (upgrade && HasComponent(*status, entry.name))
      continue;
    status->components.push_back({entry.name, component_folder.value()});
  }
}

}  // namespace installer
