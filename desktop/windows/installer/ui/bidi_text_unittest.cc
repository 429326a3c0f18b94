#include "desktop/windows/installer/ui/bidi_text.h"

#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr wchar_t kLRM = 0x200E;
constexpr wchar_t kRLM = 0x200F;
constexpr wchar_t kLRE = 0x202A;
constexpr wchar_t kRLE = 0x202B;

// "Failed to install Velto" and "Options" of the Arabic string table.
const std::wstring kInstallFailed = L"\u062a\u0639\u0630\u0651\u0631 \u062a\u062b\u0628\u064a\u062a Velto";
const std::wstring kOptions = L"&\u062e\u064a\u0627\u0631\u0627\u062a";
const std::wstring kArabic = L"\u0627\u0644\u0639\u0631\u0628\u064a\u0629";

std::wstring Wrapped(wchar_t start, const std::wstring& text, wchar_t end) {
  return std::wstring(1, start) + text + std::wstring(1, end);
}

std::wstring Embedded(wchar_t start, const std::wstring& text) {
  return std::wstring(1, start) + text;
}

TEST(BidiTextTest, DirectionIsThatOfTheFirstStrongCharacter) {
  EXPECT_EQ(TextDirection::kLeftToRight, GetTextDirection(L"(1) Velto"));
  EXPECT_EQ(TextDirection::kRightToLeft, GetTextDirection(L"2. " + kInstallFailed));
  EXPECT_EQ(TextDirection::kLeftToRight, GetTextDirection(L"Velto " + kArabic));
  EXPECT_EQ(TextDirection::kNeutral, GetTextDirection(L"12.5 %, (\\)"));
  EXPECT_EQ(TextDirection::kNeutral, GetTextDirection(L""));
  // Hebrew reads right to left as well.
  EXPECT_EQ(TextDirection::kRightToLeft, GetTextDirection(L"\u05d0\u05d1"));
}

TEST(BidiTextTest, RightToLeftLanguagesAreKnown) {
  EXPECT_TRUE(IsRightToLeftLanguage(L"ar"));
  EXPECT_TRUE(IsRightToLeftLanguage(L"he"));
  EXPECT_TRUE(IsRightToLeftLanguage(L"fa"));
  EXPECT_FALSE(IsRightToLeftLanguage(L"en"));
  EXPECT_FALSE(IsRightToLeftLanguage(L"de"));
  EXPECT_FALSE(IsRightToLeftLanguage(L""));
}

TEST(BidiTextTest, LeftToRightWindowsKeepTheirTexts) {
  for (const std::wstring& text : {std::wstring(L"Make Velto the &default browser"),
                                   kInstallFailed, std::wstring(L"Installing...")}) {
    EXPECT_EQ(text, ForReadingOrder(text, false));
  }
}

TEST(BidiTextTest, MixedTextOfARightToLeftWindowIsOneRightToLeftEmbedding) {
  // The product name at the end: a left-to-right base would put it at the
  // right, where the sentence starts.
  EXPECT_EQ(Embedded(kRLE, kInstallFailed), ForReadingOrder(kInstallFailed, true));
  // A full stop at the end belongs at the left.
  EXPECT_EQ(Embedded(kRLE, kArabic + L"."), ForReadingOrder(kArabic + L".", true));
  // No closing PDF: the end of the text closes the embedding.
  EXPECT_EQ(std::wstring::npos, ForReadingOrder(kInstallFailed, true).find(L'\u202c'));
  // An English text in a right-to-left window reads right to left as well.
  EXPECT_EQ(Embedded(kRLE, L"Velto"), ForReadingOrder(L"Velto", true));
  EXPECT_EQ(L"", ForReadingOrder(L"", true));
}

TEST(BidiTextTest, PureRightToLeftTextNeedsNoEmbedding) {
  // Any base direction draws these the same way; the mnemonic ampersand is
  // not drawn.
  EXPECT_EQ(kOptions, ForReadingOrder(kOptions, true));
  EXPECT_EQ(kArabic + L" " + kArabic, ForReadingOrder(kArabic + L" " + kArabic, true));
}

TEST(BidiTextTest, ArgumentsWithNeutralEndsAreMarked) {
  EXPECT_EQ(Wrapped(kLRM, L"VELTO.", kLRM), MarkArgument(L"VELTO.", true));
  EXPECT_EQ(Wrapped(kLRM, L"C:\\Program Files\\", kLRM),
            MarkArgument(L"C:\\Program Files\\", true));
  EXPECT_EQ(Wrapped(kRLM, kArabic + L".", kRLM), MarkArgument(kArabic + L".", true));
}

TEST(BidiTextTest, ArgumentsThatHoldTheirEndsStayAsTheyAre) {
  // Neutral characters between two letters of one direction take it.
  EXPECT_EQ(L"C:\\Program Files\\Velto", MarkArgument(L"C:\\Program Files\\Velto", true));
  EXPECT_EQ(L"root", MarkArgument(L"root", true));
  EXPECT_EQ(L"2631.23", MarkArgument(L"2631.23", true));
  EXPECT_EQ(L"", MarkArgument(L"", true));
  // A left-to-right sentence keeps every argument.
  EXPECT_EQ(L"VELTO.", MarkArgument(L"VELTO.", false));
}

TEST(BidiTextTest, NamesAreEmbeddedInTheirOwnDirection) {
  EXPECT_EQ(Embedded(kLRE, L"English (United States)"),
            EmbedInOwnDirection(L"English (United States)"));
  EXPECT_EQ(Embedded(kRLE, kArabic), EmbedInOwnDirection(kArabic));
  EXPECT_EQ(L"(1)", EmbedInOwnDirection(L"(1)"));
}

TEST(BidiTextTest, MirroredControlIsShownUnmirrored) {
  HWND parent = CreateWindowExW(WS_EX_LAYOUTRTL, L"STATIC", L"", WS_POPUP, 0, 0, 200, 100,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(parent);
  HWND child = CreateWindowExW(0, L"EDIT", L"C:\\Program Files\\Velto", WS_CHILD, 0, 0, 200, 20,
                               parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(child);
  ASSERT_TRUE(GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
  KeepUnmirrored(child);
  EXPECT_FALSE(GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
  EXPECT_TRUE(GetWindowLongW(parent, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
  DestroyWindow(parent);
}

}  // namespace
}  // namespace installer
