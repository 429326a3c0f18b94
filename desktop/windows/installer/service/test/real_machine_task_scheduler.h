// A TaskScheduler for tests whose process redirects HKEY_LOCAL_MACHINE: the
// in-process COM server of Task Scheduler 1.0 and the account names both
// schedulers ask for are found only under the real one. The redirection is
// lifted for each call of the scheduler it wraps and for nothing else, so
// the code under test keeps writing to the redirected hive (the scheduler
// calls only read the real one; they write the task's file or the fake
// service's store).

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_REAL_MACHINE_TASK_SCHEDULER_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_REAL_MACHINE_TASK_SCHEDULER_H_

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "desktop/windows/installer/service/task_scheduler.h"
#include "desktop/windows/installer/service/test/scoped_real_local_machine.h"

namespace installer {

class RealMachineTaskScheduler : public TaskScheduler {
 public:
  explicit RealMachineTaskScheduler(std::unique_ptr<TaskScheduler> scheduler)
      : scheduler_(std::move(scheduler)) {}

  bool Init() override {
    ScopedRealLocalMachine real_local_machine;
    return scheduler_->Init();
  }
  bool CreateTask(const ScheduledTaskInfo& info) override {
    ScopedRealLocalMachine real_local_machine;
    return scheduler_->CreateTask(info);
  }
  void DeleteStaleTasks() override {
    ScopedRealLocalMachine real_local_machine;
    scheduler_->DeleteStaleTasks();
  }
  void DeleteTask(const std::wstring& suffix) override {
    ScopedRealLocalMachine real_local_machine;
    scheduler_->DeleteTask(suffix);
  }
  void SetDailyInterval(const std::wstring& suffix, int days) override {
    ScopedRealLocalMachine real_local_machine;
    scheduler_->SetDailyInterval(suffix, days);
  }
  void SetEnabled(const std::wstring& suffix, bool enabled) override {
    ScopedRealLocalMachine real_local_machine;
    scheduler_->SetEnabled(suffix, enabled);
  }
  bool RunNow(const std::wstring& suffix, const std::vector<std::wstring>& arguments) override {
    ScopedRealLocalMachine real_local_machine;
    return scheduler_->RunNow(suffix, arguments);
  }
  TaskState GetState(const std::wstring& suffix) override {
    ScopedRealLocalMachine real_local_machine;
    return scheduler_->GetState(suffix);
  }
  base::Time GetLastRunTime(const std::wstring& suffix) override {
    ScopedRealLocalMachine real_local_machine;
    return scheduler_->GetLastRunTime(suffix);
  }

 private:
  std::unique_ptr<TaskScheduler> scheduler_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_REAL_MACHINE_TASK_SCHEDULER_H_
