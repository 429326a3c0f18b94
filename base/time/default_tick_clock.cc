#include "base/time/default_tick_clock.h"

namespace base {

DefaultTickClock* DefaultTickClock::GetInstance() {
  static DefaultTickClock* const instance = new DefaultTickClock();
  return instance;
}

TimeTicks DefaultTickClock::NowTicks() const {
  return TimeTicks::Now();
}

}  // namespace base
