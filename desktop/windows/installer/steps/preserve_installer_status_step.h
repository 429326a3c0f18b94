// PreserveInstallerStatusStep: moves the status file of the installation
// being upgraded into "old_status", named after it with the current time in
// seconds since 1970 appended, so that RemoveInstalledFilesStep of this or a
// later run removes that installation's files. Never fails.
#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_PRESERVE_INSTALLER_STATUS_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_PRESERVE_INSTALLER_STATUS_STEP_H_

#include "desktop/windows/installer/steps/installer_step.h"

namespace installer {

class PreserveInstallerStatusStep : public InstallerStep {
 public:
  explicit PreserveInstallerStatusStep(InstallerStepHost* host) : InstallerStep(host) {}

  void Run(StepResult* result, int attempt) override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_PRESERVE_INSTALLER_STATUS_STEP_H_
