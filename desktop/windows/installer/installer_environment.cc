#include "desktop/windows/installer/installer_environment.h"

#include "base/command_line.h"
#include "base/functional/bind.h"
#include "base/time/default_clock.h"
#include "desktop/windows/installer/service/association_shell_impl.h"
#include "desktop/windows/installer/service/firewall_manager.h"
#include "desktop/windows/installer/service/privileges.h"
#include "desktop/windows/installer/service/task_scheduler.h"
#include "desktop/windows/installer/service/windows_version_provider_impl.h"
#include "desktop/windows/installer/steps/installer_step.h"
#include "desktop/windows/installer/steps/uninstall_process_launcher_impl.h"

namespace installer {

namespace {

std::unique_ptr<TaskScheduler> CreateSystemTaskScheduler() {
  return CreateTaskScheduler();
}

std::unique_ptr<FirewallManager> CreateSystemFirewallManager(const base::FilePath& app_path) {
  return FirewallManager::Create(FirewallProductInfo::GetInstance(), app_path);
}

}  // namespace

void FillInstallerEnvironment(InstallerEnvironment* environment) {
  if (!environment->privileges)
    environment->privileges = PrivilegesImpl::GetInstance();
  if (!environment->clock)
    environment->clock = base::DefaultClock::GetInstance();
  if (!environment->command_line)
    environment->command_line = base::CommandLine::ForCurrentProcess();
  if (!environment->step_list_builder)
    environment->step_list_builder = base::BindRepeating(&BuildInstallerStepList);
  if (!environment->windows_version)
    environment->windows_version = WindowsVersionProviderImpl::GetInstance();
  if (!environment->association_shell)
    environment->association_shell = AssociationShellImpl::GetInstance();
  if (!environment->task_scheduler_factory)
    environment->task_scheduler_factory = base::BindRepeating(&CreateSystemTaskScheduler);
  if (!environment->firewall_manager_factory)
    environment->firewall_manager_factory = base::BindRepeating(&CreateSystemFirewallManager);
  if (!environment->uninstall_launcher)
    environment->uninstall_launcher = UninstallProcessLauncherImpl::GetInstance();
}

}  // namespace installer
