#include "base/debug/crash_logging.h"

#include <map>

#include "gtest/gtest.h"

namespace base::debug {
namespace {

std::map<std::string, std::string> g_values;

void Set(std::string_view key, std::string_view value) {
  g_values[std::string(key)] = std::string(value);
}
void Clear(std::string_view key) {
  g_values.erase(std::string(key));
}

class CrashLoggingTest : public testing::Test {
 protected:
  void SetUp() override {
    g_values.clear();
    InitCrashKeys(keys_, 2, 4);
    SetCrashKeyReportingFunctions(&Set, &Clear);
  }
  void TearDown() override { ResetCrashLoggingForTesting(); }
  const CrashKey keys_[2] = {{"short", 4}, {"long", 10}};
};

TEST_F(CrashLoggingTest, LongKeysGoInChunksAndShrinkCleanly) {
  SetCrashKeyValue("long", "abcdefghijXYZ");
  EXPECT_EQ((std::map<std::string, std::string>{{"long-1", "abcd"}, {"long-2", "efgh"},
                                                {"long-3", "ij"}}),
            g_values);
  SetCrashKeyValue("long", "abcde");
  EXPECT_EQ((std::map<std::string, std::string>{{"long-1", "abcd"}, {"long-2", "e"}}), g_values);
  ClearCrashKey("long");
  EXPECT_TRUE(g_values.empty());
}

TEST_F(CrashLoggingTest, ShortAndUnknownKeysGoAsTheyAre) {
  SetCrashKeyValue("short", "123456");
  SetCrashKeyValue("other", "anything at all");
  EXPECT_EQ("1234", g_values["short"]);
  EXPECT_EQ("anything at all", g_values["other"]);
  EXPECT_EQ(3u, ChunkCount(keys_[1]));
  EXPECT_EQ(nullptr, LookupCrashKey("other"));
}

TEST_F(CrashLoggingTest, WithoutABackendValuesGoNowhere) {
  SetCrashKeyValue("short", "1");
  SetCrashKeyReportingFunctions(nullptr, nullptr);
  SetCrashKeyValue("short", "2");
  SetCrashKeyValue("long", "abcdefghij");
  ClearCrashKey("short");
  EXPECT_EQ((std::map<std::string, std::string>{{"short", "1"}}), g_values);
}

}  // namespace
}  // namespace base::debug
