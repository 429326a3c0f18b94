#include "desktop/windows/installer/ui/rich_text.h"

#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(RichTextTest, ConvertsEachLinkToPlaceholders) {
  std::vector<RichTextLink> links;
  EXPECT_EQ(L"Read $1tos$2the terms$3 and $1help$2get help$3.",
            ConvertLinkMarkup(L"Read <a href=\"tos\">the terms</a> and <a href=\"help\">get help</a>.",
                              &links));
  ASSERT_EQ(2u, links.size());
  EXPECT_EQ(L"tos", links[0].href);
  EXPECT_EQ(L"the terms", links[0].text);
  EXPECT_EQ(L"help", links[1].href);
  EXPECT_EQ(L"get help", links[1].text);
}

TEST(RichTextTest, TextWithoutLinksStaysAsItIs) {
  std::vector<RichTextLink> links;
  EXPECT_EQ(L"No links <b>here</b>", ConvertLinkMarkup(L"No links <b>here</b>", &links));
  EXPECT_TRUE(links.empty());
}

TEST(RichTextTest, MissingPartsOfALinkAreSkipped) {
  // No href: the link text is kept without a target.
  EXPECT_EQ(L"a $1text$3 b", ConvertLinkMarkup(L"a <a name=\"x\">text</a> b", nullptr));
  // No closing tag: what follows the tag is copied as it stands.
  EXPECT_EQ(L"a $1t$2text b", ConvertLinkMarkup(L"a <a href=\"t\">text b", nullptr));
  // An unterminated href value ends the conversion without losing text.
  EXPECT_EQ(L"a $1href=\"t", ConvertLinkMarkup(L"a <a href=\"t", nullptr));
}

TEST(RichTextTest, PlaceholdersBecomeAHyperlinkField) {
  EXPECT_EQ(
      "{\\rtf1 x {\\field{\\*\\fldinst{HYPERLINK \"tos\"}}{\\fldrslt{\\ul Terms}}} y}",
      ReplaceLinkPlaceholders("{\\rtf1 x $1tos$2Terms$3 y}", false));
  EXPECT_EQ("\\line{\\field{\\*\\fldinst{HYPERLINK \"a\"}}{\\fldrslt{\\ul b}}}",
            ReplaceLinkPlaceholders("$1a$2b$3", true));
  // A dollar sign that starts no placeholder stays.
  EXPECT_EQ("costs $5 $", ReplaceLinkPlaceholders("costs $5 $", false));
}

TEST(RichTextTest, ClickedTextResolvesToTheLinkTarget) {
  const wchar_t kMarkup[] = L"See <a href=\"tos\">the terms</a> or <a href=\"faq\">questions</a>";
  EXPECT_EQ(L"tos", LinkTargetForClick(kMarkup, L"tos"));
  EXPECT_EQ(L"tos", LinkTargetForClick(kMarkup, L"the terms"));
  EXPECT_EQ(L"faq", LinkTargetForClick(kMarkup, L"questions"));
  EXPECT_EQ(L"", LinkTargetForClick(kMarkup, L"See"));
}

