// PreserveInstallerStatusStep: moves the status file of the installation
// being upgraded into "old_status", named after it with the current time in
// seconds since 1970 appended (the next free second when that name is taken),
// so that RemoveInstalledFilesStep of a later run removes that installation's
// files. When the status cannot be moved there the step asks to be run again
// and then fails the run, which would otherwise replace the only record of
// those files.
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
