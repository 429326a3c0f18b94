#include "base/message_loop/message_loop.h"

#include <algorithm>
#include <utility>

#include "base/logging.h"
#include "base/message_loop/message_pump_default.h"
#include "base/message_loop/message_pump_for_io.h"
#include "base/message_loop/message_pump_for_ui.h"
#include "base/run_loop.h"
#include "base/synchronization/lock.h"

namespace base {

namespace {

thread_local MessageLoop* g_current_loop = nullptr;

std::unique_ptr<MessagePump> CreatePump(MessageLoop::Type type) {
  switch (type) {
    case MessageLoop::TYPE_UI:
      return std::make_unique<MessagePumpForUI>();
    case MessageLoop::TYPE_IO:
      return std::make_unique<MessagePumpForIO>();
    case MessageLoop::TYPE_DEFAULT:
      break;
  }
  return std::make_unique<MessagePumpDefault>();
}

}  // namespace

namespace internal {

// The loop's task runner. It outlives the loop (anyone may hold it); once the
// loop is gone it refuses tasks.
class MessageLoopTaskRunner : public SingleThreadTaskRunner {
 public:
  explicit MessageLoopTaskRunner(MessageLoop* loop)
      : loop_(loop), thread_id_(GetCurrentThreadId()) {}

  bool PostDelayedTask(const Location& from_here, OnceClosure task, TimeDelta delay) override {
    // Declared before the lock: a refused task is destroyed after the lock is
    // released, as its destructor may post.
    MessageLoop::PendingTask pending;
    pending.task = std::move(task);
    pending.posted_from = from_here;
    if (delay.is_positive())
      pending.delayed_run_time = TimeTicks::Now() + delay;
    AutoLock lock(lock_);
    if (!loop_)
      return false;
    loop_->AddToIncomingQueueLocked(std::move(pending));
    return true;
  }

  bool RunsTasksInCurrentSequence() const override {
    return GetCurrentThreadId() == thread_id_;
  }

  void WillDestroyCurrentMessageLoop() {
    AutoLock lock(lock_);
    loop_ = nullptr;
  }

  Lock& lock() { return lock_; }

 private:
  ~MessageLoopTaskRunner() override = default;

  Lock lock_;
  MessageLoop* loop_;
  const DWORD thread_id_;
};

}  // namespace internal

MessageLoop::MessageLoop(Type type)
    : type_(type),
      pump_(CreatePump(type)),
      incoming_runner_(MakeRefCounted<internal::MessageLoopTaskRunner>(this)),
      task_runner_(incoming_runner_) {
  CHECK(!g_current_loop) << "This thread already has a MessageLoop";
  g_current_loop = this;
  current_default_handle_ =
      std::make_unique<SingleThreadTaskRunner::CurrentDefaultHandle>(task_runner_);
}

MessageLoop::~MessageLoop() {
  DCHECK(!run_loop_) << "MessageLoop destroyed while running";
  incoming_runner_->WillDestroyCurrentMessageLoop();
  DeletePendingTasks();
  current_default_handle_.reset();
  g_current_loop = nullptr;
}

MessageLoop* MessageLoop::current() {
  return g_current_loop;
}

bool MessageLoop::IsNested() const {
  return run_loop_ && run_loop_->run_depth_ > 1;
}

bool MessageLoop::RunsLater(const PendingTask& a, const PendingTask& b) {
  if (a.delayed_run_time != b.delayed_run_time)
    return a.delayed_run_time > b.delayed_run_time;
  return a.sequence_num > b.sequence_num;
}

void MessageLoop::AddToIncomingQueueLocked(PendingTask task) {
  task.sequence_num = next_sequence_num_++;
  incoming_queue_.push_back(std::move(task));
  pump_->ScheduleWork();
}

void MessageLoop::ReloadWorkQueue() {
  std::vector<PendingTask> incoming;
  {
    AutoLock lock(incoming_runner_->lock());
    incoming.swap(incoming_queue_);
  }
  for (PendingTask& task : incoming)
    work_queue_.push_back(std::move(task));
}

bool MessageLoop::DoWork() {
  for (;;) {
    // Reload whenever the queue runs dry, also after moving delayed tasks
    // out of it: a task posted meanwhile may have had its wake-up consumed.
    if (work_queue_.empty()) {
      ReloadWorkQueue();
      if (work_queue_.empty())
        return false;
    }
    PendingTask task = std::move(work_queue_.front());
    work_queue_.pop_front();
    if (!task.delayed_run_time.is_null()) {
      const TimeTicks run_time = task.delayed_run_time;
      delayed_work_queue_.push_back(std::move(task));
      std::push_heap(delayed_work_queue_.begin(), delayed_work_queue_.end(), &RunsLater);
      // The pump learns of a new earliest due time at once: the task about to
      // run may hand the thread to a foreign modal loop.
      if (delayed_work_queue_.front().delayed_run_time == run_time)
        pump_->ScheduleDelayedWork(run_time);
      continue;
    }
    RunTask(&task);
    return true;
  }
}

bool MessageLoop::DoDelayedWork(TimeTicks* next_delayed_work_time) {
  if (delayed_work_queue_.empty()) {
    *next_delayed_work_time = TimeTicks();
    return false;
  }
  TimeTicks next_run_time = delayed_work_queue_.front().delayed_run_time;
  if (next_run_time > TimeTicks::Now()) {
    *next_delayed_work_time = next_run_time;
    return false;
  }
  std::pop_heap(delayed_work_queue_.begin(), delayed_work_queue_.end(), &RunsLater);
  PendingTask task = std::move(delayed_work_queue_.back());
  delayed_work_queue_.pop_back();
  *next_delayed_work_time =
      delayed_work_queue_.empty() ? TimeTicks() : delayed_work_queue_.front().delayed_run_time;
  RunTask(&task);
  return true;
}

bool MessageLoop::DoIdleWork() {
  if (run_loop_ && run_loop_->quit_when_idle_received_)
    pump_->Quit();
  return false;
}

void MessageLoop::RunTask(PendingTask* pending_task) {
  ++nesting_depth_;
  std::move(pending_task->task).Run();
  --nesting_depth_;
}

void MessageLoop::DeletePendingTasks() {
  // Destroying a task may destroy objects that post (and are refused) or
  // that delete other tasks' state; take each queue out before clearing it.
  std::deque<PendingTask> work;
  work.swap(work_queue_);
  work.clear();
  std::vector<PendingTask> delayed;
  delayed.swap(delayed_work_queue_);
  delayed.clear();
  std::vector<PendingTask> incoming;
  {
    AutoLock lock(incoming_runner_->lock());
    incoming.swap(incoming_queue_);
  }
  incoming.clear();
}

}  // namespace base
