#include "base/threading/sequenced_worker_pool.h"

#include <windows.h>

#include <map>
#include <set>
#include <utility>
#include <vector>

#include "base/logging.h"
#include "base/synchronization/condition_variable.h"
#include "base/synchronization/lock.h"
#include "base/threading/platform_thread.h"

namespace base {

namespace {

// What the calling worker thread is running.
thread_local const SequencedWorkerPool::Inner* g_worker_pool = nullptr;
thread_local int g_running_sequence = 0;
thread_local SequencedWorkerPool::WorkerShutdown g_running_behavior =
    SequencedWorkerPool::CONTINUE_ON_SHUTDOWN;

}  // namespace

class SequencedWorkerPool::Inner : public RefCountedThreadSafe<Inner> {
 public:
  Inner(size_t max_threads, const std::string& thread_name_prefix)
      : max_threads_(max_threads ? max_threads : 1),
        thread_name_prefix_(thread_name_prefix),
        work_cv_(&lock_),
        shutdown_cv_(&lock_) {}

  int NewSequenceId() {
    AutoLock lock(lock_);
    return next_sequence_id_++;
  }

  int NamedSequenceId(const std::string& name) {
    AutoLock lock(lock_);
    auto [it, inserted] = named_sequences_.emplace(name, next_sequence_id_);
    if (inserted)
      ++next_sequence_id_;
    return it->second;
  }

  bool PostTask(int sequence_id, WorkerShutdown behavior, const Location& from_here,
                OnceClosure task, TimeDelta delay) {
    // Nothing delayed may hold up shutdown.
    if (delay.is_positive() && behavior == BLOCK_SHUTDOWN)
      behavior = SKIP_ON_SHUTDOWN;
    PendingTask pending{sequence_id, behavior, from_here, std::move(task)};
    TimeTicks run_time = delay.is_positive() ? TimeTicks::Now() + delay : TimeTicks();
    AutoLock lock(lock_);
    if (shutdown_called_) {
      bool from_blocking_task = g_worker_pool == this && g_running_behavior == BLOCK_SHUTDOWN;
      if (!from_blocking_task || behavior != BLOCK_SHUTDOWN) {
        VLOG(1) << "Task from " << from_here.ToString() << " refused: pool shut down";
        return false;
      }
    }
    if (behavior == BLOCK_SHUTDOWN)
      ++block_pending_;
    pending_.emplace(std::make_pair(run_time, next_task_number_++), std::move(pending));
    if (idle_workers_ == 0 && thread_count_ < max_threads_)
      StartWorkerLocked();
    else
      work_cv_.Broadcast();
    return true;
  }

  bool RunsOnWorker() const { return g_worker_pool == this; }
  bool IsRunningSequence(int sequence_id) const {
    return g_worker_pool == this && sequence_id != 0 && g_running_sequence == sequence_id;
  }

  void Shutdown() {
    DCHECK(g_worker_pool != this) << "Shutdown from a task of the pool itself";
    std::vector<PendingTask> dropped;  // destroyed after the lock is released
    AutoLock lock(lock_);
    shutdown_called_ = true;
    for (auto it = pending_.begin(); it != pending_.end();) {
      if (it->second.behavior != BLOCK_SHUTDOWN) {
        dropped.push_back(std::move(it->second));
        it = pending_.erase(it);
      } else {
        ++it;
      }
    }
    work_cv_.Broadcast();
    while (block_pending_ > 0 || blocking_running_ > 0)
      shutdown_cv_.Wait();
  }

  bool IsShutdownInProgress() const {
    AutoLock lock(lock_);
    return shutdown_called_;
  }

  void OnPoolDestroyed() {
    AutoLock lock(lock_);
    pool_destroyed_ = true;
    work_cv_.Broadcast();
  }

 private:
  friend class RefCountedThreadSafe<Inner>;
  ~Inner() = default;

  struct PendingTask {
    int sequence_id;
    WorkerShutdown behavior;
    Location from_here;
    OnceClosure task;
  };
  // Keyed by (due time, posting number): immediate tasks have a null time.
  using TaskMap = std::map<std::pair<TimeTicks, uint64_t>, PendingTask>;

