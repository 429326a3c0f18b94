// CopyInstallerHelperStep: copies the installer helper of the system's
// architecture ("installer_helper_64.exe" on 64-bit Windows, else
// "installer_helper.exe") into the version subfolder and records it in the
// status record's files. Optional.
#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_INSTALLER_HELPER_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_INSTALLER_HELPER_STEP_H_

#include "desktop/windows/installer/steps/copy_file_step.h"

namespace installer {

class CopyInstallerHelperStep : public CopyFileStep {
 public:
  explicit CopyInstallerHelperStep(InstallerStepHost* host);

 protected:
  void OnFileCopied() override;
  bool IsRequired() override;
  base::FilePath GetDestinationFolder() override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_INSTALLER_HELPER_STEP_H_
