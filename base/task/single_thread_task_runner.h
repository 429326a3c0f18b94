// A SequencedTaskRunner whose tasks all run on one thread (a message loop's).
// GetCurrentDefault returns the runner of the calling thread's message loop
// (null when the thread runs none); the loop installs it while it exists.

#ifndef BASE_TASK_SINGLE_THREAD_TASK_RUNNER_H_
#define BASE_TASK_SINGLE_THREAD_TASK_RUNNER_H_

#include "base/task/sequenced_task_runner.h"

namespace base {

class SingleThreadTaskRunner : public SequencedTaskRunner {
 public:
  // Installs |task_runner| as this thread's default, and as its default
  // sequenced runner, while in scope.
  class CurrentDefaultHandle {
   public:
    explicit CurrentDefaultHandle(scoped_refptr<SingleThreadTaskRunner> task_runner);
    CurrentDefaultHandle(const CurrentDefaultHandle&) = delete;
    CurrentDefaultHandle& operator=(const CurrentDefaultHandle&) = delete;
    ~CurrentDefaultHandle();

   private:
    scoped_refptr<SingleThreadTaskRunner> task_runner_;
    SingleThreadTaskRunner* previous_;
    SequencedTaskRunner::CurrentDefaultHandle sequenced_handle_;
  };

  static scoped_refptr<SingleThreadTaskRunner> GetCurrentDefault();
  static bool HasCurrentDefault();

  bool BelongsToCurrentThread() const { return RunsTasksInCurrentSequence(); }

 protected:
  SingleThreadTaskRunner() = default;
  ~SingleThreadTaskRunner() override = default;
};

}  // namespace base

#endif  // BASE_TASK_SINGLE_THREAD_TASK_RUNNER_H_