class RichTextControlTest : public testing::Test {
 protected:
  void SetUp() override {
    InitRichEdit();
    control_ = CreateWindowExW(0, L"RichEdit50W", L"", WS_POPUP | ES_MULTILINE | ES_READONLY, 0,
                               0, 400, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(control_);
  }
  void TearDown() override { DestroyWindow(control_); }

  std::wstring Text() {
    int length = GetWindowTextLengthW(control_);
    std::wstring text(length + 1, L'\0');
    text.resize(GetWindowTextW(control_, text.data(), length + 1));
    return text;
  }

  CHARFORMAT2W FormatAt(LONG start, LONG end) {
    CHARRANGE range = {start, end};
    SendMessageW(control_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    CHARFORMAT2W format = {};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_LINK | CFM_COLOR;
    SendMessageW(control_, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    return format;
  }

  HWND control_ = nullptr;
};

TEST_F(RichTextControlTest, LinkShowsItsTextInTheLinkColourAndFormat) {
  SetRichTextWithLinks(control_,
                       L"By clicking you agree to the <a href=\"tos\">Terms of Service</a>.",
                       0x686868);
  std::wstring text = Text();
  EXPECT_EQ(std::wstring::npos, text.find(L"HYPERLINK"));
  EXPECT_EQ(std::wstring::npos, text.find(L"$"));
  size_t at = text.find(L"Terms of Service");
  ASSERT_NE(std::wstring::npos, at);
  EXPECT_EQ(0u, text.find(L"By clicking you agree to the "));
  CHARFORMAT2W format = FormatAt(static_cast<LONG>(at) + 1, static_cast<LONG>(at) + 5);
  EXPECT_TRUE(format.dwEffects & CFE_LINK);
  EXPECT_EQ(0x686868u, format.crTextColor);
  // The text around the link is no link.
  CHARFORMAT2W before = FormatAt(0, 5);
  EXPECT_FALSE(before.dwEffects & CFE_LINK);
}

PARAFORMAT2 ParagraphOf(HWND control) {
  CHARRANGE all = {0, -1};
  SendMessageW(control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all));
  PARAFORMAT2 format = {};
  format.cbSize = sizeof(format);
  format.dwMask = PFM_RTLPARA | PFM_ALIGNMENT;
  SendMessageW(control, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
  return format;
}

TEST_F(RichTextControlTest, RightToLeftParagraphsExchangeLeftAndRight) {
  SetWindowLongW(control_, GWL_EXSTYLE, GetWindowLongW(control_, GWL_EXSTYLE) | WS_EX_LAYOUTRTL);
  const std::wstring kArabic = L"\u0627\u0644\u0639\u0631\u0628\u064a\u0629";
  ASSERT_EQ(PFA_LEFT, ParagraphOf(control_).wAlignment);
  SetRichTextRightToLeft(control_);
  SetRichTextWithLinks(control_, kArabic + L" <a href=\"x\">www.velto.example</a> Velto.",
                       0x686868);
  EXPECT_TRUE(ParagraphOf(control_).wEffects & PFE_RTLPARA);
  EXPECT_EQ(PFA_RIGHT, ParagraphOf(control_).wAlignment);
  EXPECT_FALSE(GetWindowLongW(control_, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
  // Text and link survive.
  EXPECT_EQ(0u, Text().find(kArabic + L" "));
  size_t at = Text().find(L"www.velto.example");
  ASSERT_NE(std::wstring::npos, at);
  EXPECT_TRUE(FormatAt(static_cast<LONG>(at) + 1, static_cast<LONG>(at) + 3).dwEffects & CFE_LINK);
  EXPECT_EQ(0x686868u, FormatAt(static_cast<LONG>(at) + 1, static_cast<LONG>(at) + 3).crTextColor);
  // Text set again, and again made right to left: still right aligned.
  SetRichTextWithLinks(control_, kArabic, 0x686868);
  SetRichTextRightToLeft(control_);
  SetRichTextWithLinks(control_, kArabic, 0x686868);
  EXPECT_TRUE(ParagraphOf(control_).wEffects & PFE_RTLPARA);
  EXPECT_EQ(PFA_RIGHT, ParagraphOf(control_).wAlignment);
  EXPECT_EQ(kArabic, Text());
}

TEST_F(RichTextControlTest, CentredRightToLeftTextStaysCentred) {
  SetWindowLongW(control_, GWL_STYLE, GetWindowLongW(control_, GWL_STYLE) | ES_CENTER);
  SetRichTextRightToLeft(control_);
  SetRichTextWithLinks(control_, L"\u0627\u0644\u0639\u0631\u0628\u064a\u0629 Velto", 0x686868);
  EXPECT_EQ(PFA_CENTER, ParagraphOf(control_).wAlignment);
  EXPECT_TRUE(ParagraphOf(control_).wEffects & PFE_RTLPARA);
}

TEST_F(RichTextControlTest, TextWithoutLinksIsSetPlainly) {
  SetRichTextWithLinks(control_, L"Nothing to click", 0x686868);
  EXPECT_EQ(L"Nothing to click", Text());
}

}  // namespace
}  // namespace installer
