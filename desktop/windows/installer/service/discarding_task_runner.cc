#include "desktop/windows/installer/service/discarding_task_runner.h"

namespace installer {

DiscardingTaskRunner::DiscardingTaskRunner() = default;

DiscardingTaskRunner::~DiscardingTaskRunner() = default;

bool DiscardingTaskRunner::PostDelayedTask(const base::Location& from_here,
                                           base::OnceClosure task,
                                           base::TimeDelta delay) {
  return false;
}

bool DiscardingTaskRunner::RunsTasksInCurrentSequence() const {
  return false;
}

}  // namespace installer
