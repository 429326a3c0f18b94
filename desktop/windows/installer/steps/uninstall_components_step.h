// UninstallComponentsStep starts the uninstaller of every companion component
// recorded by the installation being removed, without waiting for them.
// Component folders come from the status file: an entry whose folder is not
// inside the install folder, or whose name is not a plain file name, is
// passed over, and so is an uninstaller not signed by the product's expected
// signer. Never fails the run.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_UNINSTALL_COMPONENTS_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_UNINSTALL_COMPONENTS_STEP_H_

#include "desktop/windows/installer/steps/installer_step.h"

namespace installer {

class UninstallComponentsStep : public InstallerStep {
 public:
  explicit UninstallComponentsStep(InstallerStepHost* host);
  ~UninstallComponentsStep() override;

  void Run(StepResult* result, int attempt) override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_UNINSTALL_COMPONENTS_STEP_H_
