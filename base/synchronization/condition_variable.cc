#include "base/synchronization/condition_variable.h"

namespace base {

ConditionVariable::ConditionVariable(Lock* user_lock) : user_lock_(user_lock) {}
ConditionVariable::~ConditionVariable() = default;

void ConditionVariable::Wait() {
  TimedWait(TimeDelta::Max());
}

void ConditionVariable::TimedWait(TimeDelta max_time) {
  DWORD timeout = INFINITE;
  if (!max_time.is_max()) {
    int64_t ms = max_time.InMillisecondsRoundedUp();
    timeout = ms <= 0 ? 0 : static_cast<DWORD>(std::min<int64_t>(ms, INFINITE - 1));
  }
  SleepConditionVariableSRW(&cv_, &user_lock_->srw_lock_, timeout, 0);
}

void ConditionVariable::Broadcast() {
  WakeAllConditionVariable(&cv_);
}

void ConditionVariable::Signal() {
  WakeConditionVariable(&cv_);
}

}  // namespace base
