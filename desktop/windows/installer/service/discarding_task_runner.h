// DiscardingTaskRunner: a sequenced task runner that runs nothing. Every post
// reports failure and drops the task. Used where a component insists on a
// runner for work that must never happen, such as the writes of a preference
// store opened only to be read.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_DISCARDING_TASK_RUNNER_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_DISCARDING_TASK_RUNNER_H_

#include "base/task/sequenced_task_runner.h"

namespace installer {

class DiscardingTaskRunner : public base::SequencedTaskRunner {
 public:
  DiscardingTaskRunner();

  bool PostDelayedTask(const base::Location& from_here, base::OnceClosure task,
                       base::TimeDelta delay) override;
  bool RunsTasksInCurrentSequence() const override;

 private:
  ~DiscardingTaskRunner() override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_DISCARDING_TASK_RUNNER_H_
