// WriteInstallationStatusStep: stores the status record the run filled as
// "installation_status.json" of the install folder. The file is written
// inside the run's transaction (a temporary file moved into place), so a run
// rolled back after this step leaves the previous status file, never one that
// describes rolled-back files. The only failure is code 1, category 0.
#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_WRITE_INSTALLATION_STATUS_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_WRITE_INSTALLATION_STATUS_STEP_H_

#include "desktop/windows/installer/steps/installer_step.h"

namespace installer {

class WriteInstallationStatusStep : public InstallerStep {
 public:
  explicit WriteInstallationStatusStep(InstallerStepHost* host) : InstallerStep(host) {}

  void Run(StepResult* result, int attempt) override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_WRITE_INSTALLATION_STATUS_STEP_H_
