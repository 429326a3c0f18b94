#include "crash/crash_keys_win.h"

#include "gtest/gtest.h"

namespace crash {
namespace {

TEST(CrashKeysWinTest, FixedEntriesComeFirstAndStay) {
  CrashKeysWin keys;
  const CustomClientInfo* info = keys.GetCustomInfo({{L"prod", L"P"}, {L"ver", L"1"}});
  ASSERT_EQ(2u, info->count);
  keys.SetCrashKeyValue(L"a", L"x");
  keys.ClearCrashKeyValue(L"prod");  // Fixed entries are not run-time keys.
  ASSERT_EQ(3u, info->count);
  EXPECT_STREQ(L"prod", info->entries[0].name);
  EXPECT_STREQ(L"a", info->entries[2].name);
  EXPECT_EQ(info, keys.custom_info());
}

TEST(CrashKeysWinTest, SetReplacesClearRemovesAndLongTextsAreCut) {
  CrashKeysWin keys;
  keys.GetCustomInfo({});
  EXPECT_TRUE(keys.SetCrashKeyValue(L"a", L"1"));
  EXPECT_TRUE(keys.SetCrashKeyValue(L"b", L"2"));
  EXPECT_TRUE(keys.SetCrashKeyValue(L"a", L"3"));
  EXPECT_EQ(2u, keys.custom_info()->count);
  EXPECT_EQ(L"3", keys.GetCrashKeyValue(L"a"));
  keys.ClearCrashKeyValue(L"a");
  EXPECT_EQ(1u, keys.custom_info()->count);
  EXPECT_EQ(L"", keys.GetCrashKeyValue(L"a"));
  EXPECT_EQ(L"2", keys.GetCrashKeyValue(L"b"));

  std::wstring long_text(100, L'x');
  keys.SetCrashKeyValue(long_text, long_text);
  EXPECT_EQ(std::wstring(63, L'x'), keys.GetCrashKeyValue(long_text));
  EXPECT_EQ(63u, wcslen(keys.custom_info()->entries[1].name));
}

TEST(CrashKeysWinTest, AFullStoreRefusesNewKeysButReplacesOldOnes) {
  CrashKeysWin keys;
  keys.GetCustomInfo({});
  for (size_t i = 0; i < CrashKeysWin::kMaxEntries; ++i)
    ASSERT_TRUE(keys.SetCrashKeyValue(L"k" + std::to_wstring(i), L"v"));
  EXPECT_FALSE(keys.SetCrashKeyValue(L"one-more", L"v"));
  EXPECT_TRUE(keys.SetCrashKeyValue(L"k0", L"new"));
  EXPECT_EQ(L"new", keys.GetCrashKeyValue(L"k0"));
}

}  // namespace
}  // namespace crash
