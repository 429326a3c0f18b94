// Time values.
//   TimeDelta  a signed span in microseconds.
//   TimeTicks  a monotonic instant (QueryPerformanceCounter) for intervals and
//              timeouts; not related to wall-clock time.
//   Time       a wall-clock instant in microseconds since 1601-01-01 UTC (the
//              FILETIME epoch), with conversions to FILETIME, time_t and broken-
//              down local or UTC fields.
// A default-constructed TimeDelta is zero; a default Time or TimeTicks is null.
// Arithmetic saturates at TimeDelta::Max()/Min() rather than overflowing.

#ifndef BASE_TIME_TIME_H_
#define BASE_TIME_TIME_H_

#include <windows.h>

#include <cstdint>
#include <ctime>
#include <limits>
#include <ostream>

namespace base {

class TimeDelta {
 public:
  constexpr TimeDelta() = default;

  static constexpr TimeDelta FromDays(int64_t days) { return Mul(days, kMicrosecondsPerDay); }
  static constexpr TimeDelta FromHours(int64_t hours) { return Mul(hours, kMicrosecondsPerHour); }
  static constexpr TimeDelta FromMinutes(int64_t minutes) {
    return Mul(minutes, kMicrosecondsPerMinute);
  }
  static constexpr TimeDelta FromSeconds(int64_t seconds) {
    return Mul(seconds, kMicrosecondsPerSecond);
  }
  static constexpr TimeDelta FromMilliseconds(int64_t ms) {
    return Mul(ms, kMicrosecondsPerMillisecond);
  }
  static constexpr TimeDelta FromMicroseconds(int64_t us) { return TimeDelta(us); }
  static TimeDelta FromSecondsD(double seconds);
  static TimeDelta FromMillisecondsD(double ms);
  static constexpr TimeDelta FromInternalValue(int64_t us) { return TimeDelta(us); }
  static constexpr TimeDelta Max() { return TimeDelta(std::numeric_limits<int64_t>::max()); }
  static constexpr TimeDelta Min() { return TimeDelta(std::numeric_limits<int64_t>::min()); }

  constexpr bool is_zero() const { return delta_ == 0; }
  constexpr bool is_positive() const { return delta_ > 0; }
  constexpr bool is_negative() const { return delta_ < 0; }
  constexpr bool is_max() const { return *this == Max(); }
  constexpr bool is_min() const { return *this == Min(); }

  // Truncating conversions (toward zero); Max()/Min() give the extreme value.
  int InDays() const;
  int InHours() const;
  int InMinutes() const;
  int64_t InSeconds() const;
  double InSecondsF() const;
  int64_t InMilliseconds() const;
  int64_t InMillisecondsRoundedUp() const;
  double InMillisecondsF() const;
  constexpr int64_t InMicroseconds() const { return delta_; }
  constexpr int64_t ToInternalValue() const { return delta_; }

  constexpr TimeDelta operator+(TimeDelta other) const { return TimeDelta(SatAdd(delta_, other.delta_)); }
  constexpr TimeDelta operator-(TimeDelta other) const { return TimeDelta(SatSub(delta_, other.delta_)); }
  constexpr TimeDelta operator-() const { return TimeDelta(SatSub(0, delta_)); }
  TimeDelta& operator+=(TimeDelta other) { return *this = *this + other; }
  TimeDelta& operator-=(TimeDelta other) { return *this = *this - other; }
  constexpr TimeDelta operator*(int64_t factor) const { return Mul(delta_, factor); }
  constexpr TimeDelta operator/(int64_t divisor) const { return TimeDelta(delta_ / divisor); }
  constexpr int64_t operator/(TimeDelta other) const { return delta_ / other.delta_; }
  constexpr TimeDelta operator%(TimeDelta other) const { return TimeDelta(delta_ % other.delta_); }

  constexpr auto operator<=>(const TimeDelta&) const = default;

  static constexpr int64_t kMicrosecondsPerMillisecond = 1000;
  static constexpr int64_t kMicrosecondsPerSecond = 1000 * kMicrosecondsPerMillisecond;
  static constexpr int64_t kMicrosecondsPerMinute = 60 * kMicrosecondsPerSecond;
  static constexpr int64_t kMicrosecondsPerHour = 60 * kMicrosecondsPerMinute;
  static constexpr int64_t kMicrosecondsPerDay = 24 * kMicrosecondsPerHour;

 private:
  friend class Time;
  friend class TimeTicks;
  constexpr explicit TimeDelta(int64_t us) : delta_(us) {}

  static constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  static constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  static constexpr int64_t SatAdd(int64_t a, int64_t b) {
    int64_t r = 0;
    if (__builtin_add_overflow(a, b, &r))
      return a < 0 ? kMin : kMax;
    return r;
  }
  static constexpr int64_t SatSub(int64_t a, int64_t b) {
    int64_t r = 0;
    if (__builtin_sub_overflow(a, b, &r))
      return a < 0 ? kMin : kMax;
    return r;
  }
  static constexpr TimeDelta Mul(int64_t a, int64_t b) {
    int64_t r = 0;
    if (__builtin_mul_overflow(a, b, &r))
      return TimeDelta((a < 0) != (b < 0) ? kMin : kMax);
    return TimeDelta(r);
  }

