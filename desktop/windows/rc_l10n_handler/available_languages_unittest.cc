#include "desktop/windows/rc_l10n_handler/available_languages.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace installer {
namespace {

// The test executables carry the installer executable's list: one code a
// line and a final line break.
TEST(AvailableLanguagesTest, ListFromTheExecutable) {
  const std::vector<std::wstring> languages = GetAvailableLanguages();
  ASSERT_LE(2u, languages.size());
  EXPECT_FALSE(languages.front().empty());
  EXPECT_TRUE(IsLanguageAvailable(L"en"));
  EXPECT_TRUE(IsLanguageAvailable(L"EN"));
  EXPECT_TRUE(IsLanguageAvailable(L"de"));
  EXPECT_FALSE(IsLanguageAvailable(L"en-US"));
  EXPECT_FALSE(IsLanguageAvailable(L" de"));
  // The blank after the last line break is not a language.
  EXPECT_FALSE(IsLanguageAvailable(L""));
}

TEST(AvailableLanguagesTest, MatchIgnoresCaseButNotOtherDifferences) {
  const std::vector<std::wstring> languages{L"pt-BR", L"es-419", L"zh-TW"};
  EXPECT_TRUE(IsLanguageInList(L"PT-br", languages));
  EXPECT_TRUE(IsLanguageInList(L"es-419", languages));
  EXPECT_FALSE(IsLanguageInList(L"pt", languages));
  EXPECT_FALSE(IsLanguageInList(L" pt-BR", languages));
  EXPECT_FALSE(IsLanguageInList(L"zh_TW", languages));
}

TEST(AvailableLanguagesTest, NonAsciiCodeIsNeverAvailable) {
  const std::vector<std::wstring> languages{L"pt-BR", L"\u00e9n"};
  EXPECT_FALSE(IsLanguageInList(L"\u00e9n", languages));
  EXPECT_FALSE(IsLanguageInList(L"pt-BR\u00a0", languages));
}

}  // namespace
}  // namespace installer
