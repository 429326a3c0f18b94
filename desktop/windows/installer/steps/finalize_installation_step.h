// FinalizeInstallationStep, the last step of an install or upgrade: creates
// the scheduled autoupdate task (not for a stand-alone copy, nor for a
// current-user installation run by a second, elevated installer) and, run
// by an administrator, the browser's firewall rules. Never fails the run.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_FINALIZE_INSTALLATION_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_FINALIZE_INSTALLATION_STEP_H_

#include "desktop/windows/installer/steps/installer_step.h"

namespace installer {

class FinalizeInstallationStep : public InstallerStep {
 public:
  explicit FinalizeInstallationStep(InstallerStepHost* host);
  ~FinalizeInstallationStep() override;

  void Run(StepResult* result, int attempt) override;

 private:
  // Lowers a positive "au_task_error_count" of the installer preferences.
  void LowerTaskErrorCount();
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_FINALIZE_INSTALLATION_STEP_H_
