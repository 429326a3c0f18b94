#include "base/version.h"

#include <gtest/gtest.h>

namespace base {
namespace {

TEST(VersionTest, Parsing) {
  const Version v("47.0.2631.23");
  ASSERT_TRUE(v.IsValid());
  EXPECT_EQ((std::vector<uint32_t>{47, 0, 2631, 23}), v.components());
  EXPECT_EQ("47.0.2631.23", v.GetString());
  EXPECT_TRUE(Version(L"1.2").IsValid());
  EXPECT_TRUE(Version("4294967295").IsValid());
  EXPECT_EQ("1.2", Version("1.02").GetString());
  for (const char* bad : {"", ".", "1.", ".1", "1..2", "+1", "1.+2", "-1", "1.-2", " 1", "1 ",
                          "1.2a", "a", "01.2", "4294967296", "1.2.3.4.99999999999"}) {
    EXPECT_FALSE(Version(bad).IsValid()) << bad;
    EXPECT_EQ("", Version(bad).GetString()) << bad;
  }
  EXPECT_FALSE(Version(L"1.\u0663").IsValid());
  EXPECT_FALSE(Version(std::vector<uint32_t>()).IsValid());
}

TEST(VersionTest, Comparison) {
  EXPECT_EQ(0, Version("1.2").CompareTo(Version("1.2.0.0")));
  EXPECT_TRUE(Version("1.2") == Version("1.2.0"));
  EXPECT_LT(Version("1.2.3"), Version("1.10"));  // numeric, not textual
  EXPECT_LT(Version("9.9.9.9"), Version("10"));
  EXPECT_GT(Version("2.0.0.1"), Version("2"));
  EXPECT_EQ(1, Version("4294967295").CompareTo(Version("4294967294.9")));
  EXPECT_LT(Version(), Version("0"));
}

}  // namespace
}  // namespace base
