#include "base/synchronization/waitable_event.h"

#include "base/functional/bind.h"
#include "base/threading/thread.h"
#include "gtest/gtest.h"

namespace base {
namespace {

TEST(WaitableEventTest, AutomaticResetReleasesOneWaitAndTimedWaitTimesOut) {
  WaitableEvent event(WaitableEvent::ResetPolicy::AUTOMATIC);
  TimeTicks start = TimeTicks::Now();
  EXPECT_FALSE(event.TimedWait(TimeDelta::FromMilliseconds(15)));
  EXPECT_GE(TimeTicks::Now() - start, TimeDelta::FromMilliseconds(15));
  event.Signal();
  EXPECT_TRUE(event.IsSignaled());
  EXPECT_FALSE(event.IsSignaled());  // consumed

  WaitableEvent first;
  WaitableEvent second;
  WaitableEvent* events[] = {&first, &second};
  Thread thread("Signaler");
  ASSERT_TRUE(thread.Start());
  thread.task_runner()->PostTask(FROM_HERE, BindOnce(&WaitableEvent::Signal, Unretained(&second)));
  EXPECT_EQ(1u, WaitableEvent::WaitMany(events, 2));
}

TEST(WaitableEventTest, AdoptedEventHandleIsOwned) {
  HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(raw);
  {
    WaitableEvent event{win::ScopedHandle(raw)};
    EXPECT_FALSE(event.IsSignaled());
    event.Signal();
    EXPECT_TRUE(event.TimedWait(TimeDelta()));
    EXPECT_TRUE(event.IsSignaled());  // manual: stays signaled
  }
  DWORD flags = 0;
  EXPECT_FALSE(GetHandleInformation(raw, &flags));  // closed with the event
}

}  // namespace
}  // namespace base
