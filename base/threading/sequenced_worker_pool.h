// A pool of up to |max_threads| worker threads (named thread_name_prefix
// followed by their number, from 1) running tasks that are either unsequenced
// or belong to a sequence named by a SequenceToken. Tasks of one sequence
// never run concurrently and run in posting order (delayed ones by due time,
// then posting order); unsequenced tasks run in any order on any worker.
// Threads are created as work arrives.
//
// Shutdown behaviour, chosen per task:
//   CONTINUE_ON_SHUTDOWN  dropped if not started; a running one is not waited for.
//   SKIP_ON_SHUTDOWN      dropped if not started; a running one is waited for.
//   BLOCK_SHUTDOWN        always runs; Shutdown waits for it. (Delayed tasks
//                         cannot block shutdown: they are treated as SKIP.)
// Shutdown() blocks the caller until that holds; afterwards posting fails,
// except that a running BLOCK_SHUTDOWN task may post more BLOCK_SHUTDOWN tasks
// while Shutdown waits. Shutdown must not be called from a pool task.
//
// Destroying the pool without Shutdown lets the workers finish every queued
// task in the background. Sequenced task runners hold a reference to the pool.

#ifndef BASE_THREADING_SEQUENCED_WORKER_POOL_H_
#define BASE_THREADING_SEQUENCED_WORKER_POOL_H_

#include <cstddef>
#include <string>

#include "base/functional/callback.h"
#include "base/location.h"
#include "base/memory/ref_counted.h"
#include "base/task/sequenced_task_runner.h"
#include "base/task/task_runner.h"

namespace base {

class SequencedWorkerPool : public TaskRunner {
 public:
  enum WorkerShutdown { CONTINUE_ON_SHUTDOWN, SKIP_ON_SHUTDOWN, BLOCK_SHUTDOWN };

  class SequenceToken {
   public:
    SequenceToken() = default;
    bool Equals(const SequenceToken& other) const { return id_ == other.id_; }
    bool IsValid() const { return id_ != 0; }
    int id() const { return id_; }

   private:
    friend class SequencedWorkerPool;
    explicit SequenceToken(int id) : id_(id) {}
    int id_ = 0;
  };

  class Inner;

  SequencedWorkerPool(size_t max_threads, const std::string& thread_name_prefix);

  // A new sequence, distinct from every other.
  SequenceToken GetSequenceToken();
  // The same token for the same name, for the life of the pool.
  SequenceToken GetNamedSequenceToken(const std::string& name);

  // Runners posting to one sequence; BLOCK_SHUTDOWN unless told otherwise.
  scoped_refptr<SequencedTaskRunner> GetSequencedTaskRunner(SequenceToken token);
  scoped_refptr<SequencedTaskRunner> GetSequencedTaskRunnerWithShutdownBehavior(
      SequenceToken token, WorkerShutdown shutdown_behavior);

  // Unsequenced tasks (BLOCK_SHUTDOWN unless told otherwise).
  bool PostWorkerTask(const Location& from_here, OnceClosure task);
  bool PostWorkerTaskWithShutdownBehavior(const Location& from_here, OnceClosure task,
                                          WorkerShutdown shutdown_behavior);
  bool PostSequencedWorkerTask(SequenceToken token, const Location& from_here, OnceClosure task);
  bool PostSequencedWorkerTaskWithShutdownBehavior(SequenceToken token, const Location& from_here,
                                                   OnceClosure task,
                                                   WorkerShutdown shutdown_behavior);

  // TaskRunner: unsequenced, SKIP_ON_SHUTDOWN.
  bool PostDelayedTask(const Location& from_here, OnceClosure task, TimeDelta delay) override;
  // True on any worker thread of this pool.
  bool RunsTasksInCurrentSequence() const override;
  // True when the calling task runs in |token|'s sequence.
  bool IsRunningSequenceOnCurrentThread(SequenceToken token) const;

  void Shutdown();
  bool IsShutdownInProgress() const;

 private:
  ~SequencedWorkerPool() override;

  scoped_refptr<Inner> inner_;
};

}  // namespace base

#endif  // BASE_THREADING_SEQUENCED_WORKER_POOL_H_
