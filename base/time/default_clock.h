// The real wall clock behind the base::Clock seam.

#ifndef BASE_TIME_DEFAULT_CLOCK_H_
#define BASE_TIME_DEFAULT_CLOCK_H_

#include "base/time/clock.h"

namespace base {

class DefaultClock : public Clock {
 public:
  // A process-wide instance that is never destroyed.
  static DefaultClock* GetInstance();
  Time Now() const override;
};

}  // namespace base

#endif  // BASE_TIME_DEFAULT_CLOCK_H_
