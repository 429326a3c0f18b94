// RemoveInstalledFilesStep: deletes the files listed by each status file kept
// in "old_status", then that status file. During an upgrade a deletion that
// fails restores that installation's files and keeps its status file for a
// later run; during an uninstall deletions go on past failures. Entries that
// would leave their version folder are passed over. Then the Start-menu
// shortcuts of an old companion product go, in the run's transaction like the
// files. Never fails.
#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_REMOVE_INSTALLED_FILES_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_REMOVE_INSTALLED_FILES_STEP_H_

#include "desktop/windows/installer/steps/installer_step.h"

namespace installer {

class RemoveInstalledFilesStep : public InstallerStep {
 public:
  // The Start-menu shortcuts of an old companion product, "*" standing for
  // any text.
  static constexpr wchar_t kOldCompanionShortcutPattern[] = L"Velto*Tallimer.lnk";

  explicit RemoveInstalledFilesStep(InstallerStepHost* host) : InstallerStep(host) {}

  void Run(StepResult* result, int attempt) override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_REMOVE_INSTALLED_FILES_STEP_H_
