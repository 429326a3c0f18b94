#include "desktop/windows/installer/settings_switches.h"

#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(ParseBoolSwitchValueTest, WordsNumbersAndEmpty) {
  EXPECT_FALSE(ParseBoolSwitchValue(L""));
  EXPECT_TRUE(ParseBoolSwitchValue(L"yes"));
  EXPECT_TRUE(ParseBoolSwitchValue(L"TRUE"));
  EXPECT_TRUE(ParseBoolSwitchValue(L"Yes"));
  EXPECT_TRUE(ParseBoolSwitchValue(L"1"));
  EXPECT_TRUE(ParseBoolSwitchValue(L"-3"));
  EXPECT_TRUE(ParseBoolSwitchValue(L"12abc"));
  EXPECT_FALSE(ParseBoolSwitchValue(L"0"));
  EXPECT_FALSE(ParseBoolSwitchValue(L"no"));
  EXPECT_FALSE(ParseBoolSwitchValue(L"false"));
  EXPECT_FALSE(ParseBoolSwitchValue(L"yess"));
}

}  // namespace
}  // namespace installer
