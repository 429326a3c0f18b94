#include "base/time/time.h"

#include <cmath>

namespace base {

namespace {

int64_t SaturatedFromDouble(double value) {
  if (std::isnan(value))
    return 0;
  if (value >= 9.2e18)
    return std::numeric_limits<int64_t>::max();
  if (value <= -9.2e18)
    return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(value);
}

// 100-ns FILETIME units per microsecond.
constexpr int64_t kFileTimePerMicrosecond = 10;

}  // namespace

TimeDelta TimeDelta::FromSecondsD(double seconds) {
  return TimeDelta(SaturatedFromDouble(seconds * kMicrosecondsPerSecond));
}

TimeDelta TimeDelta::FromMillisecondsD(double ms) {
  return TimeDelta(SaturatedFromDouble(ms * kMicrosecondsPerMillisecond));
}

int TimeDelta::InDays() const {
  if (is_max())
    return std::numeric_limits<int>::max();
  if (is_min())
    return std::numeric_limits<int>::min();
  return static_cast<int>(delta_ / kMicrosecondsPerDay);
}

int TimeDelta::InHours() const {
  if (is_max())
    return std::numeric_limits<int>::max();
  if (is_min())
    return std::numeric_limits<int>::min();
  return static_cast<int>(delta_ / kMicrosecondsPerHour);
}

int TimeDelta::InMinutes() const {
  if (is_max())
    return std::numeric_limits<int>::max();
  if (is_min())
    return std::numeric_limits<int>::min();
  return static_cast<int>(delta_ / kMicrosecondsPerMinute);
}

int64_t TimeDelta::InSeconds() const {
  if (is_max() || is_min())
    return delta_;
  return delta_ / kMicrosecondsPerSecond;
}

double TimeDelta::InSecondsF() const {
  return static_cast<double>(delta_) / kMicrosecondsPerSecond;
}

int64_t TimeDelta::InMilliseconds() const {
  if (is_max() || is_min())
    return delta_;
  return delta_ / kMicrosecondsPerMillisecond;
}

int64_t TimeDelta::InMillisecondsRoundedUp() const {
  if (is_max() || is_min())
    return delta_;
  int64_t result = delta_ / kMicrosecondsPerMillisecond;
  if (delta_ > 0 && result * kMicrosecondsPerMillisecond != delta_)
    ++result;
  return result;
}

double TimeDelta::InMillisecondsF() const {
  return static_cast<double>(delta_) / kMicrosecondsPerMillisecond;
}

std::ostream& operator<<(std::ostream& os, TimeDelta delta) {
  return os << delta.InSecondsF() << " s";
}

TimeTicks TimeTicks::Now() {
  static const int64_t frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  // Split to avoid overflowing counter * 1e6.
  int64_t whole = counter.QuadPart / frequency;
  int64_t rest = counter.QuadPart % frequency;
  int64_t us = whole * TimeDelta::kMicrosecondsPerSecond +
               rest * TimeDelta::kMicrosecondsPerSecond / frequency;
  // Ticks are never null.
  return TimeTicks(us + 1);
}

Time Time::Now() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  return FromFileTime(ft);
}

Time Time::FromFileTime(FILETIME ft) {
  ULARGE_INTEGER value;
  value.LowPart = ft.dwLowDateTime;
  value.HighPart = ft.dwHighDateTime;
  return Time(static_cast<int64_t>(value.QuadPart / kFileTimePerMicrosecond));
}

FILETIME Time::ToFileTime() const {
  ULARGE_INTEGER value;
  value.QuadPart = us_ <= 0 ? 0 : static_cast<uint64_t>(us_) * kFileTimePerMicrosecond;
  if (is_max())
    value.QuadPart = 0x7FFFFFFFFFFFFFFFull;
  FILETIME ft;
  ft.dwLowDateTime = value.LowPart;
  ft.dwHighDateTime = value.HighPart;
  return ft;
}

Time Time::FromTimeT(time_t tt) {
  if (tt == 0)
    return Time();
  return UnixEpoch() + TimeDelta::FromSeconds(tt);
}

time_t Time::ToTimeT() const {
  if (is_null())
    return 0;
  return static_cast<time_t>((*this - UnixEpoch()).InSeconds());
}

Time Time::FromDoubleT(double dt) {
  if (dt == 0 || std::isnan(dt))
    return Time();
  return UnixEpoch() + TimeDelta::FromSecondsD(dt);
}

double Time::ToDoubleT() const {
  if (is_null())
    return 0;
  return (*this - UnixEpoch()).InSecondsF();
}

bool Time::Exploded::HasValidValues() const {
  return month >= 1 && month <= 12 && day_of_month >= 1 && day_of_month <= 31 && hour >= 0 &&
         hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59 &&
         millisecond >= 0 && millisecond <= 999 && year >= 1601 && year <= 30827;
}

bool Time::FromLocalExploded(const Exploded& exploded, Time* time) {
  return FromExploded(true, exploded, time);
}

bool Time::FromUTCExploded(const Exploded& exploded, Time* time) {
  return FromExploded(false, exploded, time);
}

bool Time::FromExploded(bool is_local, const Exploded& exploded, Time* time) {
  *time = Time();
  if (!exploded.HasValidValues())
    return false;
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(exploded.year);
  st.wMonth = static_cast<WORD>(exploded.month);
  st.wDay = static_cast<WORD>(exploded.day_of_month);
  st.wHour = static_cast<WORD>(exploded.hour);
  st.wMinute = static_cast<WORD>(exploded.minute);
  st.wSecond = static_cast<WORD>(exploded.second);
  st.wMilliseconds = static_cast<WORD>(exploded.millisecond);
  FILETIME ft;
  // SystemTimeToFileTime refuses impossible dates such as February 30.
  if (!SystemTimeToFileTime(&st, &ft))
    return false;
  if (is_local) {
    FILETIME utc;
    if (!LocalFileTimeToFileTime(&ft, &utc))
      return false;
    ft = utc;
  }
  *time = FromFileTime(ft);
  return true;
}

void Time::LocalExplode(Exploded* exploded) const {
  Explode(true, exploded);
}

void Time::UTCExplode(Exploded* exploded) const {
  Explode(false, exploded);
}

void Time::Explode(bool is_local, Exploded* exploded) const {
  *exploded = Exploded();
  FILETIME ft = ToFileTime();
  if (is_local) {
    FILETIME local;
    if (!FileTimeToLocalFileTime(&ft, &local))
      return;
    ft = local;
  }
  SYSTEMTIME st;
  if (!FileTimeToSystemTime(&ft, &st))
    return;
  exploded->year = st.wYear;
  exploded->month = st.wMonth;
  exploded->day_of_week = st.wDayOfWeek;
  exploded->day_of_month = st.wDay;
  exploded->hour = st.wHour;
  exploded->minute = st.wMinute;
  exploded->second = st.wSecond;
  exploded->millisecond = st.wMilliseconds;
}

Time Time::LocalMidnight() const {
  Exploded exploded;
  LocalExplode(&exploded);
  exploded.hour = 0;
  exploded.minute = 0;
  exploded.second = 0;
  exploded.millisecond = 0;
  Time midnight;
  if (FromLocalExploded(exploded, &midnight))
    return midnight;
  return *this;
}

}  // namespace base
