// The wall-clock seam. Code that reads the current time takes a Clock* so that
// tests can substitute a clock of their own; production passes
// base::DefaultClock::GetInstance(), which is base::Time::Now().

#ifndef BASE_TIME_CLOCK_H_
#define BASE_TIME_CLOCK_H_

#include "base/time/time.h"

namespace base {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual Time Now() const = 0;
};

}  // namespace base

#endif  // BASE_TIME_CLOCK_H_
