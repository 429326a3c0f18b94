#include "base/win/resource_util.h"

#include <string_view>

#include "gtest/gtest.h"

namespace base::win {
namespace {

// Every test executable carries the installer executable's resources.
TEST(ResourceUtilTest, ReadsResourceOfMainExecutable) {
  const void* data = nullptr;
  size_t length = 0;
  ASSERT_TRUE(GetResourceFromModule(nullptr, 133, L"TXT", &data, &length));
  std::string_view text(static_cast<const char*>(data), length);
  EXPECT_NE(std::string_view::npos, text.find("\"user_agent_name\""));
}

TEST(ResourceUtilTest, MissingResourceIsReported) {
  const void* data = nullptr;
  size_t length = 0;
  EXPECT_FALSE(GetResourceFromModule(nullptr, 4242, L"TXT", &data, &length));
  EXPECT_FALSE(GetResourceFromModule(nullptr, 133, L"NO_SUCH_TYPE", &data, &length));
  EXPECT_EQ(nullptr, data);
}

}  // namespace
}  // namespace base::win
