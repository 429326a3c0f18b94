// CopyRootFileStep: copies one entry of the package's root_files_list into the
// install folder itself and records it in the status record's root_files.
#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_ROOT_FILE_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_ROOT_FILE_STEP_H_

#include <string>

#include "desktop/windows/installer/steps/copy_file_step.h"

namespace installer {

class CopyRootFileStep : public CopyFileStep {
 public:
  CopyRootFileStep(InstallerStepHost* host, const std::string& entry);

 protected:
  void OnFileCopied() override;
  base::FilePath GetDestinationFolder() override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_ROOT_FILE_STEP_H_
