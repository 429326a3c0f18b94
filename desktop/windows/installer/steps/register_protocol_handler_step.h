// RegisterProtocolHandlerStep registers an existing installation for one more
// URL protocol (the value of "register-velto-as-protocol-handler"): the
// protocol joins the URL associations of the machine-wide start-menu client,
// when the installation recorded that key, and the installation becomes the
// protocol's handler for the user. Never fails the run.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_REGISTER_PROTOCOL_HANDLER_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_REGISTER_PROTOCOL_HANDLER_STEP_H_

#include <string>

#include "desktop/windows/installer/steps/installer_step.h"

namespace installer {

class Installation;

class RegisterProtocolHandlerStep : public InstallerStep {
 public:
  // |installation| receives the handler registration; null stands for the
  // running installation (Installation::GetCurrent()). Not owned.
  explicit RegisterProtocolHandlerStep(InstallerStepHost* host,
                                       Installation* installation = nullptr);
  ~RegisterProtocolHandlerStep() override;

  void Run(StepResult* result, int attempt) override;

 private:
  Installation* installation_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_REGISTER_PROTOCOL_HANDLER_STEP_H_
