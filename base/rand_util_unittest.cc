#include "base/rand_util.h"

#include <climits>
#include <cstdint>
#include <set>

#include <gtest/gtest.h>

namespace base {
namespace {

TEST(RandUtilTest, RandIntStaysInRangeAndReachesBothEnds) {
  std::set<int> seen;
  for (int i = 0; i < 2000; ++i) {
    const int value = RandInt(0, 4);
    ASSERT_GE(value, 0);
    ASSERT_LE(value, 4);
    seen.insert(value);
  }
  EXPECT_EQ(5u, seen.size());
  EXPECT_EQ(7, RandInt(7, 7));
  // The full range must not overflow the width computation.
  for (int i = 0; i < 100; ++i) {
    const int value = RandInt(INT_MIN, INT_MAX);
    EXPECT_GE(value, INT_MIN);
  }
  EXPECT_LE(RandInt(-3, -1), -1);
}

TEST(RandUtilTest, RandBytesFillsTheWholeBuffer) {
  // 64 random bytes all zero is practically impossible; a short fill would
  // leave the tail at zero.
  uint8_t buffer[64] = {};
  ASSERT_TRUE(RandBytes(buffer, sizeof(buffer)));
  int nonzero_tail = 0;
  for (int i = 32; i < 64; ++i)
    nonzero_tail += buffer[i] != 0;
  EXPECT_GT(nonzero_tail, 0);
}

}  // namespace
}  // namespace base
