// CopyListedFileStep: copies one entry of the package's files_list into the
// version subfolder of the installation and records it in the status
// record's files. Out of a package folder the run owns, it moves the file.
#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_LISTED_FILE_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_LISTED_FILE_STEP_H_

#include <string>

#include "desktop/windows/installer/steps/copy_file_step.h"

namespace installer {

class CopyListedFileStep : public CopyFileStep {
 public:
  // |movable|: no later step reads the entry from the package folder again
  // (the step moves it only when the run owns that folder as well).
  CopyListedFileStep(InstallerStepHost* host, const std::string& entry, bool movable);

 protected:
  void OnFileCopied() override;
  base::FilePath GetDestinationFolder() override;
  bool MayMoveSource() override;

 private:
  bool movable_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_LISTED_FILE_STEP_H_
