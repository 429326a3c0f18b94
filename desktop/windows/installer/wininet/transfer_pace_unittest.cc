#include "desktop/windows/installer/wininet/transfer_pace.h"

#include "base/time/time.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr base::TimeDelta kWindow = base::TimeDelta::FromMinutes(5);
constexpr int64_t kFloor = 1024;

base::TimeTicks At(int64_t seconds) {
  return base::TimeTicks() + base::TimeDelta::FromSeconds(seconds);
}

// One byte every 20 seconds never lets a read time out, but is no download.
TEST(TransferPaceTest, ADripStallsOnceAWindowHasPassed) {
  TransferPace pace(kWindow, kFloor);
  pace.Start(At(100), 0);
  int64_t bytes = 0;
  int64_t second = 100;
  for (; second < 100 + 300; second += 20)
    EXPECT_TRUE(pace.Record(At(second), ++bytes)) << second;
  EXPECT_FALSE(pace.Record(At(second), ++bytes));
  EXPECT_FALSE(pace.kept_up());
}

TEST(TransferPaceTest, EachFloorReachedOpensANewWindow) {
  TransferPace pace(kWindow, kFloor);
  pace.Start(At(0), 5000);
  // The floor, just inside the first window.
  EXPECT_TRUE(pace.Record(At(299), 5000 + kFloor));
  EXPECT_TRUE(pace.kept_up());
  // Less than the floor since: stalled only once the second window ends.
  EXPECT_TRUE(pace.Record(At(598), 5000 + kFloor + 1023));
  EXPECT_FALSE(pace.Record(At(599), 5000 + kFloor + 1023));
  // Still kept up before: what came, came at a pace worth waiting for.
  EXPECT_TRUE(pace.kept_up());
}

TEST(TransferPaceTest, StartForgetsTheEarlierReply) {
  TransferPace pace(kWindow, kFloor);
  pace.Start(At(0), 0);
  EXPECT_TRUE(pace.Record(At(1), 100000));
  EXPECT_TRUE(pace.kept_up());
  // A new reply, started long after: its window begins now, and it has
  // kept up with nothing yet.
  pace.Start(At(1000), 100000);
  EXPECT_FALSE(pace.kept_up());
  EXPECT_TRUE(pace.Record(At(1299), 100010));
  EXPECT_FALSE(pace.Record(At(1300), 100010));
}

TEST(TransferPaceTest, LimitsCanBeShortened) {
  TransferPace pace(kWindow, kFloor);
  pace.set_window(base::TimeDelta::FromSeconds(2));
  pace.set_floor(10);
  pace.Start(At(0), 0);
  EXPECT_TRUE(pace.Record(At(1), 9));
  EXPECT_FALSE(pace.Record(At(2), 9));
  pace.Start(At(10), 0);
  EXPECT_TRUE(pace.Record(At(11), 10));
  EXPECT_TRUE(pace.kept_up());
}

}  // namespace
}  // namespace installer
