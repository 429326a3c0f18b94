// The real monotonic clock behind the base::TickClock seam.

#ifndef BASE_TIME_DEFAULT_TICK_CLOCK_H_
#define BASE_TIME_DEFAULT_TICK_CLOCK_H_

#include "base/time/tick_clock.h"

namespace base {

class DefaultTickClock : public TickClock {
 public:
  // A process-wide instance that is never destroyed.
  static DefaultTickClock* GetInstance();
  TimeTicks NowTicks() const override;
};

}  // namespace base

#endif  // BASE_TIME_DEFAULT_TICK_CLOCK_H_
