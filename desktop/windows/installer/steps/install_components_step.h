// InstallComponentsStep runs the installers of the companion components
// named by the switch "components" (install and upgrade) and records each
// one that succeeded in the status record; an upgrade starts from the
// components of the installation being upgraded. Never fails the run.
//
// A component installer runs only when its Authenticode signature verifies
// and names the product's expected signer; an unsigned or otherwise signed
// file is passed over. Each installer is waited for at most |wait_limit|; one
// that has not finished by then may still install its component, so it is
// logged and recorded like one that succeeded.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_INSTALL_COMPONENTS_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_INSTALL_COMPONENTS_STEP_H_

#include <windows.h>

#include "desktop/windows/installer/steps/installer_step.h"

namespace installer {

class InstallComponentsStep : public InstallerStep {
 public:
  // The longest wait for one component installer.
  static constexpr DWORD kDefaultWaitLimitMs = 30 * 60 * 1000;

  explicit InstallComponentsStep(InstallerStepHost* host, DWORD wait_limit_ms = kDefaultWaitLimitMs);
  ~InstallComponentsStep() override;

  void Run(StepResult* result, int attempt) override;

 private:
  DWORD wait_limit_ms_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_INSTALL_COMPONENTS_STEP_H_
