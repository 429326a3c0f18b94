// RemoveShortcutsStep unpins and deletes the shortcuts of the installation being
// removed (uninstall), whatever its mode: those the folder analysis found,
// provided each still leads into the installation when it is removed.
// Never fails the run.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_REMOVE_SHORTCUTS_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_REMOVE_SHORTCUTS_STEP_H_

#include "desktop/windows/installer/steps/installer_step.h"

namespace installer {

class RemoveShortcutsStep : public InstallerStep {
 public:
  explicit RemoveShortcutsStep(InstallerStepHost* host);
  ~RemoveShortcutsStep() override;

  void Run(StepResult* result, int attempt) override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_REMOVE_SHORTCUTS_STEP_H_
