// Scheduled tasks of the product (the periodic autoupdate): TaskScheduler
// hides the two generations of the Windows Task Scheduler behind one
// interface. TaskSchedulerV2 (Task Scheduler 2.0) is used from Windows Vista
// on, TaskSchedulerV1 (Task Scheduler 1.0) before. Every task is named
// GetScheduledTaskName(suffix): the product name, " scheduled " and the
// caller's suffix. COM must be initialised on the calling thread; one object
// is used on one thread. Call Init() first; after a failed Init() the object
// is unusable.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SCHEDULER_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SCHEDULER_H_

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/time/time.h"

namespace installer {

class WindowsVersionProvider;

// ScheduledTaskInfo::trigger_kind values.
constexpr uint32_t kTaskTriggerOnce = 0;   // Runs now, then the task goes away.
constexpr uint32_t kTaskTriggerDaily = 1;
constexpr uint32_t kTaskTriggerNone = 2;   // No time trigger.

// What a task runs and when.
struct ScheduledTaskInfo {
  explicit ScheduledTaskInfo(const base::CommandLine& command_line)
      : command_line(command_line) {}

  base::CommandLine command_line;
  std::wstring name_suffix;
  // The task's comment (1.0) or description (2.0).
  std::wstring description;
  // 1: the local SYSTEM account runs the task; 0: the current user.
  uint32_t run_as_system = 0;
  // Longest run time; 0 means no limit.
  uint32_t execution_limit_seconds = 0;
  uint32_t trigger_kind = kTaskTriggerOnce;
  // A start-up trigger as well (logon for a user task, boot for a SYSTEM
  // task), unless the kind is kTaskTriggerOnce.
  bool add_logon_trigger = false;
  // Honoured by Task Scheduler 2.0 only.
  bool run_only_if_network_available = false;
};

enum TaskState {
  TASK_NOT_FOUND = 0,
  TASK_DISABLED = 1,
  TASK_UNKNOWN = 2,
  TASK_READY = 3,     // Ready, queued, or has not run yet.
  TASK_RUNNING = 4,
  TASK_WILL_NOT_RUN = 5,  // 1.0 only: no more runs, not scheduled, no valid triggers.
};

class TaskScheduler {
 public:
  virtual ~TaskScheduler() = default;

  virtual bool Init() = 0;
  // Replaces any task of the same name; when that fails, the task of the
  // name stays as it was. A kTaskTriggerOnce task is started at once and is
  // gone when it has run.
  virtual bool CreateTask(const ScheduledTaskInfo& info) = 0;
  // Deletes the enabled tasks of the product whose program no longer exists.
  virtual void DeleteStaleTasks() = 0;
  virtual void DeleteTask(const std::wstring& name_suffix) = 0;
  // Sets the days interval of the task's first daily trigger; the task is
  // stored again only when the interval changes.
  virtual void SetDailyInterval(const std::wstring& name_suffix, int days) = 0;
  virtual void SetEnabled(const std::wstring& name_suffix, bool enabled) = 0;
  // Starts the task now (1.0 ignores |arguments|). True when it was started.
  virtual bool RunNow(const std::wstring& name_suffix,
                      const std::vector<std::wstring>& arguments) = 0;
  // TASK_NOT_FOUND only when there is no such task; TASK_UNKNOWN when it
  // cannot be read.
  virtual TaskState GetState(const std::wstring& name_suffix) = 0;
  // The null time when unknown.
  virtual base::Time GetLastRunTime(const std::wstring& name_suffix) = 0;
};

// The product name, " scheduled " and |name_suffix|.
std::wstring GetScheduledTaskName(const std::wstring& name_suffix);

// Whether |task_name| is one of the product's task names (it starts with the
// product name followed by " scheduled ", ASCII case ignored).
bool IsProductTaskName(const std::wstring& task_name);

// A time the scheduler reports as calendar fields, taken as UTC; the null time
// when the fields are not a valid time.
base::Time TimeFromTaskTimeFields(const SYSTEMTIME& fields);

// A TaskSchedulerV2 on Windows Vista and later, else a TaskSchedulerV1; not
// yet initialised.
std::unique_ptr<TaskScheduler> CreateTaskScheduler();
// The same for the Windows version |version| reports.
std::unique_ptr<TaskScheduler> CreateTaskScheduler(const WindowsVersionProvider& version);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SCHEDULER_H_
