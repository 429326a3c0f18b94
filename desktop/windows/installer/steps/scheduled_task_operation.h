// ScheduledTaskOperation creates or deletes a scheduled task as an operation
// of a transaction, so that a run that fails or is cancelled leaves the tasks
// as they were: the undo of a creation deletes the task (or, when it
// replaced a task of the same name, makes that again from the same
// description); the undo of a deletion creates it again from the same
// description (when there was one to delete). Both first let the scheduler
// delete the product's stale tasks. A scheduler that cannot be used fails the
// operation.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_SCHEDULED_TASK_OPERATION_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_SCHEDULED_TASK_OPERATION_H_

#include <memory>

#include "base/functional/callback.h"
#include "desktop/windows/installer/service/task_scheduler.h"
#include "desktop/windows/installer/service/transactions/operation.h"

namespace installer {

class ScheduledTaskOperation : public Operation {
 public:
  using SchedulerFactory = base::RepeatingCallback<std::unique_ptr<TaskScheduler>()>;

  enum Action { CREATE_TASK, DELETE_TASK };

  ScheduledTaskOperation(SchedulerFactory factory, const ScheduledTaskInfo& task, Action action);
  ~ScheduledTaskOperation() override;

  bool Do(Transaction* nested) override;
  void Undo() override;

 private:
  // Creates (|create|) or deletes the task; false when that failed. Unless
  // |undoing|, records in |existed_| whether the task was there before.
  bool Apply(bool create, bool undoing);

  SchedulerFactory factory_;
  ScheduledTaskInfo task_;
  Action action_;
  bool done_ = false;
  bool existed_ = false;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_SCHEDULED_TASK_OPERATION_H_
