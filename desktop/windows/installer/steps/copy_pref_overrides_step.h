// CopyPrefOverridesStep: copies the package's "pref_default_overrides" into
// the install folder when it exists and parses as JSON. Optional.
#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_PREF_OVERRIDES_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_PREF_OVERRIDES_STEP_H_

#include "desktop/windows/installer/steps/copy_file_step.h"

namespace installer {

class CopyPrefOverridesStep : public CopyFileStep {
 public:
  explicit CopyPrefOverridesStep(InstallerStepHost* host);

 protected:
  bool IsRequired() override;
  bool ShouldSkip(const base::FilePath& source) override;
  base::FilePath GetDestinationFolder() override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_PREF_OVERRIDES_STEP_H_
