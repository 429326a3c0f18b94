// TaskSchedulerV2: TaskScheduler over Task Scheduler 2.0, used from Windows
// Vista on. It decides what each task holds; the service it is given
// (TaskServiceV2Impl in the product) carries that to the system.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SCHEDULER_V2_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SCHEDULER_V2_H_

#include <memory>

#include "desktop/windows/installer/service/task_scheduler.h"
#include "desktop/windows/installer/service/task_service_v2.h"

namespace installer {

class TaskSchedulerV2 : public TaskScheduler {
 public:
  // |is_admin| decides the highest run level; tests choose it.
  TaskSchedulerV2(std::unique_ptr<TaskServiceV2> service, bool is_admin);
  ~TaskSchedulerV2() override;

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
  std::unique_ptr<TaskServiceV2> service_;
  const bool is_admin_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SCHEDULER_V2_H_
