#include "desktop/windows/rc_l10n_handler/ui_language_source_impl.h"

#include "desktop/windows/rc_l10n_handler/available_languages.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(UILanguageSourceImplTest, AsksTheExecutableAndTheSystem) {
  UILanguageSourceImpl source;
  EXPECT_EQ(GetAvailableLanguages(), source.GetAvailableLanguages());
  // Every system has at least one UI language, given as a language name.
  std::vector<std::wstring> preferred = source.GetPreferredUILanguages();
  ASSERT_FALSE(preferred.empty());
  for (const std::wstring& language : preferred) {
    EXPECT_FALSE(language.empty());
    EXPECT_EQ(std::wstring::npos, language.find(L'\0'));
  }
}

}  // namespace
}  // namespace installer
