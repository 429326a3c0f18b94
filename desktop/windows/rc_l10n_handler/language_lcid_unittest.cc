#include "desktop/windows/rc_l10n_handler/language_lcid.h"

#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(LanguageLcidTest, KnownCodesIgnoringCase) {
  EXPECT_EQ(1033u, GetLanguageLcid(L"en"));
  EXPECT_EQ(1033u, GetLanguageLcid(L"EN"));
  EXPECT_EQ(2057u, GetLanguageLcid(L"en-GB"));
  EXPECT_EQ(1046u, GetLanguageLcid(L"pt-BR"));
  EXPECT_EQ(2070u, GetLanguageLcid(L"pt-pt"));
  EXPECT_EQ(2058u, GetLanguageLcid(L"es-419"));
  EXPECT_EQ(3082u, GetLanguageLcid(L"es"));
  EXPECT_EQ(2052u, GetLanguageLcid(L"zh-CN"));
  EXPECT_EQ(1028u, GetLanguageLcid(L"zh-TW"));
  EXPECT_EQ(1124u, GetLanguageLcid(L"fil"));
  EXPECT_EQ(2163u, GetLanguageLcid(L"ti"));
  EXPECT_EQ(1096u, GetLanguageLcid(L"or"));  // the last entry
  EXPECT_EQ(1032u, GetLanguageLcid(L"el"));  // the first entry
}

TEST(LanguageLcidTest, SharedAndPlaceholderIds) {
  EXPECT_EQ(1037u, GetLanguageLcid(L"he"));
  EXPECT_EQ(1037u, GetLanguageLcid(L"iw"));
  EXPECT_EQ(1037u, GetLanguageLcid(L"fake-bidi"));
  EXPECT_EQ(1044u, GetLanguageLcid(L"no"));
  EXPECT_EQ(1044u, GetLanguageLcid(L"nb"));
  EXPECT_EQ(1024u, GetLanguageLcid(L"tl"));
  EXPECT_EQ(1024u, GetLanguageLcid(L"userdefault"));
  EXPECT_EQ(0u, GetLanguageLcid(L"neutral"));
}

TEST(LanguageLcidTest, UnknownCodesGiveZero) {
  EXPECT_EQ(0u, GetLanguageLcid(L"en-US"));
  EXPECT_EQ(0u, GetLanguageLcid(L""));
  EXPECT_EQ(0u, GetLanguageLcid(L"pt"));
  EXPECT_EQ(0u, GetLanguageLcid(L"en "));
  EXPECT_EQ(0u, GetLanguageLcid(L"\u00e9n"));
}

}  // namespace
}  // namespace installer
