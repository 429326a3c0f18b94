#include "base/message_loop/message_pump_default.h"

namespace base {

MessagePumpDefault::MessagePumpDefault()
    : event_(WaitableEvent::ResetPolicy::AUTOMATIC, WaitableEvent::InitialState::NOT_SIGNALED) {}

MessagePumpDefault::~MessagePumpDefault() = default;

void MessagePumpDefault::WaitForWork() {
  // The event is auto-reset, so a ScheduleWork that came while we worked is
  // still pending here and the wait returns at once.
  unsigned long delay = GetCurrentDelay();
  if (event_.TimedWait(delay == INFINITE ? TimeDelta::Max() : TimeDelta::FromMilliseconds(delay)))
    work_scheduled_ = false;
}

void MessagePumpDefault::ScheduleWork() {
  if (work_scheduled_.exchange(true))
    return;
  event_.Signal();
}

}  // namespace base
