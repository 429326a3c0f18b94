#include "desktop/windows/installer/service/task_scheduler_v2.h"

#include <taskschd.h>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/stringprintf.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

constexpr wchar_t kSystemUser[] = L"SYSTEM";
// Authenticated Users may read and run the task.
constexpr wchar_t kSystemTaskSddl[] = L"D:(A;;GRGX;;;AU)";
constexpr int kRunOnceDelaySeconds = 30;

// Local time now plus |delay_seconds|, as the scheduler's boundaries want it.
std::wstring StartBoundary(int delay_seconds) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER value;
  value.LowPart = now.dwLowDateTime;
  value.HighPart = now.dwHighDateTime;
  value.QuadPart += static_cast<ULONGLONG>(delay_seconds) * 10'000'000;
  now.dwLowDateTime = value.LowPart;
  now.dwHighDateTime = value.HighPart;
  FILETIME local;
  SYSTEMTIME fields = {};
  FileTimeToLocalFileTime(&now, &local);
  FileTimeToSystemTime(&local, &fields);
  return base::StringPrintf(L"%02d-%02d-%02dT%02d:%02d:%02d", fields.wYear, fields.wMonth,
                            fields.wDay, fields.wHour, fields.wMinute, fields.wSecond);
}

}  // namespace

TaskSchedulerV2::TaskSchedulerV2(std::unique_ptr<TaskServiceV2> service, bool is_admin)
    : service_(std::move(service)), is_admin_(is_admin) {}

TaskSchedulerV2::~TaskSchedulerV2() = default;

bool TaskSchedulerV2::Init() {
  return service_->Connect();
}

bool TaskSchedulerV2::CreateTask(const ScheduledTaskInfo& info) {
  std::wstring user;
  if (!GetUserNameInFormat(NameSamCompatible, &user))
    return false;
  // Registering with TASK_CREATE_OR_UPDATE replaces a task of the name in
  // one go: deleting it first would lose it when the registration fails.
  const std::wstring name = GetScheduledTaskName(info.name_suffix);

  const bool once = info.trigger_kind == kTaskTriggerOnce;
  const bool system = info.run_as_system == 1;
  TaskDefinitionV2 definition;
  definition.author = user;
  definition.description = info.description;
  definition.execution_time_limit =
      L"PT" + std::to_wstring(info.execution_limit_seconds) + L"S";
  definition.multiple_instances = TASK_INSTANCES_IGNORE_NEW;
  definition.run_only_if_network_available = info.run_only_if_network_available;
  definition.stop_if_going_on_batteries = false;
  definition.disallow_start_if_on_batteries = false;
  definition.start_when_available = true;
  if (once)
    definition.delete_expired_task_after = L"PT0S";

  const std::wstring start = StartBoundary(once ? kRunOnceDelaySeconds : 0);
  if (info.trigger_kind == kTaskTriggerDaily) {
    TaskTriggerV2 daily;
    daily.type = TaskTriggerV2::Type::kDaily;
    daily.id = L"Daily run";
    daily.start_boundary = start;
    daily.days_interval = 1;
    definition.triggers.push_back(daily);
  } else if (once) {
    TaskTriggerV2 registration;
    registration.type = TaskTriggerV2::Type::kRegistration;
    registration.id = L"Run once";
    registration.end_boundary = start;
    definition.triggers.push_back(registration);
  }
  if (info.add_logon_trigger && !once) {
    TaskTriggerV2 logon;
    logon.type = system ? TaskTriggerV2::Type::kBoot : TaskTriggerV2::Type::kLogon;
    logon.id = L"Logon run";
    logon.start_boundary = start;
    logon.delay = base::StringPrintf(L"PT%dM", ProductConfig::GetScheduledAutoupdateDelayMin());
    if (!system)
      logon.user_id = user;
    definition.triggers.push_back(logon);
  }
  definition.exec_path = info.command_line.GetProgram().value();
  definition.exec_arguments = info.command_line.GetArgumentsString();
  definition.run_level_highest = is_admin_;

  const HRESULT hr =
      system ? service_->RegisterTask(name, definition, kSystemUser, TASK_LOGON_SERVICE_ACCOUNT)
             : service_->RegisterTask(name, definition, user, TASK_LOGON_INTERACTIVE_TOKEN);
  if (FAILED(hr)) {
    LOG(ERROR) << "Failed task registration: " << static_cast<long>(hr);
    return false;
  }
  if (system) {
    const HRESULT sddl_hr = service_->SetSecurityDescriptor(name, kSystemTaskSddl);
    if (FAILED(sddl_hr))
      LOG(ERROR) << "Failed setting SDDL: " << static_cast<long>(sddl_hr);
  }
  // The registration trigger has started the task already.
  if (once)
    service_->DeleteTask(name);
  return true;
}

void TaskSchedulerV2::DeleteStaleTasks() {
  std::vector<std::wstring> names;
  if (!service_->GetTaskNames(&names))
    return;
  for (const std::wstring& name : names) {
    if (!IsProductTaskName(name))
      continue;
    RegisteredTaskV2 task;
    if (FAILED(service_->GetTask(name, &task)) || !task.enabled || task.first_exec_path.empty())
      continue;
    if (!base::PathExists(base::FilePath(task.first_exec_path)))
      service_->DeleteTask(name);
  }
}

void TaskSchedulerV2::DeleteTask(const std::wstring& name_suffix) {
  service_->DeleteTask(GetScheduledTaskName(name_suffix));
}

void TaskSchedulerV2::SetDailyInterval(const std::wstring& name_suffix, int days) {
  const std::wstring name = GetScheduledTaskName(name_suffix);
  RegisteredTaskV2 task;
  if (FAILED(service_->GetTask(name, &task)) || task.first_daily_interval == 0 ||
      task.first_daily_interval == days) {
    return;
  }
  service_->SetDailyInterval(name, days);
}

void TaskSchedulerV2::SetEnabled(const std::wstring& name_suffix, bool enabled) {
  service_->SetEnabled(GetScheduledTaskName(name_suffix), enabled);
}

bool TaskSchedulerV2::RunNow(const std::wstring& name_suffix,
                             const std::vector<std::wstring>& arguments) {
  return service_->Run(GetScheduledTaskName(name_suffix), arguments);
}

TaskState TaskSchedulerV2::GetState(const std::wstring& name_suffix) {
  RegisteredTaskV2 task;
  const HRESULT hr = service_->GetTask(GetScheduledTaskName(name_suffix), &task);
  if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ||
      hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) {
    return TASK_NOT_FOUND;
  }
  if (FAILED(hr))
    return TASK_UNKNOWN;
  switch (task.state) {
    case TASK_STATE_DISABLED:
      return TASK_DISABLED;
    case TASK_STATE_QUEUED:
    case TASK_STATE_READY:
      return TASK_READY;
    case TASK_STATE_RUNNING:
      return TASK_RUNNING;
    default:
      return TASK_UNKNOWN;
  }
}

base::Time TaskSchedulerV2::GetLastRunTime(const std::wstring& name_suffix) {
  RegisteredTaskV2 task;
  if (FAILED(service_->GetTask(GetScheduledTaskName(name_suffix), &task)))
    return base::Time();
  return task.last_run_time;
}

}  // namespace installer
