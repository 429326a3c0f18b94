// WriteInstallerPrefsStep: writes the installer preferences
// "installer_prefs.json" of the install folder (language, profile, mode,
// experiments, ...) through the shared preference store pool. Never fails.
#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_WRITE_INSTALLER_PREFS_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_WRITE_INSTALLER_PREFS_STEP_H_

#include "desktop/windows/installer/steps/installer_step.h"

namespace installer {

class WriteInstallerPrefsStep : public InstallerStep {
 public:
  explicit WriteInstallerPrefsStep(InstallerStepHost* host) : InstallerStep(host) {}

  void Run(StepResult* result, int attempt) override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_WRITE_INSTALLER_PREFS_STEP_H_
