// The browser's scheduled autoupdate task: its description, its creation at
// the end of an install or upgrade and its removal by an uninstallation, both
// undone with the run. The task scheduler comes from the step host's
// environment.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_AUTOUPDATE_TASK_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_AUTOUPDATE_TASK_H_

#include <string>

#include "base/files/file_path.h"
#include "desktop/windows/installer/service/task_scheduler.h"

namespace installer {

class InstallerStepHost;

// "Autoupdate " + |app_id|: the caller's part of the task's name.
std::wstring GetAutoupdateTaskSuffix(const std::string& app_id);

// The task of the installation in |install_path| with |app_id|, run as
// SYSTEM for an all-users installation.
ScheduledTaskInfo DescribeAutoupdateTask(const base::FilePath& install_path,
                                         const std::string& app_id, bool all_users);

// Deletes the product's stale tasks and creates |task| in the run's
// transaction; false (logged) when the scheduler cannot be used or the
// creation failed.
bool CreateAutoupdateTask(InstallerStepHost* host, const ScheduledTaskInfo& task);

// Deletes the product's stale tasks and |task| in the run's transaction.
void RemoveAutoupdateTask(InstallerStepHost* host, const ScheduledTaskInfo& task);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_AUTOUPDATE_TASK_H_
