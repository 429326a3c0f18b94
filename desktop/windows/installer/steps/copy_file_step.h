// CopyFileStep: copies one file of the package folder into the installation
// through the run's transaction. A copy that fails asks to be run again
// (required files fail the run when the retries are used up, optional ones
// are then left out) and reports category 8 with the destination path; each
// retry is announced to the observers as "file_copy_retry".
//
// Subclasses choose the destination folder and may rename, skip or follow up
// on the copy.
#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_FILE_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_FILE_STEP_H_

#include <string>

#include "base/files/file_path.h"
#include "desktop/windows/installer/steps/installer_step.h"

namespace installer {

// The text of InstallerObserver::OnFileCopyRetry for a copy tried again.
inline constexpr char kFileCopyRetryText[] = "file_copy_retry";

class CopyFileStep : public InstallerStep {
 public:
  // |name| is the file's path below the package folder (ASCII, may hold
  // subfolders).
  CopyFileStep(InstallerStepHost* host, std::string name);

  void Run(StepResult* result, int attempt) override;

 protected:
  // Called after a run whose result is code 0, also when the copy was
  // skipped.
  virtual void OnFileCopied() {}
  // Whether a failed copy fails the run.
  virtual bool IsRequired() { return true; }
  // Whether to leave the copy of |source| out.
  virtual bool ShouldSkip(const base::FilePath& source) { return false; }
  // The destination file name (may hold subfolders).
  virtual std::string GetName() { return name_; }
  virtual base::FilePath GetDestinationFolder() = 0;

  const std::string& name() const { return name_; }

 private:
  StepResult CopyFile();

  std::string name_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_FILE_STEP_H_
