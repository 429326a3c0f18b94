// CopyLauncherStep: copies launcher.exe into the install folder. Where a
// former-engine installation is upgraded (or an earlier launcher procedure
// left both files), the launcher also takes the browser executable's name and
// the previous executable is kept with the extension ".old"; failing that is
// only logged, and leaves the previous executable where it was.
#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_LAUNCHER_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_LAUNCHER_STEP_H_

#include "desktop/windows/installer/steps/copy_file_step.h"

namespace installer {

class CopyLauncherStep : public CopyFileStep {
 public:
  explicit CopyLauncherStep(InstallerStepHost* host);

 protected:
  void OnFileCopied() override;
  base::FilePath GetDestinationFolder() override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_LAUNCHER_STEP_H_
