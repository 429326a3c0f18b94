#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/at_exit.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class FakeLanguageSource : public UILanguageSource {
 public:
  FakeLanguageSource(std::vector<std::wstring> available, std::vector<std::wstring> preferred)
      : available_(std::move(available)), preferred_(std::move(preferred)) {}

  std::vector<std::wstring> GetAvailableLanguages() const override { return available_; }
  std::vector<std::wstring> GetPreferredUILanguages() const override { return preferred_; }

 private:
  std::vector<std::wstring> available_;
  std::vector<std::wstring> preferred_;
};

struct Choice {
  std::wstring code;
  LANGID language_id;

  bool operator==(const Choice& other) const = default;
};

void PrintTo(const Choice& choice, std::ostream* out) {
  *out << testing::PrintToString(choice.code) << " (" << choice.language_id << ")";
}

Choice Choose(std::wstring code, std::vector<std::wstring> available,
              std::vector<std::wstring> preferred) {
  RcL10nHandler handler(
      std::make_unique<FakeLanguageSource>(std::move(available), std::move(preferred)));
  EXPECT_EQ(0, handler.language_id());
  handler.SetLanguage(&code);
  return {code, handler.language_id()};
}

TEST(RcL10nHandlerTest, AvailableCodeIsTakenAsItIs) {
  EXPECT_EQ((Choice{L"en-GB", 2057}), Choose(L"en-GB", {L"en", L"en-GB"}, {L"de-DE"}));
  EXPECT_EQ((Choice{L"EN-gb", 2057}), Choose(L"EN-gb", {L"en-GB"}, {}));
}

TEST(RcL10nHandlerTest, Iso639CodesAreConvertedFirst) {
  EXPECT_EQ((Choice{L"nb", 1044}), Choose(L"no", {L"nb"}, {}));
  EXPECT_EQ((Choice{L"nb", 1044}), Choose(L"NO", {L"nb"}, {}));
  EXPECT_EQ((Choice{L"pt-PT", 2070}), Choose(L"pt", {L"pt-PT", L"pt-BR"}, {}));
  EXPECT_EQ((Choice{L"fil", 1124}), Choose(L"tl", {L"fil"}, {}));
  // "pt" means Portugal: with only Brazil offered the system's list decides.
  EXPECT_EQ((Choice{L"pt-BR", 1046}), Choose(L"pt", {L"pt-BR"}, {L"pt-BR"}));
}

TEST(RcL10nHandlerTest, SystemLanguageTakenWhenOfferedAsItIs) {
  EXPECT_EQ((Choice{L"de", 1031}), Choose(L"xx", {L"en", L"de", L"fr"}, {L"de", L"fr"}));
  EXPECT_EQ((Choice{L"fr", 1036}), Choose(L"", {L"de", L"fr"}, {L"it-IT", L"fr", L"de"}));
}

TEST(RcL10nHandlerTest, EnglishRegions) {
  for (const wchar_t* tag : {L"en-AU", L"en-CA", L"en-NZ", L"en-ZA", L"EN-au"})
    EXPECT_EQ((Choice{L"en-GB", 2057}), Choose(L"xx", {L"en-GB"}, {tag})) << tag;
  // Other regions ask for "en-US", which no table is named after: the next
  // preferred language is tried.
  EXPECT_EQ((Choice{L"de", 1031}), Choose(L"xx", {L"en", L"de"}, {L"en-IE", L"de-DE"}));
}

TEST(RcL10nHandlerTest, SpanishRegions) {
  EXPECT_EQ((Choice{L"es-419", 2058}), Choose(L"xx", {L"es", L"es-419"}, {L"es-MX"}));
  EXPECT_EQ((Choice{L"es-419", 2058}), Choose(L"xx", {L"es-419"}, {L"es-AR"}));
  EXPECT_EQ((Choice{L"es", 3082}), Choose(L"xx", {L"es", L"es-419"}, {L"es-ES"}));
  // The language part is kept as the system wrote it.
  EXPECT_EQ((Choice{L"ES", 3082}), Choose(L"xx", {L"es"}, {L"ES-es"}));
}

