#include "base/task/cancelable_task_tracker.h"

#include <atomic>
#include <utility>

#include "base/functional/bind.h"
#include "base/functional/callback_helpers.h"
#include "base/logging.h"
#include "base/task/sequenced_task_runner.h"

namespace base {

// Shared by the tracker and the task: the task and the reply check it before
// running.
class CancelableTaskTracker::CancellationFlag
    : public RefCountedThreadSafe<CancellationFlag> {
 public:
  void Cancel() { canceled_.store(true, std::memory_order_release); }
  bool IsCanceled() const { return canceled_.load(std::memory_order_acquire); }

 private:
  friend class RefCountedThreadSafe<CancellationFlag>;
  ~CancellationFlag() = default;
  std::atomic<bool> canceled_{false};
};

namespace {

template <typename Flag>
void RunIfNotCanceled(const scoped_refptr<Flag>& flag, OnceClosure task) {
  if (!flag->IsCanceled())
    std::move(task).Run();
}

}  // namespace

CancelableTaskTracker::CancelableTaskTracker() = default;

CancelableTaskTracker::~CancelableTaskTracker() {
  TryCancelAll();
  weak_factory_.InvalidateWeakPtrs();
}

CancelableTaskTracker::TaskId CancelableTaskTracker::PostTask(TaskRunner* task_runner,
                                                              const Location& from_here,
                                                              OnceClosure task) {
  return PostTaskAndReply(task_runner, from_here, std::move(task), DoNothing());
}

CancelableTaskTracker::TaskId CancelableTaskTracker::PostTaskAndReply(TaskRunner* task_runner,
                                                                      const Location& from_here,
                                                                      OnceClosure task,
                                                                      OnceClosure reply) {
  scoped_refptr<SequencedTaskRunner> origin = SequencedTaskRunner::GetCurrentDefault();
  if (!origin) {
    LOG(ERROR) << "CancelableTaskTracker used without a current sequence";
    return kBadTaskId;
  }
  TaskId id = next_id_++;
  auto flag = MakeRefCounted<CancellationFlag>();
  // Untracks the id on this sequence when the reply has run or has been
  // dropped with the task, wherever that happens.
  ScopedClosureRunner untrack(BindOnce(
      [](scoped_refptr<SequencedTaskRunner> origin, OnceClosure untrack) {
        if (origin->RunsTasksInCurrentSequence())
          std::move(untrack).Run();
        else
          origin->PostTask(FROM_HERE, std::move(untrack));
      },
      origin, BindOnce(&CancelableTaskTracker::Untrack, weak_factory_.GetWeakPtr(), id)));
  OnceClosure tracked_reply = BindOnce(
      [](const scoped_refptr<CancellationFlag>& flag, OnceClosure reply,
         ScopedClosureRunner untrack) { RunIfNotCanceled(flag, std::move(reply)); },
      flag, std::move(reply), std::move(untrack));
  task_flags_.emplace(id, flag);
  if (!task_runner->PostTaskAndReply(from_here, BindOnce(&RunIfNotCanceled<CancellationFlag>, flag, std::move(task)),
                                     std::move(tracked_reply))) {
    task_flags_.erase(id);
    return kBadTaskId;
  }
  return id;
}

void CancelableTaskTracker::TryCancel(TaskId id) {
  auto it = task_flags_.find(id);
  if (it == task_flags_.end())
    return;
  it->second->Cancel();
  task_flags_.erase(it);
}

void CancelableTaskTracker::TryCancelAll() {
  for (auto& [id, flag] : task_flags_)
    flag->Cancel();
  task_flags_.clear();
}

bool CancelableTaskTracker::HasTrackedTasks() const {
  return !task_flags_.empty();
}

void CancelableTaskTracker::Untrack(TaskId id) {
  task_flags_.erase(id);
}

}  // namespace base
