// UpdateShortcutsStep brings the shortcuts of the installation being upgraded in
// line with the settings: each is kept, moved to the current shortcut name,
// made again, removed or added, and its taskbar pins are kept, removed or made
// again. A stand-alone copy is left alone.
// Never fails the run.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_UPDATE_SHORTCUTS_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_UPDATE_SHORTCUTS_STEP_H_

#include "desktop/windows/installer/steps/installer_step.h"

namespace installer {

class UpdateShortcutsStep : public InstallerStep {
 public:
  explicit UpdateShortcutsStep(InstallerStepHost* host);
  ~UpdateShortcutsStep() override;

  void Run(StepResult* result, int attempt) override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_UPDATE_SHORTCUTS_STEP_H_
