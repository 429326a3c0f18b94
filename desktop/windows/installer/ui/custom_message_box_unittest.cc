#include "desktop/windows/installer/ui/custom_message_box.h"

#include <richedit.h>

#include <algorithm>
#include <set>
#include <vector>

#include "base/functional/bind.h"
#include "desktop/windows/installer/ui/rich_text.h"
#include "desktop/windows/installer/ui/test/canvas.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"
#include "gtest/gtest.h"
#include "resources/installer_resource_ids.h"

namespace installer {
namespace {

std::wstring WindowText(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

class CustomMessageBoxTest : public testing::Test {
 protected:
  void SetUp() override {
    owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(owner_);
  }
  void TearDown() override { DestroyWindow(owner_); }

  CustomMessageBox::ResultCallback Recorder() {
    return base::BindRepeating([](std::vector<int>* results, int result) {
      results->push_back(result);
    }, &results_);
  }

  HWND Item(int id) { return GetDlgItem(box_.dialog(), id); }

  HWND owner_ = nullptr;
  std::vector<int> results_;
  CustomMessageBox box_;
};

TEST_F(CustomMessageBoxTest, ShowsLocalizedTitleButtonsAndText) {
  ASSERT_TRUE(box_.Show(owner_, 37066, L"Plain text", 37068, 37069, Recorder()));
  EXPECT_EQ(GetLocalizedString(37066), WindowText(box_.dialog()));
  EXPECT_EQ(GetLocalizedString(37068), WindowText(Item(IDC_MESSAGE_FIRST_BUTTON)));
  EXPECT_EQ(GetLocalizedString(37069), WindowText(Item(IDC_MESSAGE_SECOND_BUTTON)));
  EXPECT_FALSE(GetLocalizedString(37068).empty());
  EXPECT_EQ(L"Plain text", WindowText(Item(IDC_MESSAGE_TEXT)));
  EXPECT_TRUE(IsWindowVisible(Item(IDC_MESSAGE_FIRST_BUTTON)));
  EXPECT_EQ(IDC_MESSAGE_FIRST_BUTTON, LOWORD(SendMessageW(box_.dialog(), DM_GETDEFID, 0, 0)));
  EXPECT_EQ(Item(IDC_MESSAGE_FIRST_BUTTON), GetFocus());
}

TEST_F(CustomMessageBoxTest, WithoutFirstButtonTheSecondIsTheDefault) {
  ASSERT_TRUE(box_.Show(owner_, 37066, L"text", 0, 37002, Recorder()));
  EXPECT_FALSE(IsWindowVisible(Item(IDC_MESSAGE_FIRST_BUTTON)));
  EXPECT_TRUE(IsWindowVisible(Item(IDC_MESSAGE_SECOND_BUTTON)));
  EXPECT_EQ(IDC_MESSAGE_SECOND_BUTTON, LOWORD(SendMessageW(box_.dialog(), DM_GETDEFID, 0, 0)));
  EXPECT_EQ(GetLocalizedString(37002), WindowText(Item(IDC_MESSAGE_SECOND_BUTTON)));
}

TEST_F(CustomMessageBoxTest, EachAnswerIsReportedAndTheBoxStays) {
  ASSERT_TRUE(box_.Show(owner_, 37066, L"text", 37068, 37069, Recorder()));
  SendMessageW(Item(IDC_MESSAGE_FIRST_BUTTON), BM_CLICK, 0, 0);
  SendMessageW(Item(IDC_MESSAGE_SECOND_BUTTON), BM_CLICK, 0, 0);
  SendMessageW(box_.dialog(), WM_CLOSE, 0, 0);
  EXPECT_EQ((std::vector<int>{CustomMessageBox::kFirstButton, CustomMessageBox::kSecondButton,
                              CustomMessageBox::kClosed}),
            results_);
  EXPECT_TRUE(IsWindow(box_.dialog()));
}

// The area in which |control| draws the characters |from| to |to| of the
// first line.
RECT CharactersArea(HWND control, int from, int to) {
  POINTL start = {}, end = {};
  SendMessageW(control, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&start), from);
  SendMessageW(control, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&end), to);
  TEXTMETRICW metrics = {};
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return {std::min(start.x, end.x), start.y, std::max(start.x, end.x),
          start.y + metrics.tmHeight + 2};
}

// As the user sees it: the text in its dark red, the link in a colour of its
// own, and neither of them black.
TEST_F(CustomMessageBoxTest, TextAndLinkAreDrawnInTheirColours) {
  ASSERT_TRUE(box_.Show(owner_, 37066, L"Please go to <a href=\"tos\">the site</a> now", 37068,
                        37069, Recorder()));
  HWND text = Item(IDC_MESSAGE_TEXT);
  const std::wstring shown = WindowText(text);
  const int link = static_cast<int>(shown.find(L"the site"));
  ASSERT_GT(link, 0);
  Canvas drawn(Canvas::ClientSize(text));
  drawn.Print(text);
  const uint32_t kDarkRed = 0x640000;  // COLORREF 0x000064
  std::set<uint32_t> words = drawn.ColoursIn(CharactersArea(text, 0, 6));
  EXPECT_TRUE(words.count(kDarkRed));
  EXPECT_FALSE(words.count(0x000000));
  std::set<uint32_t> link_colours = drawn.ColoursIn(CharactersArea(text, link, link + 8));
  EXPECT_GT(link_colours.size(), 2u);
  EXPECT_FALSE(link_colours.count(kDarkRed));
  EXPECT_FALSE(link_colours.count(0x000000));
  // The colour the link is given (a renderer may draw links in its own).
  CHARFORMAT2W format = {};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_COLOR | CFM_LINK;
  CHARRANGE range = {link + 1, link + 2};
  SendMessageW(text, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
  SendMessageW(text, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  EXPECT_EQ(static_cast<COLORREF>(0x686868), format.crTextColor);
  EXPECT_TRUE(format.dwEffects & CFE_LINK);
}

// The text keeps off the edges of its white panel, in either direction.
TEST_F(CustomMessageBoxTest, TextKeepsAMarginInsideItsPanel) {
  for (const wchar_t* language : {L"en", L"ar"}) {
    std::wstring code = language;
    RcL10nHandler::GetInstance()->SetLanguage(&code);
    bool shown = box_.Show(owner_, 37066, GetLocalizedString(37067), 37068, 37069, Recorder());
    std::wstring english = L"en";
    RcL10nHandler::GetInstance()->SetLanguage(&english);
    ASSERT_TRUE(shown);
    HWND text = Item(IDC_MESSAGE_TEXT);
    Canvas drawn(Canvas::ClientSize(text));
    drawn.Print(text);
    const RECT ink = drawn.InkBounds();
    ASSERT_LT(ink.left, ink.right) << language;
    constexpr int kMargin = 5;
    EXPECT_GE(ink.left, kMargin) << language;
    EXPECT_GE(ink.top, kMargin) << language;
    EXPECT_LE(ink.right, drawn.size().cx - kMargin) << language;
    box_.Destroy();
  }
}

TEST_F(CustomMessageBoxTest, ClickingTheLinkReportsItAndLeavesTheBoxOpen) {
  ASSERT_TRUE(box_.Show(owner_, 37066, L"Go to <a href=\"tos\">the site</a> now", 37068, 37069,
                        Recorder()));
  HWND text = Item(IDC_MESSAGE_TEXT);
  std::wstring shown = WindowText(text);
  size_t at = shown.find(L"the site");
  ASSERT_NE(std::wstring::npos, at);
  POINTL point = {};
  SendMessageW(text, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&point), at + 2);
  LPARAM where = MAKELPARAM(point.x + 1, point.y + 3);
  SendMessageW(text, WM_LBUTTONDOWN, MK_LBUTTON, where);
  SendMessageW(text, WM_LBUTTONUP, 0, where);
  EXPECT_EQ(std::vector<int>{CustomMessageBox::kLinkClicked}, results_);
  EXPECT_TRUE(IsWindow(box_.dialog()));
}

TEST_F(CustomMessageBoxTest, OwnerIsDisabledUntilDestroy) {
  ASSERT_TRUE(box_.Show(owner_, 37066, L"text", 37068, 37069, Recorder()));
  EXPECT_FALSE(IsWindowEnabled(owner_));
  HWND dialog = box_.dialog();
  box_.Destroy();
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_EQ(nullptr, box_.dialog());
  // A second Destroy does nothing, not even to a re-disabled owner.
  EnableWindow(owner_, FALSE);
  box_.Destroy();
  EXPECT_FALSE(IsWindowEnabled(owner_));
  EnableWindow(owner_, TRUE);
}

TEST_F(CustomMessageBoxTest, RightToLeftLanguageMirrorsTheBox) {
  std::wstring arabic = L"ar";
  RcL10nHandler::GetInstance()->SetLanguage(&arabic);
  const wchar_t kText[] =
      L"\u064a\u064f\u0631\u062c\u0649 <a href=\"tos\">www.velto.example</a> "
      L"\u0648\u062a\u0646\u0632\u064a\u0644 Velto.";
  bool shown = box_.Show(owner_, 37066, kText, 37068, 37069, Recorder());
  std::wstring english = L"en";
  RcL10nHandler::GetInstance()->SetLanguage(&english);
  ASSERT_TRUE(shown);
  // Mirrored although its owner is not.
  EXPECT_TRUE(GetWindowLongW(box_.dialog(), GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
  RECT first, second;
  GetWindowRect(Item(IDC_MESSAGE_FIRST_BUTTON), &first);
  GetWindowRect(Item(IDC_MESSAGE_SECOND_BUTTON), &second);
  EXPECT_LT(second.right, first.left);
  // The text orders itself: an unmirrored rich edit with right-to-left
  // paragraphs, its link alive.
  HWND text = Item(IDC_MESSAGE_TEXT);
  EXPECT_FALSE(GetWindowLongW(text, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
  SendMessageW(text, EM_SETSEL, 0, -1);
  PARAFORMAT2 format = {};
  format.cbSize = sizeof(format);
  format.dwMask = PFM_RTLPARA | PFM_ALIGNMENT;
  SendMessageW(text, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
  EXPECT_TRUE(format.wEffects & PFE_RTLPARA);
  EXPECT_EQ(PFA_RIGHT, format.wAlignment);
  // Laid out right to left: the web address, before the product name in
  // the sentence, stands to its right, in its own order.
  std::wstring content = WindowText(text);
  POINTL address = {}, name = {};
  SendMessageW(text, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&address), content.find(L"www."));
  SendMessageW(text, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&name), content.find(L"Velto"));
  EXPECT_EQ(address.y, name.y);
  EXPECT_GT(address.x, name.x);
  EXPECT_NE(std::wstring::npos, content.find(L"www.velto.example"));
  // The title holds the product name: one right-to-left embedding.
  std::wstring title = WindowText(box_.dialog());
  ASSERT_FALSE(title.empty());
  EXPECT_EQ(L'\u202b', title.front());
}

TEST_F(CustomMessageBoxTest, LeftToRightLanguageKeepsTheBoxUnmirrored) {
  ASSERT_TRUE(box_.Show(owner_, 37066, L"Plain text", 37068, 37069, Recorder()));
  EXPECT_FALSE(GetWindowLongW(box_.dialog(), GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
  EXPECT_EQ(GetLocalizedString(37066), WindowText(box_.dialog()));
}

}  // namespace
}  // namespace installer
