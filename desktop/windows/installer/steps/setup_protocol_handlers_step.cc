#include "desktop/windows/installer/steps/setup_protocol_handlers_step.h"

#include "base/command_line.h"
#include "base/logging.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/installer_environment.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/os_operations.h"
#include "desktop/windows/installer/service/association_shell.h"
#include "desktop/windows/installer/service/windows_version_provider.h"

namespace installer {

SetupProtocolHandlersStep::SetupProtocolHandlersStep(InstallerStepHost* host)
    : InstallerStep(host) {}

SetupProtocolHandlersStep::~SetupProtocolHandlersStep() = default;

void SetupProtocolHandlersStep::Run(StepResult* result, int attempt) {
  *result = StepResult();
  VLOG(1) << "Setting up protocol handlers.";
  const InstallerEnvironment& environment = host_->GetEnvironment();
  if (environment.windows_version->GetVersion() >= base::win::VERSION_WIN10 &&
      !environment.association_shell->HasAppAssociationRegistration() &&
      environment.command_line->HasSwitch(switches::kParentPid)) {
    return;
  }
  host_->GetOsOperations()->SetUpDefaultBrowser(*host_->GetSettings(),
                                                host_->GetInstallationStatus());
}

}  // namespace installer
