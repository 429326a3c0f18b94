// A thread's task queue and the pump that waits for work. Constructing a
// MessageLoop binds it to the calling thread (one per thread) and installs its
// task runner as the thread's SingleThreadTaskRunner/SequencedTaskRunner
// default; a base::RunLoop runs it.
//
// Kinds (Type):
//   TYPE_DEFAULT  waits on an event; tasks only.
//   TYPE_UI       also pumps the thread's window messages (MessagePumpForUI).
//   TYPE_IO       also dispatches I/O completions (MessageLoopForIO).
//
// Ordering: immediate tasks run in posting order; a delayed task runs no
// earlier than its delay, delayed tasks due at the same time run in posting
// order. Tasks may run nested run loops.
//
// Destruction deletes the pending tasks without running them (their bound
// state is destroyed on this thread); posting to the loop's task runner
// afterwards returns false and drops the task.

#ifndef BASE_MESSAGE_LOOP_MESSAGE_LOOP_H_
#define BASE_MESSAGE_LOOP_MESSAGE_LOOP_H_

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "base/functional/callback.h"
#include "base/location.h"
#include "base/memory/ref_counted.h"
#include "base/message_loop/message_pump.h"
#include "base/task/single_thread_task_runner.h"
#include "base/time/time.h"

namespace base {

class RunLoop;

namespace internal {
class MessageLoopTaskRunner;
}  // namespace internal

class MessageLoop : public MessagePump::Delegate {
 public:
  enum Type { TYPE_DEFAULT, TYPE_UI, TYPE_IO };

  explicit MessageLoop(Type type = TYPE_DEFAULT);
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;
  ~MessageLoop() override;

  // The loop of the calling thread, null when it has none.
  static MessageLoop* current();

  Type type() const { return type_; }
  const scoped_refptr<SingleThreadTaskRunner>& task_runner() const { return task_runner_; }

  // True while a RunLoop runs inside a task of this loop.
  bool IsNested() const;

 protected:
  MessagePump* pump() const { return pump_.get(); }

 private:
  friend class RunLoop;
  friend class internal::MessageLoopTaskRunner;

  struct PendingTask {
    OnceClosure task;
    Location posted_from;
    TimeTicks delayed_run_time;  // null for immediate tasks
    uint64_t sequence_num = 0;
  };
  // Orders the delayed heap: earliest first, then by posting order.
  static bool RunsLater(const PendingTask& a, const PendingTask& b);

  // Called by the task runner with its lock held.
  void AddToIncomingQueueLocked(PendingTask task);

  // MessagePump::Delegate:
  bool DoWork() override;
  bool DoDelayedWork(TimeTicks* next_delayed_work_time) override;
  bool DoIdleWork() override;

  void ReloadWorkQueue();
  void RunTask(PendingTask* pending_task);
  void DeletePendingTasks();

  const Type type_;
  std::unique_ptr<MessagePump> pump_;
  scoped_refptr<internal::MessageLoopTaskRunner> incoming_runner_;
  scoped_refptr<SingleThreadTaskRunner> task_runner_;
  std::unique_ptr<SingleThreadTaskRunner::CurrentDefaultHandle> current_default_handle_;

  // Filled by other threads under the task runner's lock.
  std::vector<PendingTask> incoming_queue_;
  uint64_t next_sequence_num_ = 0;
  // Loop thread only.
  std::deque<PendingTask> work_queue_;
  std::vector<PendingTask> delayed_work_queue_;  // a heap ordered by RunsLater
  RunLoop* run_loop_ = nullptr;  // innermost running RunLoop
  int nesting_depth_ = 0;         // tasks currently running
};

}  // namespace base

#endif  // BASE_MESSAGE_LOOP_MESSAGE_LOOP_H_