  int64_t delta_ = 0;
};

constexpr TimeDelta operator*(int64_t factor, TimeDelta delta) {
  return delta * factor;
}

// A monotonic instant. Differences between TimeTicks are TimeDeltas.
class TimeTicks {
 public:
  constexpr TimeTicks() = default;

  // Never goes backwards; microsecond resolution where the counter allows.
  static TimeTicks Now();
  static constexpr TimeTicks FromInternalValue(int64_t us) { return TimeTicks(us); }
  static constexpr TimeTicks Max() { return TimeTicks(std::numeric_limits<int64_t>::max()); }

  constexpr bool is_null() const { return ticks_ == 0; }
  constexpr bool is_max() const { return *this == Max(); }
  constexpr int64_t ToInternalValue() const { return ticks_; }

  constexpr TimeDelta operator-(TimeTicks other) const {
    return TimeDelta(ticks_) - TimeDelta(other.ticks_);
  }
  constexpr TimeTicks operator+(TimeDelta delta) const {
    return TimeTicks((TimeDelta(ticks_) + delta).delta_);
  }
  constexpr TimeTicks operator-(TimeDelta delta) const {
    return TimeTicks((TimeDelta(ticks_) - delta).delta_);
  }
  TimeTicks& operator+=(TimeDelta delta) { return *this = *this + delta; }
  TimeTicks& operator-=(TimeDelta delta) { return *this = *this - delta; }

  constexpr auto operator<=>(const TimeTicks&) const = default;

 private:
  constexpr explicit TimeTicks(int64_t us) : ticks_(us) {}
  int64_t ticks_ = 0;
};

class Time {
 public:
  // Broken-down fields. month 1-12, day_of_week 0 (Sunday)-6, day_of_month
  // 1-31, hour 0-23, minute 0-59, second 0-59 (60 is refused on input),
  // millisecond 0-999.
  struct Exploded {
    int year = 0;
    int month = 0;
    int day_of_week = 0;
    int day_of_month = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    // The ranges above hold (day_of_week is not checked).
    bool HasValidValues() const;
  };

  constexpr Time() = default;

  static Time Now();
  static constexpr Time UnixEpoch() { return Time(kTimeTToMicrosecondsOffset); }
  static constexpr Time Max() { return Time(std::numeric_limits<int64_t>::max()); }
  static constexpr Time FromInternalValue(int64_t us) { return Time(us); }
  static constexpr Time FromDeltaSinceWindowsEpoch(TimeDelta delta) {
    return Time(delta.InMicroseconds());
  }

  static Time FromFileTime(FILETIME ft);
  FILETIME ToFileTime() const;
  // time_t 0 maps to a null Time (and back), as the system treats 0 as "unset".
  static Time FromTimeT(time_t tt);
  time_t ToTimeT() const;
  // Seconds since the Unix epoch with a fraction; 0 maps to a null Time.
  static Time FromDoubleT(double dt);
  double ToDoubleT() const;

  // False, with |*time| null, when the fields are out of range or name a
  // moment that does not exist.
  [[nodiscard]] static bool FromLocalExploded(const Exploded& exploded, Time* time);
  [[nodiscard]] static bool FromUTCExploded(const Exploded& exploded, Time* time);
  void LocalExplode(Exploded* exploded) const;
  void UTCExplode(Exploded* exploded) const;

  // Midnight of this day in local time.
  Time LocalMidnight() const;

  constexpr bool is_null() const { return us_ == 0; }
  constexpr bool is_max() const { return *this == Max(); }
  constexpr int64_t ToInternalValue() const { return us_; }
  constexpr TimeDelta ToDeltaSinceWindowsEpoch() const { return TimeDelta(us_); }

  constexpr TimeDelta operator-(Time other) const { return TimeDelta(us_) - TimeDelta(other.us_); }
  constexpr Time operator+(TimeDelta delta) const { return Time((TimeDelta(us_) + delta).delta_); }
  constexpr Time operator-(TimeDelta delta) const { return Time((TimeDelta(us_) - delta).delta_); }
  Time& operator+=(TimeDelta delta) { return *this = *this + delta; }
  Time& operator-=(TimeDelta delta) { return *this = *this - delta; }

  constexpr auto operator<=>(const Time&) const = default;

  // Microseconds between 1601-01-01 and 1970-01-01.
  static constexpr int64_t kTimeTToMicrosecondsOffset = INT64_C(11644473600000000);

 private:
  constexpr explicit Time(int64_t us) : us_(us) {}
  static bool FromExploded(bool is_local, const Exploded& exploded, Time* time);
  void Explode(bool is_local, Exploded* exploded) const;

  int64_t us_ = 0;
};

std::ostream& operator<<(std::ostream& os, TimeDelta delta);

}  // namespace base

#endif  // BASE_TIME_TIME_H_