  void StartWorkerLocked() {
    ++thread_count_;
    int number = ++threads_created_;
    auto* start = new std::pair<Inner*, int>(this, number);
    AddRef();  // released by the worker when it ends
    HANDLE thread = CreateThread(nullptr, 0, &Inner::WorkerMain, start, 0, nullptr);
    if (!thread) {
      PLOG(ERROR) << "Cannot create worker thread " << thread_name_prefix_ << number;
      --thread_count_;
      delete start;
      Release();  // not the last reference: the caller holds one
      return;
    }
    // Workers end on their own; nobody joins them.
    CloseHandle(thread);
  }

  static DWORD WINAPI WorkerMain(void* param) {
    auto* start = static_cast<std::pair<Inner*, int>*>(param);
    Inner* inner = start->first;
    PlatformThread::SetName(inner->thread_name_prefix_ + std::to_string(start->second));
    delete start;
    inner->WorkerLoop();
    inner->Release();
    return 0;
  }

  // The first task that may run now: due, and of a sequence not running.
  // Otherwise sets |*next_due| to the earliest time a delayed task is due.
  TaskMap::iterator FindRunnableLocked(TimeTicks* next_due) {
    TimeTicks now = TimeTicks::Now();
    *next_due = TimeTicks();
    for (auto it = pending_.begin(); it != pending_.end(); ++it) {
      if (it->first.first > now) {
        *next_due = it->first.first;
        break;
      }
      int sequence = it->second.sequence_id;
      if (sequence != 0 && running_sequences_.count(sequence))
        continue;
      return it;
    }
    return pending_.end();
  }

  void WorkerLoop() {
    g_worker_pool = this;
    AutoLock lock(lock_);
    for (;;) {
      TimeTicks next_due;
      auto it = FindRunnableLocked(&next_due);
      if (it != pending_.end()) {
        PendingTask task = std::move(it->second);
        pending_.erase(it);
        if (task.behavior == BLOCK_SHUTDOWN)
          --block_pending_;
        bool blocks_shutdown = task.behavior != CONTINUE_ON_SHUTDOWN;
        if (blocks_shutdown)
          ++blocking_running_;
        if (task.sequence_id)
          running_sequences_.insert(task.sequence_id);
        {
          AutoUnlock unlock(lock_);
          RunTask(&task);
        }
        if (task.sequence_id)
          running_sequences_.erase(task.sequence_id);
        if (blocks_shutdown)
          --blocking_running_;
        shutdown_cv_.Broadcast();
        // The finished sequence may let another worker go on.
        if (!pending_.empty())
          work_cv_.Broadcast();
        continue;
      }
      if ((shutdown_called_ || pool_destroyed_) && pending_.empty())
        break;
      ++idle_workers_;
      if (next_due.is_null())
        work_cv_.Wait();
      else
        work_cv_.TimedWait(next_due - TimeTicks::Now());
      --idle_workers_;
    }
    --thread_count_;
    g_worker_pool = nullptr;
  }

  void RunTask(PendingTask* task);

  mutable Lock lock_;
  const size_t max_threads_;
  const std::string thread_name_prefix_;
  ConditionVariable work_cv_;
  ConditionVariable shutdown_cv_;
  TaskMap pending_;
  std::set<int> running_sequences_;
  std::map<std::string, int> named_sequences_;
  int next_sequence_id_ = 1;
  uint64_t next_task_number_ = 0;
  size_t thread_count_ = 0;
  int threads_created_ = 0;
  size_t idle_workers_ = 0;
  int block_pending_ = 0;
  int blocking_running_ = 0;  // running SKIP_ON_SHUTDOWN and BLOCK_SHUTDOWN tasks
  bool shutdown_called_ = false;
  bool pool_destroyed_ = false;
};

namespace {

class PoolSequencedTaskRunner : public SequencedTaskRunner {
 public:
  PoolSequencedTaskRunner(scoped_refptr<SequencedWorkerPool::Inner> inner,
                          scoped_refptr<SequencedWorkerPool> pool, int sequence_id,
                          SequencedWorkerPool::WorkerShutdown behavior)
      : inner_(std::move(inner)),
        pool_(std::move(pool)),
        sequence_id_(sequence_id),
        behavior_(behavior) {}

  bool PostDelayedTask(const Location& from_here, OnceClosure task, TimeDelta delay) override {
    return inner_->PostTask(sequence_id_, behavior_, from_here, std::move(task), delay);
  }
  bool RunsTasksInCurrentSequence() const override {
    return inner_->IsRunningSequence(sequence_id_);
  }

