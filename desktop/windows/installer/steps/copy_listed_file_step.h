// CopyListedFileStep: copies one entry of the package's files_list into the
// version subfolder of the installation and records it in the status
// record's files.
#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_LISTED_FILE_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_LISTED_FILE_STEP_H_

#include <string>

#include "desktop/windows/installer/steps/copy_file_step.h"

namespace installer {

class CopyListedFileStep : public CopyFileStep {
 public:
  CopyListedFileStep(InstallerStepHost* host, const std::string& entry);

 protected:
  void OnFileCopied() override;
  base::FilePath GetDestinationFolder() override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_LISTED_FILE_STEP_H_
