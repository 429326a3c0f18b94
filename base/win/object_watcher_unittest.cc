#include "base/win/object_watcher.h"

#include "base/functional/bind.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/synchronization/waitable_event.h"
#include "base/threading/thread.h"
#include "gtest/gtest.h"

namespace base::win {
namespace {

class QuittingDelegate : public ObjectWatcher::Delegate {
 public:
  explicit QuittingDelegate(RunLoop* run_loop) : run_loop_(run_loop) {}
  void OnObjectSignaled(HANDLE object) override {
    signaled_object_ = object;
    thread_ = GetCurrentThreadId();
    ++count_;
    if (run_loop_)
      run_loop_->Quit();
  }
  RunLoop* run_loop_;
  HANDLE signaled_object_ = nullptr;
  DWORD thread_ = 0;
  int count_ = 0;
};

TEST(ObjectWatcherTest, ReportsAnEventSignaledFromAnotherThreadOnTheWatchingThread) {
  MessageLoop loop;
  WaitableEvent event(WaitableEvent::ResetPolicy::AUTOMATIC);
  RunLoop run_loop;
  QuittingDelegate delegate(&run_loop);
  ObjectWatcher watcher;
  ASSERT_TRUE(watcher.StartWatchingOnce(event.handle(), &delegate));
  EXPECT_TRUE(watcher.IsWatching());
  EXPECT_EQ(event.handle(), watcher.GetWatchedObject());

  Thread signaler("Signaler");
  ASSERT_TRUE(signaler.Start());
  signaler.task_runner()->PostTask(FROM_HERE,
                                   BindOnce(&WaitableEvent::Signal, Unretained(&event)));
  run_loop.Run();
  EXPECT_EQ(event.handle(), delegate.signaled_object_);
  EXPECT_EQ(GetCurrentThreadId(), delegate.thread_);
  EXPECT_FALSE(watcher.IsWatching());  // once
}

TEST(ObjectWatcherTest, MultipleTimesAndStopCancelsAPendingNotification) {
  MessageLoop loop;
  WaitableEvent event(WaitableEvent::ResetPolicy::AUTOMATIC);
  QuittingDelegate delegate(nullptr);
  ObjectWatcher watcher;
  ASSERT_TRUE(watcher.StartWatchingMultipleTimes(event.handle(), &delegate));
  EXPECT_FALSE(watcher.StartWatchingOnce(event.handle(), &delegate));
  for (int i = 1; i <= 2; ++i) {
    RunLoop run_loop;
    delegate.run_loop_ = &run_loop;
    event.Signal();
    run_loop.Run();
    EXPECT_EQ(i, delegate.count_);
    EXPECT_TRUE(watcher.IsWatching());
  }
  // Signaled, and the notification posted, but not yet delivered.
  delegate.run_loop_ = nullptr;
  event.Signal();
  Sleep(50);
  EXPECT_TRUE(watcher.StopWatching());
  EXPECT_FALSE(watcher.StopWatching());
  RunLoop().RunUntilIdle();
  EXPECT_EQ(2, delegate.count_);
}

}  // namespace
}  // namespace base::win
