#include "base/threading/thread.h"

#include <windows.h>

#include <memory>
#include <vector>

#include "base/functional/bind.h"
#include "base/synchronization/waitable_event.h"
#include "base/win/scoped_handle.h"
#include "gtest/gtest.h"

namespace base {
namespace {

void Record(std::vector<int>* order, int value) {
  order->push_back(value);
}

TEST(ThreadTest, StopRunsPendingImmediateTasksAndRefusesLaterOnes) {
  Thread thread("StopTest");
  ASSERT_TRUE(thread.StartWithOptions(Thread::Options(MessageLoop::TYPE_IO)));
  EXPECT_TRUE(thread.IsRunning());
  auto runner = thread.task_runner();
  std::vector<int> order;
  WaitableEvent gate;
  runner->PostTask(FROM_HERE, BindOnce(&WaitableEvent::Wait, Unretained(&gate)));
  for (int i = 0; i < 3; ++i)
    runner->PostTask(FROM_HERE, BindOnce(&Record, &order, i));
  runner->PostDelayedTask(FROM_HERE, BindOnce(&Record, &order, 99), TimeDelta::FromSeconds(60));
  gate.Signal();
  thread.Stop();
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ((std::vector<int>{0, 1, 2}), order);
  EXPECT_FALSE(runner->PostTask(FROM_HERE, BindOnce(&Record, &order, 100)));
  EXPECT_EQ(nullptr, thread.task_runner());
}

// Waits until the thread's loop ended by itself (a UI loop quits on WM_QUIT)
// and its thread is gone.
void QuitUiLoopAndWaitForTheThreadToEnd(Thread* thread) {
  win::ScopedHandle handle(OpenThread(SYNCHRONIZE, FALSE, thread->GetThreadId()));
  ASSERT_TRUE(handle.IsValid());
  ASSERT_TRUE(thread->task_runner()->PostTask(FROM_HERE, BindOnce([] { PostQuitMessage(0); })));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(handle.Get(), 60000));
}

TEST(ThreadTest, StopAfterTheLoopEndedByItself) {
  Thread thread("EndedByItself");
  ASSERT_TRUE(thread.StartWithOptions(Thread::Options(MessageLoop::TYPE_UI)));
  QuitUiLoopAndWaitForTheThreadToEnd(&thread);
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(nullptr, thread.task_runner());
  thread.Stop();
  EXPECT_FALSE(thread.IsRunning());
  // It can run again.
  ASSERT_TRUE(thread.Start());
  WaitableEvent ran;
  ASSERT_TRUE(thread.task_runner()->PostTask(FROM_HERE,
                                             BindOnce(&WaitableEvent::Signal, Unretained(&ran))));
  ran.Wait();
}

TEST(ThreadTest, DestructorAfterTheLoopEndedByItself) {
  auto thread = std::make_unique<Thread>("DestroyedAfterEnd");
  ASSERT_TRUE(thread->StartWithOptions(Thread::Options(MessageLoop::TYPE_UI)));
  QuitUiLoopAndWaitForTheThreadToEnd(thread.get());
  thread.reset();
}

}  // namespace
}  // namespace base
