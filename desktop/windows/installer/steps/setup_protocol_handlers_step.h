// SetupProtocolHandlersStep hands the default-browser and protocol-handler
// set-up of an install or upgrade to the operating-system operations. On
// Windows 10 and later a second installer process without the association
// registration object leaves it to the first. Never fails the run.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_SETUP_PROTOCOL_HANDLERS_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_SETUP_PROTOCOL_HANDLERS_STEP_H_

#include "desktop/windows/installer/steps/installer_step.h"

namespace installer {

class SetupProtocolHandlersStep : public InstallerStep {
 public:
  explicit SetupProtocolHandlersStep(InstallerStepHost* host);
  ~SetupProtocolHandlersStep() override;

  void Run(StepResult* result, int attempt) override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_SETUP_PROTOCOL_HANDLERS_STEP_H_
