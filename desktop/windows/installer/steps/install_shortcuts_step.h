// InstallShortcutsStep creates the desktop, Start menu and quick-launch shortcuts the settings ask
// for (install) and pins the browser to the taskbar when asked. A stand-alone
// copy gets none.
// Never fails the run.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_INSTALL_SHORTCUTS_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_INSTALL_SHORTCUTS_STEP_H_

#include "desktop/windows/installer/steps/installer_step.h"

namespace installer {

class InstallShortcutsStep : public InstallerStep {
 public:
  explicit InstallShortcutsStep(InstallerStepHost* host);
  ~InstallShortcutsStep() override;

  void Run(StepResult* result, int attempt) override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_INSTALL_SHORTCUTS_STEP_H_
