#include "base/task/cancelable_task_tracker.h"

#include <vector>

#include "base/functional/bind.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/synchronization/waitable_event.h"
#include "base/threading/thread.h"
#include "gtest/gtest.h"

namespace base {
namespace {

void Record(std::vector<int>* order, int value) {
  order->push_back(value);
}

TEST(CancelableTaskTrackerTest, CanceledTasksAndRepliesDoNotRun) {
  MessageLoop loop;
  Thread worker("TrackerWorker");
  ASSERT_TRUE(worker.Start());
  auto runner = worker.task_runner();
  CancelableTaskTracker tracker;
  std::vector<int> order;  // touched by the worker only before the gate opens
  WaitableEvent gate;
  WaitableEvent blocked;
  runner->PostTask(FROM_HERE, BindOnce(
                                  [](WaitableEvent* blocked, WaitableEvent* gate) {
                                    blocked->Signal();
                                    gate->Wait();
                                  },
                                  &blocked, &gate));
  blocked.Wait();
  std::vector<int> replies;
  CancelableTaskTracker::TaskId canceled = tracker.PostTaskAndReply(
      runner.get(), FROM_HERE, BindOnce(&Record, &order, 1), BindOnce(&Record, &replies, 1));
  CancelableTaskTracker::TaskId kept = tracker.PostTaskAndReply(
      runner.get(), FROM_HERE, BindOnce(&Record, &order, 2), BindOnce(&Record, &replies, 2));
  EXPECT_NE(canceled, kept);
  EXPECT_NE(CancelableTaskTracker::kBadTaskId, kept);
  EXPECT_TRUE(tracker.HasTrackedTasks());
  tracker.TryCancel(canceled);
  gate.Signal();
  // The reply of |kept| is queued behind this flush on the way back.
  WaitableEvent flushed;
  runner->PostTask(FROM_HERE, BindOnce(&WaitableEvent::Signal, Unretained(&flushed)));
  flushed.Wait();
  RunLoop().RunUntilIdle();
  EXPECT_EQ((std::vector<int>{2}), order);
  EXPECT_EQ((std::vector<int>{2}), replies);
  EXPECT_FALSE(tracker.HasTrackedTasks());
}

TEST(CancelableTaskTrackerTest, ReplyOfATaskThatRanIsCanceledAndDestructionCancelsAll) {
  MessageLoop loop;
  Thread worker("TrackerWorker2");
  ASSERT_TRUE(worker.Start());
  std::vector<int> replies;
  {
    CancelableTaskTracker tracker;
    WaitableEvent ran;
    tracker.PostTaskAndReply(worker.task_runner().get(), FROM_HERE,
                             BindOnce(&WaitableEvent::Signal, Unretained(&ran)),
                             BindOnce(&Record, &replies, 1));
    ran.Wait();
    tracker.TryCancelAll();
    EXPECT_FALSE(tracker.HasTrackedTasks());
    tracker.PostTaskAndReply(worker.task_runner().get(), FROM_HERE, BindOnce([] {}),
                             BindOnce(&Record, &replies, 2));
  }
  worker.Stop();
  RunLoop().RunUntilIdle();
  EXPECT_TRUE(replies.empty());
}

}  // namespace
}  // namespace base
