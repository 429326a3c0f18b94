#include "desktop/windows/installer/ui/bidi_text.h"

#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr wchar_t kLRM = 0x200E;
constexpr wchar_t kRLM = 0x200F;
constexpr wchar_t kLRE = 0x202A;
constexpr wchar_t kRLE = 0x202B;

// "Failed to install Velto" and "Options" of the Arabic string table.
const std::wstring kInstallFailed =
    L"\u062a\u0639\u0630\u0651\u0631 \u062a\u062b\u0628\u064a\u062a Velto";
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
  for (const std::wstring& text : {std::wstring(L"Make Velto the &default browser"), kInstallFailed,
                                   std::wstring(L"Installing...")}) {
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

TEST(BidiTextTest, EachLineIsEmbeddedByItself) {
  EXPECT_EQ(Embedded(kRLE, kArabic + L":") + L"\n" + Embedded(kRLE, L"\t" + kInstallFailed) +
                L"\n\n" + kOptions,
            ForReadingOrder(kArabic + L":\n\t" + kInstallFailed + L"\n\n" + kOptions, true));
  EXPECT_EQ(L"\n", ForReadingOrder(L"\n", true));
}

TEST(BidiTextTest, PureRightToLeftTextNeedsNoEmbedding) {
  // Any base direction draws these the same way; the mnemonic ampersand is
  // not drawn.
  EXPECT_EQ(kOptions, ForReadingOrder(kOptions, true));
  EXPECT_EQ(kArabic + L" " + kArabic, ForReadingOrder(kArabic + L" " + kArabic, true));
}

TEST(BidiTextTest, ArgumentsWithNeutralEndsAreMarked) {
  EXPECT_EQ(Wrapped(kLRM, L"root.", kLRM), MarkArgument(L"root.", true));
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
  EXPECT_EQ(L"root.", MarkArgument(L"root.", false));
}

TEST(BidiTextTest, ClosingPunctuationOfAnArgumentIsTheSentences) {
  // Held at the sentence's end by a right-to-left mark.
  EXPECT_EQ(L"VELTO.\u200f", ArgumentEndingSentence(L"VELTO.", true));
  // Nothing to hold: no closing punctuation, no letter, or a sentence
  // reading left to right.
  for (const wchar_t* unchanged : {L"Velto", L"...", L""})
    EXPECT_EQ(unchanged, ArgumentEndingSentence(unchanged, true));
  EXPECT_EQ(L"VELTO.", ArgumentEndingSentence(L"VELTO.", false));
}

TEST(BidiTextTest, NamesAreEmbeddedInTheirOwnDirection) {
  EXPECT_EQ(Embedded(kLRE, L"English (United States)"),
            EmbedInOwnDirection(L"English (United States)"));
  EXPECT_EQ(Embedded(kRLE, kArabic), EmbedInOwnDirection(kArabic));
  EXPECT_EQ(L"(1)", EmbedInOwnDirection(L"(1)"));
}

TEST(BidiTextTest, MirroredControlIsShownUnmirrored) {
  HWND parent = CreateWindowExW(WS_EX_LAYOUTRTL, L"STATIC", L"", WS_POPUP, 0, 0, 200, 100, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
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

TEST(BidiTextTest, ScrollingControlIsMadeAnewUnmirrored) {
  HWND parent = CreateWindowExW(WS_EX_LAYOUTRTL, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(parent);
  HWND before = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD, 0, 0, 10, 10, parent, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  std::wstring text;
  for (int i = 0; i < 40; ++i)
    text += L"These terms apply to the Velto browser (\"the software\").\r\n";
  HWND terms = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", text.c_str(),
                               WS_CHILD | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 20, 30, 200, 100,
                               parent, reinterpret_cast<HMENU>(1012), GetModuleHandleW(nullptr),
                               nullptr);
  ASSERT_TRUE(terms);
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  SendMessageW(terms, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  RECT old_rect = {};
  GetWindowRect(terms, &old_rect);
  ASSERT_TRUE(GetWindowLongW(terms, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);

  HWND copy = RecreateUnmirrored(terms);
  EXPECT_FALSE(IsWindow(terms));
  ASSERT_TRUE(IsWindow(copy));
  EXPECT_EQ(copy, GetDlgItem(parent, 1012));
  EXPECT_FALSE(GetWindowLongW(copy, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
  EXPECT_TRUE(GetWindowLongW(copy, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  EXPECT_TRUE(GetWindowLongW(copy, GWL_STYLE) & ES_READONLY);
  EXPECT_TRUE(GetWindowLongW(parent, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
  EXPECT_FALSE(GetWindowLongW(parent, GWL_EXSTYLE) & WS_EX_NOINHERITLAYOUT);
  EXPECT_EQ(reinterpret_cast<LRESULT>(font), SendMessageW(copy, WM_GETFONT, 0, 0));
  EXPECT_EQ(before, GetWindow(copy, GW_HWNDPREV));
  RECT new_rect = {};
  GetWindowRect(copy, &new_rect);
  EXPECT_EQ(old_rect.left, new_rect.left);
  EXPECT_EQ(old_rect.right, new_rect.right);
  EXPECT_EQ(old_rect.top, new_rect.top);
  int length = GetWindowTextLengthW(copy);
  std::wstring copied(static_cast<size_t>(length) + 1, L'\0');
  copied.resize(static_cast<size_t>(GetWindowTextW(copy, copied.data(), length + 1)));
  EXPECT_EQ(text, copied);
  // Its scroll bar lies inside it.
  SCROLLBARINFO bar = {sizeof(bar)};
  ASSERT_TRUE(GetScrollBarInfo(copy, OBJID_VSCROLL, &bar));
  EXPECT_GE(bar.rcScrollBar.left, new_rect.left);
  EXPECT_LE(bar.rcScrollBar.right, new_rect.right);
  // An unmirrored control stays as it is.
  EXPECT_EQ(copy, RecreateUnmirrored(copy));
  EXPECT_TRUE(IsWindow(copy));
  DestroyWindow(parent);
}

}  // namespace
}  // namespace installer