TEST(RcL10nHandlerTest, ChineseRegions) {
  const std::vector<std::wstring> chinese{L"zh-CN", L"zh-TW"};
  EXPECT_EQ((Choice{L"zh-TW", 1028}), Choose(L"xx", chinese, {L"zh-HK"}));
  EXPECT_EQ((Choice{L"zh-TW", 1028}), Choose(L"xx", chinese, {L"zh-MO"}));
  EXPECT_EQ((Choice{L"zh-CN", 2052}), Choose(L"xx", chinese, {L"zh-SG"}));
  EXPECT_EQ((Choice{L"zh-CN", 2052}), Choose(L"xx", chinese, {L"zh-Hant-HK"}));
}

TEST(RcL10nHandlerTest, NorwegianFilipinoAndOtherLanguages) {
  EXPECT_EQ((Choice{L"nb", 1044}), Choose(L"xx", {L"nb"}, {L"no-NO"}));
  EXPECT_EQ((Choice{L"nb", 1044}), Choose(L"xx", {L"nb"}, {L"nn-NO", L"no-XX"}));
  EXPECT_EQ((Choice{L"tl", 1024}), Choose(L"xx", {L"tl"}, {L"fil-PH"}));
  EXPECT_EQ((Choice{L"de", 1031}), Choose(L"xx", {L"de"}, {L"de-AT"}));
  EXPECT_EQ((Choice{L"pt-BR", 1046}), Choose(L"xx", {L"pt-BR", L"pt"}, {L"pt-BR"}));
}

TEST(RcL10nHandlerTest, TagsWithoutARegionAreRetriedUnchanged) {
  EXPECT_EQ((Choice{L"en", 1033}), Choose(L"xx", {L"fr"}, {L"de", L"-fr"}));
  EXPECT_EQ((Choice{L"fr", 1036}), Choose(L"xx", {L"fr"}, {L"-fr", L"fr-"}));
}

TEST(RcL10nHandlerTest, FirstFittingPreferredLanguageWins) {
  EXPECT_EQ((Choice{L"fr", 1036}), Choose(L"xx", {L"de", L"fr"}, {L"ja-JP", L"fr-FR", L"de-DE"}));
}

TEST(RcL10nHandlerTest, EnglishWhenNothingFits) {
  // "en" even when no English table is offered.
  EXPECT_EQ((Choice{L"en", 1033}), Choose(L"xx", {L"de"}, {L"ja-JP", L"ko"}));
  EXPECT_EQ((Choice{L"en", 1033}), Choose(L"xx", {L"de"}, {}));
  EXPECT_EQ((Choice{L"en", 1033}), Choose(L"", {}, {}));
}

TEST(RcL10nHandlerTest, NonAsciiCodeIsNeverAvailable) {
  EXPECT_EQ((Choice{L"en", 1033}), Choose(L"d\u00e9", {L"d\u00e9"}, {L"d\u00e9-CH"}));
}

TEST(RcL10nHandlerTest, StringBlockArithmetic) {
  EXPECT_EQ(2313, RcL10nHandler::GetStringBlockNumber(37000));
  EXPECT_EQ(8, RcL10nHandler::GetStringBlockEntry(37000));
  EXPECT_EQ(2313, RcL10nHandler::GetStringBlockNumber(37007));
  EXPECT_EQ(15, RcL10nHandler::GetStringBlockEntry(37007));
  EXPECT_EQ(2314, RcL10nHandler::GetStringBlockNumber(37008));
  EXPECT_EQ(0, RcL10nHandler::GetStringBlockEntry(37008));
  EXPECT_EQ(1, RcL10nHandler::GetStringBlockNumber(0));
}

TEST(RcL10nHandlerTest, ReadStringBlockEntryStaysInsideTheBlock) {
  // Entries 0..2: "ab", "", "xyz"; nothing after.
  const wchar_t block[] = {2, L'a', L'b', 0, 3, L'x', L'y', L'z'};
  std::wstring text;
  ASSERT_TRUE(RcL10nHandler::ReadStringBlockEntry(block, std::size(block), 0, &text));
  EXPECT_EQ(L"ab", text);
  ASSERT_TRUE(RcL10nHandler::ReadStringBlockEntry(block, std::size(block), 1, &text));
  EXPECT_EQ(L"", text);
  ASSERT_TRUE(RcL10nHandler::ReadStringBlockEntry(block, std::size(block), 2, &text));
  EXPECT_EQ(L"xyz", text);
  EXPECT_FALSE(RcL10nHandler::ReadStringBlockEntry(block, std::size(block), 3, &text));
  // A count that runs past the end of the block.
  EXPECT_FALSE(RcL10nHandler::ReadStringBlockEntry(block, 7, 2, &text));
  const wchar_t huge[] = {0xFFFF, L'a'};
  EXPECT_FALSE(RcL10nHandler::ReadStringBlockEntry(huge, std::size(huge), 0, &text));
  EXPECT_FALSE(RcL10nHandler::ReadStringBlockEntry(block, std::size(block), 16, &text));
  EXPECT_FALSE(RcL10nHandler::ReadStringBlockEntry(block, std::size(block), -1, &text));
}

