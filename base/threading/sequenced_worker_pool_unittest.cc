#include "base/threading/sequenced_worker_pool.h"

#include <atomic>
#include <vector>

#include "base/functional/bind.h"
#include "base/synchronization/lock.h"
#include "base/synchronization/waitable_event.h"
#include "base/threading/platform_thread.h"
#include "gtest/gtest.h"

namespace base {
namespace {

// Records task order and whether two tasks of one sequence ever overlapped.
struct SequenceProbe {
  Lock lock;
  std::vector<int> order;
  std::atomic<int> running{0};
  std::atomic<bool> overlapped{false};
  std::atomic<bool> runner_matches{true};
};

void ProbeTask(SequenceProbe* probe, SequencedTaskRunner* runner, int value) {
  if (probe->running.fetch_add(1) != 0)
    probe->overlapped = true;
  if (!runner->RunsTasksInCurrentSequence() || !SequencedTaskRunner::HasCurrentDefault())
    probe->runner_matches = false;
  PlatformThread::YieldCurrentThread();
  {
    AutoLock lock(probe->lock);
    probe->order.push_back(value);
  }
  probe->running.fetch_sub(1);
}

TEST(SequencedWorkerPoolTest, SequencesRunInOrderAndNeverConcurrently) {
  auto pool = MakeRefCounted<SequencedWorkerPool>(3, "PoolTest");
  SequenceProbe probes[2];
  scoped_refptr<SequencedTaskRunner> runners[2] = {
      pool->GetSequencedTaskRunner(pool->GetSequenceToken()),
      pool->GetSequencedTaskRunner(pool->GetNamedSequenceToken("second"))};
  EXPECT_TRUE(pool->GetNamedSequenceToken("second").Equals(pool->GetNamedSequenceToken("second")));
  EXPECT_FALSE(pool->GetSequenceToken().Equals(pool->GetSequenceToken()));
  std::atomic<int> unsequenced{0};
  for (int i = 0; i < 50; ++i) {
    for (int s = 0; s < 2; ++s) {
      ASSERT_TRUE(runners[s]->PostTask(
          FROM_HERE, BindOnce(&ProbeTask, &probes[s], Unretained(runners[s].get()), i)));
    }
    pool->PostWorkerTask(FROM_HERE, BindOnce([](std::atomic<int>* n) { ++*n; }, &unsequenced));
  }
  EXPECT_FALSE(runners[0]->RunsTasksInCurrentSequence());
  pool->Shutdown();
  EXPECT_EQ(50, unsequenced.load());
  for (auto& probe : probes) {
    ASSERT_EQ(50u, probe.order.size());
    for (int i = 0; i < 50; ++i)
      EXPECT_EQ(i, probe.order[i]);
    EXPECT_FALSE(probe.overlapped);
    EXPECT_TRUE(probe.runner_matches);
  }
}

TEST(SequencedWorkerPoolTest, ShutdownRunsBlockingTasksAndDropsSkippedOnes) {
  auto pool = MakeRefCounted<SequencedWorkerPool>(1, "ShutdownTest");
  auto token = pool->GetSequenceToken();
  auto blocking = pool->GetSequencedTaskRunnerWithShutdownBehavior(
      token, SequencedWorkerPool::BLOCK_SHUTDOWN);
  auto skipping = pool->GetSequencedTaskRunnerWithShutdownBehavior(
      token, SequencedWorkerPool::SKIP_ON_SHUTDOWN);
  WaitableEvent started;
  WaitableEvent release;
  std::vector<int> order;  // one worker: no lock needed
  blocking->PostTask(FROM_HERE, BindOnce(
                                    [](WaitableEvent* started, WaitableEvent* release) {
                                      started->Signal();
                                      release->Wait();
                                    },
                                    &started, &release));
  started.Wait();
  blocking->PostTask(FROM_HERE, BindOnce([](std::vector<int>* o) { o->push_back(1); }, &order));
  skipping->PostTask(FROM_HERE, BindOnce([](std::vector<int>* o) { o->push_back(2); }, &order));
  // A blocking task that posts more blocking work during shutdown.
  blocking->PostTask(
      FROM_HERE, BindOnce(
                     [](std::vector<int>* o) {
                       o->push_back(3);
                       EXPECT_TRUE(SequencedTaskRunner::GetCurrentDefault()->PostTask(
                           FROM_HERE, BindOnce([](std::vector<int>* o) { o->push_back(4); }, o)));
                     },
                     &order));

  // Release the first task only once Shutdown has begun.
  std::atomic<bool> shutdown_returned{false};
  HANDLE helper = CreateThread(
      nullptr, 0,
      [](void* p) -> DWORD {
        auto* args = static_cast<std::pair<SequencedWorkerPool*, std::atomic<bool>*>*>(p);
        args->first->Shutdown();
        *args->second = true;
        return 0;
      },
      new std::pair<SequencedWorkerPool*, std::atomic<bool>*>(pool.get(), &shutdown_returned), 0,
      nullptr);
  ASSERT_TRUE(helper);
  while (!pool->IsShutdownInProgress())
    PlatformThread::YieldCurrentThread();
  EXPECT_FALSE(shutdown_returned);
  EXPECT_FALSE(blocking->PostTask(FROM_HERE, BindOnce([] {})));
  release.Signal();
  WaitForSingleObject(helper, INFINITE);
  CloseHandle(helper);
  EXPECT_TRUE(shutdown_returned);
  EXPECT_EQ((std::vector<int>{1, 3, 4}), order);
  // The runners and the test hold references besides the pool's own.
  EXPECT_FALSE(pool->HasOneRef());
  blocking = nullptr;
  skipping = nullptr;
  EXPECT_TRUE(pool->HasOneRef());
}

TEST(SequencedWorkerPoolTest, DelayedTasksWaitForTheirTime) {
  auto pool = MakeRefCounted<SequencedWorkerPool>(2, "DelayTest");
  WaitableEvent done;
  TimeTicks start = TimeTicks::Now();
  TimeTicks ran;
  std::string name;
  pool->PostDelayedTask(FROM_HERE, BindOnce(
                                       [](TimeTicks* ran, std::string* name, WaitableEvent* done) {
                                         *ran = TimeTicks::Now();
                                         *name = PlatformThread::GetName();
                                         done->Signal();
                                       },
                                       &ran, &name, &done),
                        TimeDelta::FromMilliseconds(30));
  ASSERT_TRUE(done.TimedWait(TimeDelta::FromSeconds(10)));
  EXPECT_GE(ran - start, TimeDelta::FromMilliseconds(30));
  EXPECT_EQ("DelayTest1", name);  // workers are the prefix and their number
  pool->Shutdown();
}

}  // namespace
}  // namespace base
