#include "base/message_loop/message_pump.h"

#include <windows.h>

#include <algorithm>

namespace base {

void MessagePump::Run(Delegate* delegate, MessagePumpDispatcher* dispatcher) {
  RunState state;
  state.delegate = delegate;
  state.dispatcher = dispatcher;
  ScopedRunState scoped_state(this, &state);
  for (;;) {
    bool did_work = DoNativeWork();
    if (state.should_quit)
      break;
    did_work |= delegate->DoWork();
    if (state.should_quit)
      break;
    TimeTicks next_delayed_work_time;
    did_work |= delegate->DoDelayedWork(&next_delayed_work_time);
    ScheduleDelayedWork(next_delayed_work_time);
    if (state.should_quit)
      break;
    if (did_work)
      continue;
    did_work = delegate->DoIdleWork();
    if (state.should_quit)
      break;
    if (did_work)
      continue;
    WaitForWork();
  }
}

void MessagePump::Quit() {
  if (state_)
    state_->should_quit = true;
}

MessagePump::ScopedRunState::ScopedRunState(MessagePump* pump, RunState* state)
    : pump_(pump), previous_(pump->state_) {
  state->run_depth = previous_ ? previous_->run_depth + 1 : 1;
  pump_->state_ = state;
}

MessagePump::ScopedRunState::~ScopedRunState() {
  pump_->state_ = previous_;
}

unsigned long MessagePump::GetCurrentDelay() const {
  if (delayed_work_time_.is_null())
    return INFINITE;
  int64_t ms = (delayed_work_time_ - TimeTicks::Now()).InMillisecondsRoundedUp();
  if (ms <= 0)
    return 0;
  return static_cast<unsigned long>(std::min<int64_t>(ms, INFINITE - 1));
}

}  // namespace base