 private:
  ~PoolSequencedTaskRunner() override = default;

  scoped_refptr<SequencedWorkerPool::Inner> inner_;
  // Runners handed out by the pool keep it alive; the one a running task sees
  // as its current default holds only the inner state.
  scoped_refptr<SequencedWorkerPool> pool_;
  const int sequence_id_;
  const SequencedWorkerPool::WorkerShutdown behavior_;
};

}  // namespace

void SequencedWorkerPool::Inner::RunTask(PendingTask* task) {
  g_running_sequence = task->sequence_id;
  g_running_behavior = task->behavior;
  {
    std::unique_ptr<SequencedTaskRunner::CurrentDefaultHandle> handle;
    if (task->sequence_id) {
      handle = std::make_unique<SequencedTaskRunner::CurrentDefaultHandle>(
          MakeRefCounted<PoolSequencedTaskRunner>(this, nullptr, task->sequence_id,
                                                  task->behavior));
    }
    std::move(task->task).Run();
  }
  g_running_sequence = 0;
  g_running_behavior = CONTINUE_ON_SHUTDOWN;
}

SequencedWorkerPool::SequencedWorkerPool(size_t max_threads,
                                         const std::string& thread_name_prefix)
    : inner_(MakeRefCounted<Inner>(max_threads, thread_name_prefix)) {}

SequencedWorkerPool::~SequencedWorkerPool() {
  inner_->OnPoolDestroyed();
}

SequencedWorkerPool::SequenceToken SequencedWorkerPool::GetSequenceToken() {
  return SequenceToken(inner_->NewSequenceId());
}

SequencedWorkerPool::SequenceToken SequencedWorkerPool::GetNamedSequenceToken(
    const std::string& name) {
  return SequenceToken(inner_->NamedSequenceId(name));
}

scoped_refptr<SequencedTaskRunner> SequencedWorkerPool::GetSequencedTaskRunner(
    SequenceToken token) {
  return GetSequencedTaskRunnerWithShutdownBehavior(token, BLOCK_SHUTDOWN);
}

scoped_refptr<SequencedTaskRunner> SequencedWorkerPool::GetSequencedTaskRunnerWithShutdownBehavior(
    SequenceToken token, WorkerShutdown shutdown_behavior) {
  return MakeRefCounted<PoolSequencedTaskRunner>(inner_, this, token.id(), shutdown_behavior);
}

bool SequencedWorkerPool::PostWorkerTask(const Location& from_here, OnceClosure task) {
  return PostWorkerTaskWithShutdownBehavior(from_here, std::move(task), BLOCK_SHUTDOWN);
}

bool SequencedWorkerPool::PostWorkerTaskWithShutdownBehavior(const Location& from_here,
                                                             OnceClosure task,
                                                             WorkerShutdown shutdown_behavior) {
  return inner_->PostTask(0, shutdown_behavior, from_here, std::move(task), TimeDelta());
}

bool SequencedWorkerPool::PostSequencedWorkerTask(SequenceToken token, const Location& from_here,
                                                  OnceClosure task) {
  return PostSequencedWorkerTaskWithShutdownBehavior(token, from_here, std::move(task),
                                                     BLOCK_SHUTDOWN);
}

bool SequencedWorkerPool::PostSequencedWorkerTaskWithShutdownBehavior(
    SequenceToken token, const Location& from_here, OnceClosure task,
    WorkerShutdown shutdown_behavior) {
  return inner_->PostTask(token.id(), shutdown_behavior, from_here, std::move(task), TimeDelta());
}

bool SequencedWorkerPool::PostDelayedTask(const Location& from_here, OnceClosure task,
                                          TimeDelta delay) {
  return inner_->PostTask(0, SKIP_ON_SHUTDOWN, from_here, std::move(task), delay);
}

bool SequencedWorkerPool::RunsTasksInCurrentSequence() const {
  return inner_->RunsOnWorker();
}

bool SequencedWorkerPool::IsRunningSequenceOnCurrentThread(SequenceToken token) const {
  return inner_->IsRunningSequence(token.id());
}

void SequencedWorkerPool::Shutdown() {
  inner_->Shutdown();
}

bool SequencedWorkerPool::IsShutdownInProgress() const {
  return inner_->IsShutdownInProgress();
}

}  // namespace base
