#include "base/guid.h"

#include <set>

#include <gtest/gtest.h>

namespace base {
namespace {

TEST(GUIDTest, GeneratedFormIsVersion4LowerCase) {
  std::set<std::string> seen;
  for (int i = 0; i < 100; ++i) {
    const std::string guid = GenerateGUID();
    ASSERT_EQ(36u, guid.size());
    EXPECT_TRUE(IsValidGUIDOutputString(guid)) << guid;
    EXPECT_EQ('4', guid[14]) << guid;
    EXPECT_NE(std::string::npos, std::string("89ab").find(guid[19])) << guid;
    seen.insert(guid);
  }
  EXPECT_EQ(100u, seen.size());
}

TEST(GUIDTest, Validation) {
  EXPECT_TRUE(IsValidGUID("6B29FC40-CA47-1067-B31D-00DD010662DA"));
  EXPECT_FALSE(IsValidGUIDOutputString("6B29FC40-CA47-1067-B31D-00DD010662DA"));
  EXPECT_TRUE(IsValidGUID(L"6b29fc40-ca47-1067-b31d-00dd010662da"));
  EXPECT_FALSE(IsValidGUID("{6b29fc40-ca47-1067-b31d-00dd010662da}"));
  EXPECT_FALSE(IsValidGUID("6b29fc40-ca47-1067-b31d-00dd010662d"));
  EXPECT_FALSE(IsValidGUID("6b29fc40ca47-1067-b31d-00dd010662da0"));
  EXPECT_FALSE(IsValidGUID("6b29fc40-ca47-1067-b31d-00dd010662dg"));
  EXPECT_FALSE(IsValidGUID(""));
}

}  // namespace
}  // namespace base
