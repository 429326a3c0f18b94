#include "desktop/windows/installer/steps/autoupdate_task.h"

#include <memory>

#include "base/command_line.h"
#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/installer_environment.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/service/installation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/steps/scheduled_task_operation.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

constexpr wchar_t kAutoupdateTaskPrefix[] = L"Autoupdate ";
constexpr char kScheduledAutoupdateSwitch[] = "scheduledautoupdate";
// The scheduler's placeholder for the first argument of a run.
constexpr wchar_t kFirstArgumentPlaceholder[] = L"$(Arg0)";
// "Keeps Velto up to date."
constexpr int kAutoupdateTaskDescriptionId = 37052;
constexpr uint32_t kExecutionLimitSeconds = 3600;
constexpr uint32_t kDailyTrigger = 1;
constexpr uint32_t kNoTimeTrigger = 2;

}  // namespace

std::wstring GetAutoupdateTaskSuffix(const std::string& app_id) {
  return kAutoupdateTaskPrefix + base::UTF8ToWide(app_id);
}

ScheduledTaskInfo DescribeAutoupdateTask(const base::FilePath& install_path,
                                         const std::string& app_id, bool all_users) {
  base::CommandLine command_line(install_path.Append(kLauncherExeName));
  command_line.AppendSwitch(kScheduledAutoupdateSwitch);
  command_line.AppendArgNative(kFirstArgumentPlaceholder);
  ScheduledTaskInfo task(command_line);
  task.name_suffix = GetAutoupdateTaskSuffix(app_id);
  task.description = GetLocalizedString(kAutoupdateTaskDescriptionId);
  task.execution_limit_seconds = kExecutionLimitSeconds;
  task.add_logon_trigger = ProductConfig::ShouldScheduleAutoupdateTask();
  task.trigger_kind = task.add_logon_trigger ? kDailyTrigger : kNoTimeTrigger;
  task.run_as_system = all_users ? 1 : 0;
  task.run_only_if_network_available = true;
  return task;
}

bool CreateAutoupdateTask(InstallerStepHost* host, const ScheduledTaskInfo& task) {
  LOG(INFO) << "Creating scheduled task";
  if (host->GetTransaction()->Do(std::make_unique<ScheduledTaskOperation>(
          host->GetEnvironment().task_scheduler_factory, task,
          ScheduledTaskOperation::CREATE_TASK))) {
    return true;
  }
  LOG(ERROR) << "Could not create scheduled task";
  return false;
}

void RemoveAutoupdateTask(InstallerStepHost* host, const ScheduledTaskInfo& task) {
  host->GetTransaction()->Do(std::make_unique<ScheduledTaskOperation>(
      host->GetEnvironment().task_scheduler_factory, task, ScheduledTaskOperation::DELETE_TASK));
}

}  // namespace installer
