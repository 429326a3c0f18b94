#include "base/time/time.h"

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(TimeDeltaTest, ConversionsArithmeticAndSaturation) {
  EXPECT_EQ(TimeDelta::FromSeconds(90), TimeDelta::FromMinutes(1) + TimeDelta::FromSeconds(30));
  EXPECT_EQ(1500, TimeDelta::FromMicroseconds(1500000).InMilliseconds());
  EXPECT_EQ(2, TimeDelta::FromMicroseconds(1001).InMillisecondsRoundedUp());
  EXPECT_EQ(-1, TimeDelta::FromMicroseconds(-1500).InMilliseconds());
  EXPECT_EQ(36, TimeDelta::FromHours(36).InHours());
  EXPECT_DOUBLE_EQ(0.25, TimeDelta::FromMilliseconds(250).InSecondsF());
  EXPECT_LT(TimeDelta::FromMilliseconds(1), TimeDelta::FromSeconds(1));
  EXPECT_TRUE((TimeDelta::Max() + TimeDelta::FromSeconds(1)).is_max());
  EXPECT_TRUE(TimeDelta::FromDays(INT64_MAX / 2).is_max());
  EXPECT_EQ(TimeDelta::FromSeconds(3), TimeDelta::FromSeconds(1) * 3);
}

TEST(TimeTest, FileTimeTimeTAndExplodedRoundTrips) {
  EXPECT_EQ(0, Time::UnixEpoch().ToTimeT());
  EXPECT_TRUE(Time::FromTimeT(0).is_null());
  Time t = Time::FromTimeT(1700000000);
  EXPECT_EQ(1700000000, t.ToTimeT());
  EXPECT_EQ(t, Time::FromFileTime(t.ToFileTime()));

  Time::Exploded exploded;
  t.UTCExplode(&exploded);
  // 2023-11-14 22:13:20 UTC, a Tuesday.
  EXPECT_EQ(2023, exploded.year);
  EXPECT_EQ(11, exploded.month);
  EXPECT_EQ(14, exploded.day_of_month);
  EXPECT_EQ(2, exploded.day_of_week);
  EXPECT_EQ(22, exploded.hour);
  EXPECT_EQ(13, exploded.minute);
  EXPECT_EQ(20, exploded.second);
  Time back;
  ASSERT_TRUE(Time::FromUTCExploded(exploded, &back));
  EXPECT_EQ(t, back);

  Time::Exploded local;
  t.LocalExplode(&local);
  ASSERT_TRUE(Time::FromLocalExploded(local, &back));
  EXPECT_EQ(t, back);

  Time::Exploded bad = exploded;
  bad.month = 2;
  bad.day_of_month = 30;
  EXPECT_FALSE(Time::FromUTCExploded(bad, &back));
  EXPECT_TRUE(back.is_null());
  bad.month = 13;
  EXPECT_FALSE(Time::FromUTCExploded(bad, &back));
}

}  // namespace
}  // namespace base
