#include "base/time/default_clock.h"

namespace base {

DefaultClock* DefaultClock::GetInstance() {
  static DefaultClock* const instance = new DefaultClock();
  return instance;
}

Time DefaultClock::Now() const {
  return Time::Now();
}

}  // namespace base
