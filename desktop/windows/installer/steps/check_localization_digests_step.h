// CheckLocalizationDigestsStep: for a minimal package (marker file
// "minimal_install"), checks that every localization file present in the
// package has the SHA-1 digest recorded at build time; a mismatch fails the
// run (code 1, category 0) before anything is copied.
#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_CHECK_LOCALIZATION_DIGESTS_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_CHECK_LOCALIZATION_DIGESTS_STEP_H_

#include "desktop/windows/installer/steps/installer_step.h"

namespace installer {

class CheckLocalizationDigestsStep : public InstallerStep {
 public:
  explicit CheckLocalizationDigestsStep(InstallerStepHost* host) : InstallerStep(host) {}

  void Run(StepResult* result, int attempt) override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_CHECK_LOCALIZATION_DIGESTS_STEP_H_
