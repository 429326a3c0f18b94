// CleanupAfterUninstallStep, the last step of an uninstallation: removes the
// autoupdate task and the installation's files, leaves what is still in use
// to the self-deleting batch file "k.bat" (started unless the installer holds
// a done event, that is unless it is a second installer), and deletes the
// user profile when the settings ask for it. Never fails the run.
//
// Everything goes through the run's transaction: the batch file is written
// in it, and starting the batch file and deleting the profile, which cannot
// be taken back, happen only when the transaction keeps the run.
//
// Paths come from the status file of the installation being removed: only
// entries that stay inside the install folder are deleted. The profile is
// deleted only when it is verified to be this installation's own: a folder
// holding the browser's "Local State", not a well-known shell folder, not an
// ancestor of the install folder, and never the common folder that holds
// every user's profile (then only the current user's profile is deleted).

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_CLEANUP_AFTER_UNINSTALL_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_CLEANUP_AFTER_UNINSTALL_STEP_H_

#include <vector>

#include "base/files/file_path.h"
#include "desktop/windows/installer/steps/installer_step.h"

namespace installer {

class CleanupBatchFile;
class Installation;

class CleanupAfterUninstallStep : public InstallerStep {
 public:
  explicit CleanupAfterUninstallStep(InstallerStepHost* host);
  ~CleanupAfterUninstallStep() override;

  void Run(StepResult* result, int attempt) override;

  // The folder that deleting |installation|'s profile removes, or false when
  // none can be verified (see above).
  bool GetProfileFolderToDelete(Installation* installation, base::FilePath* folder);

 private:
  // Deletes |file| through the transaction; a failure leaves it to |batch|
  // when |keep_for_batch|.
  void RemoveFile(const base::FilePath& file, bool keep_for_batch, CleanupBatchFile* batch);
  // The verified profile folder and its local counterpart.
  bool GetProfileFoldersToDelete(std::vector<base::FilePath>* folders);
  // Whether deleting |folder| recursively could take anything beyond one
  // installation's data with it.
  bool IsProtectedFolder(const base::FilePath& folder);
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_CLEANUP_AFTER_UNINSTALL_STEP_H_
