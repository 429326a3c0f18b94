// Something tasks can be posted to. A TaskRunner gives no ordering guarantee
// by itself (see SequencedTaskRunner and SingleThreadTaskRunner); it is
// reference counted with a thread-safe count, so that any thread may hold and
// post to it.
//
// Posting returns false and drops (destroys without running) the task when the
// target can no longer run tasks, for instance because its message loop has
// been destroyed or its pool has shut down. A task and its bound state are
// destroyed on whichever thread drops or runs it.
//
// PostTaskAndReply runs |task| on this runner and then |reply| on the
// sequence that called PostTaskAndReply (that sequence must have a current
// default SequencedTaskRunner). When |task| is dropped, |reply| is dropped
// too; when the caller's sequence is gone by then, |reply| is dropped.

#ifndef BASE_TASK_TASK_RUNNER_H_
#define BASE_TASK_TASK_RUNNER_H_

#include <memory>
#include <type_traits>
#include <utility>

#include "base/functional/bind.h"
#include "base/functional/callback.h"
#include "base/location.h"
#include "base/memory/ref_counted.h"
#include "base/time/time.h"

namespace base {

class TaskRunner : public RefCountedThreadSafe<TaskRunner> {
 public:
  TaskRunner(const TaskRunner&) = delete;
  TaskRunner& operator=(const TaskRunner&) = delete;

  bool PostTask(const Location& from_here, OnceClosure task);
  // Runs |task| no earlier than |delay| from now.
  virtual bool PostDelayedTask(const Location& from_here, OnceClosure task, TimeDelta delay) = 0;
  // True when the calling code is running on this runner's sequence (for a
  // plain TaskRunner: on one of its threads).
  virtual bool RunsTasksInCurrentSequence() const = 0;

  bool PostTaskAndReply(const Location& from_here, OnceClosure task, OnceClosure reply);

  // Runs |task| here and hands its result to |reply| on the caller's sequence.
  template <typename TaskReturnType, typename ReplyArgType>
  bool PostTaskAndReplyWithResult(const Location& from_here,
                                  OnceCallback<TaskReturnType()> task,
                                  OnceCallback<void(ReplyArgType)> reply) {
    static_assert(!std::is_void_v<TaskReturnType>, "use PostTaskAndReply");
    auto result = std::make_unique<std::decay_t<TaskReturnType>>();
    auto* result_ptr = result.get();
    return PostTaskAndReply(
        from_here,
        BindOnce(
            [](OnceCallback<TaskReturnType()> task, std::decay_t<TaskReturnType>* out) {
              *out = std::move(task).Run();
            },
            std::move(task), result_ptr),
        BindOnce(
            [](OnceCallback<void(ReplyArgType)> reply,
               std::unique_ptr<std::decay_t<TaskReturnType>> result) {
              std::move(reply).Run(std::move(*result));
            },
            std::move(reply), std::move(result)));
  }

 protected:
  friend class RefCountedThreadSafe<TaskRunner>;
  TaskRunner() = default;
  virtual ~TaskRunner() = default;
};

}  // namespace base

#endif  // BASE_TASK_TASK_RUNNER_H_
