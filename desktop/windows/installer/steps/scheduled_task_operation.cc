#include "desktop/windows/installer/steps/scheduled_task_operation.h"

#include <utility>

#include "base/logging.h"

namespace installer {

ScheduledTaskOperation::ScheduledTaskOperation(SchedulerFactory factory,
                                               const ScheduledTaskInfo& task,
                                               Action action)
    : factory_(std::move(factory)), task_(task), action_(action) {}

ScheduledTaskOperation::~ScheduledTaskOperation() = default;

bool ScheduledTaskOperation::Apply(bool create, bool undoing) {
  std::unique_ptr<TaskScheduler> scheduler = factory_.Run();
  if (!scheduler || !scheduler->Init()) {
    LOG(ERROR) << "Could not initialize task scheduler";
    return false;
  }
  scheduler->DeleteStaleTasks();
  if (!undoing)
    existed_ = scheduler->GetState(task_.name_suffix) != TASK_NOT_FOUND;
  if (create)
    return scheduler->CreateTask(task_);
  scheduler->DeleteTask(task_.name_suffix);
  return true;
}

bool ScheduledTaskOperation::Do(Transaction* nested) {
  done_ = Apply(action_ == CREATE_TASK, false);
  return done_;
}

void ScheduledTaskOperation::Undo() {
  if (!done_ || (action_ == DELETE_TASK && !existed_))
    return;
  done_ = false;
  // A creation that replaced the installation's task takes it back by making
  // it again from the same description; one that added a task deletes it.
  bool create = action_ == CREATE_TASK ? existed_ : true;
  if (!Apply(create, true))
    LOG(WARNING) << "Could not take back the change of a scheduled task";
}

}  // namespace installer