class RcL10nHandlerStringsTest : public testing::Test {
 protected:
  RcL10nHandlerStringsTest()
      : handler_(std::make_unique<FakeLanguageSource>(std::vector<std::wstring>{L"en"},
                                                      std::vector<std::wstring>{})) {}

  static constexpr LANGID kEnglish = 1033;
  RcL10nHandler handler_;
};

// The test executables carry the installer's English string table.
TEST_F(RcL10nHandlerStringsTest, LoadsFromTheExecutableStringTable) {
  EXPECT_EQ(L"Velto Installer", handler_.LoadString(kEnglish, 37000, {}));
  EXPECT_EQ(L"Velto installer", handler_.LoadString(kEnglish, 37066, {}));
  EXPECT_EQ(L"Velto Browser", handler_.LoadString(kEnglish, 37070, {}));
  EXPECT_EQ(L"Downloading\u2026", handler_.LoadString(kEnglish, 37025, {}));
  // Language 0 lets the loader choose the table.
  EXPECT_EQ(L"Velto Installer", handler_.LoadString(0, 37000, {}));
}

TEST_F(RcL10nHandlerStringsTest, AgreesWithTheSystemLoaderForEveryId) {
  for (int id = 36990; id < 37100; ++id) {
    wchar_t buffer[512] = {};
    int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, buffer, std::size(buffer));
    EXPECT_EQ(std::wstring(buffer, length), handler_.LoadString(kEnglish, id, {})) << id;
  }
}

TEST_F(RcL10nHandlerStringsTest, MissingStringsAreEmpty) {
  EXPECT_EQ(L"", handler_.LoadString(kEnglish, 37013, {}));   // a gap in a block
  EXPECT_EQ(L"", handler_.LoadString(kEnglish, 37200, {}));   // no such block
  EXPECT_EQ(L"", handler_.LoadString(kEnglish, 100, {L"x"}));
}

TEST_F(RcL10nHandlerStringsTest, PlaceholdersOnlyWithArguments) {
  EXPECT_EQ(L"The folder $1 could not be created.", handler_.LoadString(kEnglish, 37059, {}));
  EXPECT_EQ(L"The folder C:\\Velto could not be created.",
            handler_.LoadString(kEnglish, 37059, {L"C:\\Velto"}));
  // An argument that itself holds a placeholder is not expanded again.
  EXPECT_EQ(L"Error when copying file to $2.", handler_.LoadString(kEnglish, 37062, {L"$2", L"x"}));
  EXPECT_EQ(L"Installing for current user ()\u2026",
            handler_.LoadString(kEnglish, 37028, {L""}));
  EXPECT_EQ(L"Fast, safe and simple browsing with VELTO.",
            handler_.LoadString(kEnglish, 37022, {handler_.LoadString(kEnglish, 37023, {})}));
}

TEST(RcL10nHandlerInstanceTest, ProcessWideHandlerServesTheHelpers) {
  base::ShadowingAtExitManager at_exit;
  RcL10nHandler* handler = RcL10nHandler::GetInstance();
  ASSERT_NE(nullptr, handler);
  EXPECT_EQ(handler, RcL10nHandler::GetInstance());
  std::wstring code = L"en";
  handler->SetLanguage(&code);
  EXPECT_EQ(1033, handler->language_id());
  EXPECT_EQ(L"Velto Installer", GetLocalizedString(37000));
  EXPECT_EQ(L"The folder D:\\ could not be created.", GetLocalizedStringF(37059, L"D:\\"));
  EXPECT_EQ(L"Get &full installer", GetLocalizedStringForLanguage(L"EN", 37049));
}

}  // namespace
}  // namespace installer
