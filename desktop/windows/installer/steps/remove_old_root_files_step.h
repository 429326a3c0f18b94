// RemoveOldRootFilesStep: deletes the root files of the installation being
// upgraded, as its status record lists them, through the run's transaction.
// Entries that would leave the install folder are passed over. Never fails.
#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_REMOVE_OLD_ROOT_FILES_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_REMOVE_OLD_ROOT_FILES_STEP_H_

#include "desktop/windows/installer/steps/installer_step.h"

namespace installer {

class RemoveOldRootFilesStep : public InstallerStep {
 public:
  explicit RemoveOldRootFilesStep(InstallerStepHost* host) : InstallerStep(host) {}

  void Run(StepResult* result, int attempt) override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_REMOVE_OLD_ROOT_FILES_STEP_H_
