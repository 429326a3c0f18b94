// The pump of a TYPE_DEFAULT loop: sleeps on an auto-reset event, with a
// time-out for the next delayed task; ScheduleWork signals the event.
//
// Only the first ScheduleWork after the pump last woke signals: until the pump
// wakes it will look at its queue anyway, so later calls have nothing to add.
// A loop that posts its own next task, or a thread that posts a burst, thus
// costs one signal instead of one per task (each is a call into the kernel).

#ifndef BASE_MESSAGE_LOOP_MESSAGE_PUMP_DEFAULT_H_
#define BASE_MESSAGE_LOOP_MESSAGE_PUMP_DEFAULT_H_

#include <atomic>

#include "base/message_loop/message_pump.h"
#include "base/synchronization/waitable_event.h"

namespace base {

class MessagePumpDefault : public MessagePump {
 public:
  MessagePumpDefault();
  ~MessagePumpDefault() override;

  void ScheduleWork() override;

 private:
  void WaitForWork() override;

  WaitableEvent event_;
  // Set by the ScheduleWork that signals, cleared when a wait consumes that
  // signal: the pass that follows sees every task posted before the clear.
  std::atomic<bool> work_scheduled_{false};
};

}  // namespace base

#endif  // BASE_MESSAGE_LOOP_MESSAGE_PUMP_DEFAULT_H_
