// The step list of each operation, in running order. The installer builds the
// list once its files lists are read and runs it from the first step on; the
// number of steps enters the total it announces to its observers.
#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_STEP_LISTS_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_STEP_LISTS_H_

#include <memory>
#include <string>
#include <vector>

#include "desktop/windows/installer/settings_flag.h"

namespace installer {

class InstallerStep;
class InstallerStepHost;

using InstallerStepList = std::vector<std::unique_ptr<InstallerStep>>;

struct InstallerStepListInput {
  InstallerStepHost* host = nullptr;
  // The package's files_list and root_files_list entries, in file order.
  const std::vector<std::string>* files_list = nullptr;
  const std::vector<std::string>* root_files_list = nullptr;
  // The installer's uninstall key name, filled by the registry set-up step.
  std::wstring* uninstall_key_name = nullptr;
  // PeArchitecture of the installation's current launcher.exe, taken before
  // any step runs.
  int launcher_architecture = 0;
};

// The steps of |operation|; empty for INVALID_PATH.
InstallerStepList BuildInstallerStepList(InstallationOperation operation,
                                         const InstallerStepListInput& input);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_STEP_LISTS_H_
