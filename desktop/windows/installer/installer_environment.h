// InstallerEnvironment: the system services an installer run reaches through
// seams, so that tests can run whole installs in parallel under Wine. The
// installer fills every member that is left null with the real service when
// it is constructed; steps reach the filled copy through
// InstallerStepHost::GetEnvironment and never see a null member.
//
// The known folders (desktop, Start menu, quick launch, Program Files,
// application data) are not here: steps take them from base::PathService,
// whose overrides are the seam for them.
#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_ENVIRONMENT_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_ENVIRONMENT_H_

#include <memory>

#include "base/files/file_path.h"
#include "base/functional/callback.h"
#include "base/time/time.h"
#include "desktop/windows/installer/installer_step_lists.h"

namespace base {
class Clock;
class CommandLine;
}  // namespace base

namespace installer {

class AssociationShell;
class FirewallManager;
class Privileges;
class TaskScheduler;
class UninstallProcessLauncher;
class WindowsVersionProvider;

struct InstallerEnvironment {
  // The rights of the user and the elevated launch. Null: PrivilegesImpl.
  Privileges* privileges = nullptr;
  // Times written into names and records (app id, old status files).
  // Null: base::DefaultClock.
  const base::Clock* clock = nullptr;
  // The switches of the run (parent-pid, wait-for-package, components,
  // server-tracking-data, ...). Null: the process's command line.
  const base::CommandLine* command_line = nullptr;
  // Between two runs of a step that asked to be run again.
  base::TimeDelta step_retry_delay = base::TimeDelta::FromSeconds(1);
  // Builds the step list of an operation. Null: BuildInstallerStepList.
  base::RepeatingCallback<InstallerStepList(InstallationOperation, const InstallerStepListInput&)>
      step_list_builder;
  // The Windows version the steps act for. Null: WindowsVersionProviderImpl.
  const WindowsVersionProvider* windows_version = nullptr;
  // The shell's association calls and change notifications.
  // Null: AssociationShellImpl.
  AssociationShell* association_shell = nullptr;
  // Makes a task scheduler, not yet initialised. Null: CreateTaskScheduler.
  base::RepeatingCallback<std::unique_ptr<TaskScheduler>()> task_scheduler_factory;
  // The firewall rules of one executable; null when the firewall cannot be
  // reached. Null: FirewallManager::Create with the product's information.
  base::RepeatingCallback<std::unique_ptr<FirewallManager>(const base::FilePath&)>
      firewall_manager_factory;
  // The programs an uninstallation starts outside the installation.
  // Null: UninstallProcessLauncherImpl.
  UninstallProcessLauncher* uninstall_launcher = nullptr;
};

// Fills every member of |environment| that is left null with the real service.
void FillInstallerEnvironment(InstallerEnvironment* environment);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_ENVIRONMENT_H_
