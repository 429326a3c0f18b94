// Tracks tasks posted to other task runners so that they can be cancelled.
// Use it on one sequence (it needs a current SequencedTaskRunner there):
// replies run on that sequence.
//
// A cancelled task that has not started does not run; a cancelled task's
// reply never runs, even when the task itself already ran. Cancelling cannot
// stop a task that is running. TryCancel of an unknown or finished id does
// nothing. A task is tracked from posting until its reply has run (or it was
// cancelled, or dropped by its runner). Destroying the tracker cancels
// everything it still tracks.

#ifndef BASE_TASK_CANCELABLE_TASK_TRACKER_H_
#define BASE_TASK_CANCELABLE_TASK_TRACKER_H_

#include <cstdint>
#include <map>

#include "base/functional/callback.h"
#include "base/location.h"
#include "base/memory/ref_counted.h"
#include "base/memory/weak_ptr.h"
#include "base/task/task_runner.h"

namespace base {

class CancelableTaskTracker {
 public:
  using TaskId = int64_t;
  static constexpr TaskId kBadTaskId = 0;

  CancelableTaskTracker();
  CancelableTaskTracker(const CancelableTaskTracker&) = delete;
  CancelableTaskTracker& operator=(const CancelableTaskTracker&) = delete;
  ~CancelableTaskTracker();

  // kBadTaskId when the runner refused the task.
  TaskId PostTask(TaskRunner* task_runner, const Location& from_here, OnceClosure task);
  TaskId PostTaskAndReply(TaskRunner* task_runner, const Location& from_here, OnceClosure task,
                          OnceClosure reply);

  void TryCancel(TaskId id);
  void TryCancelAll();
  bool HasTrackedTasks() const;

 private:
  class CancellationFlag;

  void Untrack(TaskId id);

  TaskId next_id_ = 1;
  std::map<TaskId, scoped_refptr<CancellationFlag>> task_flags_;
  WeakPtrFactory<CancelableTaskTracker> weak_factory_{this};
};

}  // namespace base

#endif  // BASE_TASK_CANCELABLE_TASK_TRACKER_H_
