// The monotonic-clock seam: code that measures intervals or timeouts takes a
// TickClock* so that tests can advance time themselves; production passes
// base::DefaultTickClock::GetInstance(), which is base::TimeTicks::Now().

#ifndef BASE_TIME_TICK_CLOCK_H_
#define BASE_TIME_TICK_CLOCK_H_

#include "base/time/time.h"

namespace base {

class TickClock {
 public:
  virtual ~TickClock() = default;
  virtual TimeTicks NowTicks() const = 0;
};

}  // namespace base

#endif  // BASE_TIME_TICK_CLOCK_H_
