// A condition variable bound to one base::Lock. Wait and TimedWait must be
// called with the lock held; they release it while waiting and hold it again
// on return. Wake-ups may be spurious: callers re-check their condition.

#ifndef BASE_SYNCHRONIZATION_CONDITION_VARIABLE_H_
#define BASE_SYNCHRONIZATION_CONDITION_VARIABLE_H_

#include <windows.h>

#include "base/synchronization/lock.h"
#include "base/time/time.h"

namespace base {

class ConditionVariable {
 public:
  explicit ConditionVariable(Lock* user_lock);
  ConditionVariable(const ConditionVariable&) = delete;
  ConditionVariable& operator=(const ConditionVariable&) = delete;
  ~ConditionVariable();

  void Wait();
  // Returns after at most about |max_time| (TimeDelta::Max() waits forever).
  void TimedWait(TimeDelta max_time);
  void Broadcast();
  void Signal();

 private:
  CONDITION_VARIABLE cv_ = CONDITION_VARIABLE_INIT;
  Lock* const user_lock_;
};

}  // namespace base

#endif  // BASE_SYNCHRONIZATION_CONDITION_VARIABLE_H_
