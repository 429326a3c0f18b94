// TaskSchedulerV1: TaskScheduler over Task Scheduler 1.0 (ITaskScheduler,
// ITask, ITaskTrigger, IPersistFile), used before Windows Vista.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SCHEDULER_V1_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SCHEDULER_V1_H_

#include <windows.h>

#include <mstask.h>
#include <wrl/client.h>

#include "base/functional/callback.h"
#include "desktop/windows/installer/service/task_scheduler.h"

namespace installer {

class TaskSchedulerV1 : public TaskScheduler {
 public:
  // Makes the Task Scheduler 1.0 object that Init connects to.
  using SchedulerFactory = base::RepeatingCallback<HRESULT(ITaskScheduler** scheduler)>;

  // The system's Task Scheduler 1.0.
  TaskSchedulerV1();
  explicit TaskSchedulerV1(SchedulerFactory factory);
  ~TaskSchedulerV1() override;

  // Calls on a task's file, which the scheduler service keeps to itself for
  // a moment while it reads a change (a sharing violation): each tries again
  // for at most about a second. Everything that reads, saves or deletes Task
  // Scheduler 1.0 tasks goes through these.
  static HRESULT ActivateWorkItem(ITaskScheduler* scheduler, const std::wstring& name,
                                  Microsoft::WRL::ComPtr<ITask>* task);
  static HRESULT SaveWorkItem(ITask* task);
  static HRESULT DeleteWorkItem(ITaskScheduler* scheduler, const std::wstring& name);

  bool Init() override;
  bool CreateTask(const ScheduledTaskInfo& info) override;
  void DeleteStaleTasks() override;
  void DeleteTask(const std::wstring& name_suffix) override;
  void SetDailyInterval(const std::wstring& name_suffix, int days) override;
  void SetEnabled(const std::wstring& name_suffix, bool enabled) override;
  bool RunNow(const std::wstring& name_suffix,
              const std::vector<std::wstring>& arguments) override;
  TaskState GetState(const std::wstring& name_suffix) override;
  base::Time GetLastRunTime(const std::wstring& name_suffix) override;

 private:
  // Makes and saves the task |name| of |info|, which must not exist.
  bool MakeTask(const std::wstring& name, const std::wstring& user, const ScheduledTaskInfo& info);
  Microsoft::WRL::ComPtr<ITask> Activate(const std::wstring& task_name);
  void DeleteJob(const std::wstring& task_name);

  const SchedulerFactory factory_;
  Microsoft::WRL::ComPtr<ITaskScheduler> scheduler_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SCHEDULER_V1_H_
