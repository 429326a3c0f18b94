// TaskServiceV2: the root folder of Task Scheduler 2.0 as TaskSchedulerV2
// needs it, in plain records. The real implementation (TaskServiceV2Impl) is
// the ITaskService / ITaskFolder / ITaskDefinition / IRegisteredTask COM
// service; tests hand in a fake, because some environments register tasks
// without keeping their triggers and actions.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SERVICE_V2_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SERVICE_V2_H_

#include <windows.h>

#include <string>
#include <vector>

#include "base/time/time.h"

namespace installer {

struct TaskTriggerV2 {
  enum class Type { kDaily, kRegistration, kBoot, kLogon };
  Type type = Type::kDaily;
  std::wstring id;
  std::wstring start_boundary;
  std::wstring end_boundary;
  std::wstring delay;    // Boot and logon triggers.
  std::wstring user_id;  // Logon triggers.
  short days_interval = 0;  // Daily triggers.
};

// A task's definition, field by field as the installer sets it.
struct TaskDefinitionV2 {
  std::wstring author;
  std::wstring description;
  std::wstring execution_time_limit;
  int multiple_instances = 0;  // TASK_INSTANCES_POLICY.
  bool run_only_if_network_available = false;
  bool stop_if_going_on_batteries = true;
  bool disallow_start_if_on_batteries = true;
  bool start_when_available = false;
  std::wstring delete_expired_task_after;  // Left unset when empty.
  std::vector<TaskTriggerV2> triggers;
  std::wstring exec_path;
  std::wstring exec_arguments;
  bool run_level_highest = false;
};

// A registered task as the installer reads it back.
struct RegisteredTaskV2 {
  std::wstring name;
  bool enabled = false;
  int state = 0;  // TASK_STATE.
  std::wstring first_exec_path;  // Empty when it has no exec action.
  int first_daily_interval = 0;  // 0 when it has no daily trigger.
  base::Time last_run_time;      // Null when unknown.
};

class TaskServiceV2 {
 public:
  virtual ~TaskServiceV2() = default;

  // Creates the service, connects to the local machine as the current user
  // and opens the root folder.
  virtual bool Connect() = 0;
  // The names of the root folder's tasks (hidden tasks left out).
  virtual bool GetTaskNames(std::vector<std::wstring>* names) = 0;
  // S_OK with |task| filled, or why the task could not be had: the
  // scheduler's own code, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when there
  // is no such task.
  virtual HRESULT GetTask(const std::wstring& name, RegisteredTaskV2* task) = 0;
  // Creates or updates (TASK_CREATE_OR_UPDATE) the task; |logon_type| is a
  // TASK_LOGON_TYPE, the password empty. Returns the COM result.
  virtual HRESULT RegisterTask(const std::wstring& name,
                               const TaskDefinitionV2& definition,
                               const std::wstring& user,
                               int logon_type) = 0;
  virtual HRESULT SetSecurityDescriptor(const std::wstring& name, const std::wstring& sddl) = 0;
  virtual bool DeleteTask(const std::wstring& name) = 0;
  virtual bool SetEnabled(const std::wstring& name, bool enabled) = 0;
  // Sets the days interval of the task's first daily trigger and registers
  // its definition again.
  virtual bool SetDailyInterval(const std::wstring& name, int days) = 0;
  // Runs the task with |arguments| (none when empty).
  virtual bool Run(const std::wstring& name, const std::vector<std::wstring>& arguments) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SERVICE_V2_H_
