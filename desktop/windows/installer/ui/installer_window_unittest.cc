#include "desktop/windows/installer/ui/installer_window.h"

#include <commctrl.h>

#include <richedit.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/functional/bind.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/synchronization/lock.h"
#include "base/time/time.h"
#include "base/values.h"
#include "base/win/resource_util.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/stats_scope.h"
#include "desktop/windows/installer/test/fake_installation_folder_details.h"
#include "desktop/windows/installer/test/fake_settings.h"
#include "desktop/windows/installer/ui/installer_string_ids.h"
#include "desktop/windows/rc_l10n_handler/available_languages.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"
#include "gtest/gtest.h"
#include "resources/installer_resource_ids.h"

namespace installer {
namespace {

class WindowTestSettings : public FakeSettings {
 public:
  FakeInstallationFolderDetails details;
  const InstallationFolderDetails* GetFolderDetails() const override { return &details; }
};

class RecordingDelegate : public InstallerWindowDelegate {
 public:
  void OnAccept() override { calls += "accept;"; }
  void OnCancel() override { calls += "cancel;"; }
  void OnGetFullPackage() override { calls += "full;"; }
  std::string calls;
};

std::wstring Text(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(GetWindowTextW(window, text.data(), length + 1));
  return text;
}

// Every test runs once in English and once in German.
class InstallerWindowTest : public testing::TestWithParam<const wchar_t*> {
 protected:
  void SetUp() override {
    std::wstring language = GetParam();
    RcL10nHandler::GetInstance()->SetLanguage(&language);
    ASSERT_EQ(GetParam(), language);
  }
  void TearDown() override {
    window_.reset();
    SetProcessDefaultLayout(0);
    std::wstring english = L"en";
    RcL10nHandler::GetInstance()->SetLanguage(&english);
  }

  void MakeWindow(bool run_immediately = false) {
    window_ = InstallerWindow::Create(
        &settings_,
        std::make_unique<StatsScope>(&stats_, &lock_, base::TimeTicks::Now(),
                                     std::vector<StatsScope::PathElement>()),
        run_immediately);
    ASSERT_TRUE(window_);
    window_->AddDelegate(&delegate_);
  }

  HWND Main(int id) { return GetDlgItem(window_->main_dialog(), id); }
  HWND Options(int id) { return GetDlgItem(window_->options_dialog(), id); }
  bool Shown(int id) { return GetWindowLongW(Main(id), GWL_STYLE) & WS_VISIBLE; }

  // The ids among |ids| that are visible, in order.
  std::vector<int> VisibleOf(std::initializer_list<int> ids) {
    std::vector<int> visible;
    for (int id : ids) {
      if (Shown(id))
        visible.push_back(id);
    }
    return visible;
  }

  const base::Value::List& PageSequence() {
    const base::Value::List* list = stats_.FindList("ui.page_sequence");
    EXPECT_TRUE(list);
    static const base::Value::List kEmpty;
    return list ? *list : kEmpty;
  }

  // Runs |action| inside the UI loop, where a modal loop still runs the
  // loop's delayed tasks.
  void RunInLoop(base::OnceClosure action) {
    base::RunLoop run_loop;
    base::MessageLoop::current()->task_runner()->PostTask(
        FROM_HERE, base::BindOnce(
                       [](base::OnceClosure action, base::RunLoop* run_loop) {
                         std::move(action).Run();
                         run_loop->Quit();
                       },
                       std::move(action), &run_loop));
    run_loop.Run();
  }

  const base::Value::Dict& LastPage() { return PageSequence().back().GetDict(); }

  // Answers the next message box owned by the main dialog with |button|,
  // from inside its modal loop, after checking that its buttons are
  // localized.
  void AnswerMessageBoxWith(int button) {
    HWND owner = window_->main_dialog();
    base::MessageLoop::current()->task_runner()->PostDelayedTask(
        FROM_HERE,
        base::BindOnce(
            [](HWND owner, int button, std::wstring* button_text) {
              HWND box = nullptr;
              EnumThreadWindows(
                  GetCurrentThreadId(),
                  [](HWND window, LPARAM found) -> BOOL {
                    wchar_t name[16] = {};
                    GetClassNameW(window, name, 16);
                    if (std::wstring(name) != L"#32770" ||
                        GetWindow(window, GW_OWNER) == nullptr)
                      return TRUE;
                    *reinterpret_cast<HWND*>(found) = window;
                    return FALSE;
                  },
                  reinterpret_cast<LPARAM>(&box));
              if (!box)
                return;
              *button_text = Text(GetDlgItem(box, button));
              PostMessageW(box, WM_COMMAND, button, 0);
            },
            owner, button, &answered_button_text_),
        base::TimeDelta::FromMilliseconds(50));
  }

  base::MessageLoop loop_{base::MessageLoop::TYPE_UI};
  base::Value::Dict stats_;
  base::Lock lock_;
  WindowTestSettings settings_;
  RecordingDelegate delegate_;
  std::unique_ptr<InstallerWindow> window_;
  std::wstring answered_button_text_;
};

INSTANTIATE_TEST_SUITE_P(Languages, InstallerWindowTest, testing::Values(L"en", L"de"));

constexpr std::initializer_list<int> kPageControls = {
    IDC_BANNER, IDC_TERMS_TEXT, IDC_BACK_BUTTON, IDC_TAGLINE, IDC_TERMS_SENTENCE,
    IDC_OPTIONS_BUTTON, IDC_ACCEPT_BUTTON, IDC_THANK_YOU_TITLE, IDC_STATUS_TEXT,
    IDC_PROGRESS_BAR, IDC_INSTALL_FAILURE_TITLE, IDC_UNINSTALL_FAILURE_TITLE,
    IDC_TRY_AGAIN_BUTTON, IDC_FULL_PACKAGE_BUTTON, IDC_CANCEL_BUTTON, IDC_UNINSTALL_BUTTON,
    IDC_DELETE_USER_DATA_CHECK, IDC_UNINSTALL_QUESTION};

TEST_P(InstallerWindowTest, InstallPagesShowTheirControls) {
  MakeWindow();
  EXPECT_EQ(InstallerWindow::WELCOME, window_->current_page());
  EXPECT_EQ((std::vector<int>{IDC_BANNER, IDC_TAGLINE, IDC_TERMS_SENTENCE, IDC_OPTIONS_BUTTON,
                              IDC_ACCEPT_BUTTON}),
            VisibleOf(kPageControls));
  EXPECT_FALSE(IsWindowVisible(window_->options_dialog()));
  window_->ShowPage(InstallerWindow::TOS);
  EXPECT_EQ((std::vector<int>{IDC_TERMS_TEXT, IDC_BACK_BUTTON, IDC_ACCEPT_BUTTON}),
            VisibleOf(kPageControls));
  window_->ShowPage(InstallerWindow::OPTIONS);
  EXPECT_EQ((std::vector<int>{IDC_BACK_BUTTON, IDC_ACCEPT_BUTTON}), VisibleOf(kPageControls));
  EXPECT_TRUE(IsWindowVisible(window_->options_dialog()));
  window_->ShowPage(InstallerWindow::PROGRESS);
  EXPECT_EQ((std::vector<int>{IDC_BANNER, IDC_THANK_YOU_TITLE, IDC_STATUS_TEXT, IDC_PROGRESS_BAR}),
            VisibleOf(kPageControls));
  EXPECT_FALSE(IsWindowVisible(window_->options_dialog()));
  window_->ShowPage(InstallerWindow::ERROR_PAGE);
  // An installation's error page has no uninstall failure title.
  EXPECT_EQ((std::vector<int>{IDC_BANNER, IDC_BACK_BUTTON, IDC_STATUS_TEXT,
                              IDC_INSTALL_FAILURE_TITLE, IDC_TRY_AGAIN_BUTTON,
                              IDC_FULL_PACKAGE_BUTTON}),
            VisibleOf(kPageControls));
}

TEST_P(InstallerWindowTest, UninstallPagesShowTheirControls) {
  settings_.Set(UNINSTALL_FLAG, true);
  settings_.operation = UNINSTALLING;
  MakeWindow();
  EXPECT_EQ(InstallerWindow::UNINSTALL, window_->current_page());
  EXPECT_EQ((std::vector<int>{IDC_BANNER, IDC_CANCEL_BUTTON, IDC_UNINSTALL_BUTTON,
                              IDC_DELETE_USER_DATA_CHECK, IDC_UNINSTALL_QUESTION}),
            VisibleOf(kPageControls));
  EXPECT_EQ(GetLocalizedString(strings::kUninstall), Text(Main(IDC_UNINSTALL_BUTTON)));
  EXPECT_EQ(GetLocalizedString(strings::kDeleteUserData), Text(Main(IDC_DELETE_USER_DATA_CHECK)));
  window_->ShowPage(InstallerWindow::PROGRESS);
  // No thank-you title while uninstalling.
  EXPECT_EQ((std::vector<int>{IDC_BANNER, IDC_STATUS_TEXT, IDC_PROGRESS_BAR}),
            VisibleOf(kPageControls));
  window_->ShowError(L"failed", false, "reason");
  EXPECT_TRUE(Shown(IDC_UNINSTALL_FAILURE_TITLE));
  EXPECT_FALSE(Shown(IDC_INSTALL_FAILURE_TITLE));
  // No way back from a failed uninstallation.
  EXPECT_FALSE(Shown(IDC_BACK_BUTTON));
  EXPECT_EQ(GetLocalizedString(strings::kUninstallFailed), Text(Main(IDC_UNINSTALL_FAILURE_TITLE)));
}

TEST_P(InstallerWindowTest, TextsAreLocalized) {
  MakeWindow();
  EXPECT_EQ(GetLocalizedString(strings::kInstallerTitle), Text(window_->main_dialog()));
  EXPECT_EQ(GetLocalizedString(strings::kAcceptAndInstall), Text(Main(IDC_ACCEPT_BUTTON)));
  EXPECT_EQ(GetLocalizedString(strings::kOptions), Text(Main(IDC_OPTIONS_BUTTON)));
  EXPECT_EQ(GetLocalizedString(strings::kChange), Text(Options(IDC_CHANGE_BUTTON)));
  EXPECT_EQ(GetLocalizedString(strings::kLanguage), Text(Options(IDC_LANGUAGE_LABEL)));
  if (std::wstring(GetParam()) == L"de")
    EXPECT_EQ(L"Akzeptieren und installieren", Text(Main(IDC_ACCEPT_BUTTON)));
  // The terms sentence quotes the Accept button and shows no markup.
  std::wstring sentence = Text(Main(IDC_TERMS_SENTENCE));
  EXPECT_NE(std::wstring::npos, sentence.find(GetLocalizedString(strings::kAcceptAndInstall)));
  EXPECT_EQ(std::wstring::npos, sentence.find(L"<a"));
  // The current-user entry names the user in parentheses.
  HWND install_for = Options(IDC_INSTALL_FOR_COMBO);
  EXPECT_EQ(3, SendMessageW(install_for, CB_GETCOUNT, 0, 0));
  wchar_t entry[256] = {};
  SendMessageW(install_for, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(entry));
  std::wstring current_user = entry;
  EXPECT_EQ(0u, current_user.find(GetLocalizedString(strings::kCurrentUser) + L" ("));
  EXPECT_EQ(L')', current_user.back());
}

TEST_P(InstallerWindowTest, ExistingInstallationIsUpgraded) {
  settings_.details.traces = true;
  MakeWindow();
  std::wstring upgrade = GetLocalizedString(strings::kAcceptAndUpgrade);
  EXPECT_EQ(upgrade, Text(Main(IDC_ACCEPT_BUTTON)));
  EXPECT_NE(std::wstring::npos, Text(Main(IDC_TERMS_SENTENCE)).find(upgrade));
}

TEST_P(InstallerWindowTest, InvalidPathDisablesAcceptAndBack) {
  settings_.details.valid = false;
  MakeWindow();
  window_->ShowPage(InstallerWindow::OPTIONS);
  EXPECT_FALSE(IsWindowEnabled(Main(IDC_ACCEPT_BUTTON)));
  EXPECT_FALSE(IsWindowEnabled(Main(IDC_BACK_BUTTON)));
  EXPECT_TRUE(IsWindowVisible(Options(IDC_INVALID_PATH_TEXT)));
  EXPECT_EQ(GetLocalizedString(strings::kInvalidPath), Text(Options(IDC_INVALID_PATH_TEXT)));

  settings_.details.valid = true;
  window_->OnPathChanged();
  EXPECT_TRUE(IsWindowEnabled(Main(IDC_ACCEPT_BUTTON)));
  EXPECT_TRUE(IsWindowEnabled(Main(IDC_BACK_BUTTON)));
  EXPECT_FALSE(IsWindowVisible(Options(IDC_INVALID_PATH_TEXT)));
}

TEST_P(InstallerWindowTest, PageSequenceRecordsEachPageAndNavigation) {
  MakeWindow();
  SendMessageW(Main(IDC_OPTIONS_BUTTON), BM_CLICK, 0, 0);
  SendMessageW(Main(IDC_BACK_BUTTON), BM_CLICK, 0, 0);
  // Showing the current page again records nothing.
  window_->ShowPage(InstallerWindow::WELCOME);
  SendMessageW(Main(IDC_ACCEPT_BUTTON), BM_CLICK, 0, 0);
  const base::Value::List& pages = PageSequence();
  ASSERT_EQ(3u, pages.size());
  const char* const kTypes[] = {"WELCOME", "OPTIONS", "WELCOME"};
  const char* const kActions[] = {"OPTIONS", "BACK", "ACCEPT"};
  for (size_t i = 0; i < 3; ++i) {
    const base::Value::Dict& page = pages[i].GetDict();
    EXPECT_EQ(kTypes[i], *page.FindString("page_type"));
    EXPECT_EQ(kActions[i], *page.FindString("navigation_action"));
    EXPECT_TRUE(page.Find("navigation_time"));
  }
  EXPECT_EQ("accept;", delegate_.calls);
}

TEST_P(InstallerWindowTest, ProgressNeverMovesBackwards) {
  MakeWindow(true);
  EXPECT_EQ(InstallerWindow::PROGRESS, window_->current_page());
  window_->SetProgressRange(100, 1303, false);
  HWND bar = Main(IDC_PROGRESS_BAR);
  EXPECT_EQ(100, SendMessageW(bar, PBM_GETPOS, 0, 0));
  window_->SetProgressPos(105);
  EXPECT_EQ(105, SendMessageW(bar, PBM_GETPOS, 0, 0));
  window_->SetProgressPos(103);
  EXPECT_EQ(105, SendMessageW(bar, PBM_GETPOS, 0, 0));
  window_->SetProgressPos(400);
  EXPECT_EQ(400, SendMessageW(bar, PBM_GETPOS, 0, 0));
  window_->SetProgressPos(0);
  EXPECT_EQ(400, SendMessageW(bar, PBM_GETPOS, 0, 0));
  window_->SetProgressText(0);
  EXPECT_EQ(GetLocalizedString(strings::kDownloading), Text(Main(IDC_STATUS_TEXT)));
  window_->SetProgressText(2);
  EXPECT_EQ(GetLocalizedString(strings::kExtracting), Text(Main(IDC_STATUS_TEXT)));
}

TEST_P(InstallerWindowTest, ErrorOffersTheFullInstallerOnlyWhenTold) {
  MakeWindow();
  window_->ShowError(L"Download failed", true, "download");
  EXPECT_EQ(InstallerWindow::ERROR_PAGE, window_->current_page());
  EXPECT_TRUE(Shown(IDC_FULL_PACKAGE_BUTTON));
  EXPECT_TRUE(Shown(IDC_BACK_BUTTON));
  EXPECT_EQ(L"Download failed", Text(Main(IDC_STATUS_TEXT)));
  EXPECT_EQ("download", *LastPage().FindString("failure_reason"));
  SendMessageW(Main(IDC_FULL_PACKAGE_BUTTON), BM_CLICK, 0, 0);
  SendMessageW(Main(IDC_TRY_AGAIN_BUTTON), BM_CLICK, 0, 0);
  EXPECT_EQ("full;accept;", delegate_.calls);

  window_->ShowPage(InstallerWindow::PROGRESS);
  window_->ShowError(L"Copy failed", false, "copy");
  EXPECT_FALSE(Shown(IDC_FULL_PACKAGE_BUTTON));
  EXPECT_TRUE(Shown(IDC_TRY_AGAIN_BUTTON));
}

TEST_P(InstallerWindowTest, RunImmediatelyErrorHasNoBack) {
  MakeWindow(true);
  window_->ShowError(L"failed", false, "reason");
  EXPECT_FALSE(Shown(IDC_BACK_BUTTON));
}

TEST_P(InstallerWindowTest, CancelAnsweredYesEndsTheRun) {
  MakeWindow();
  AnswerMessageBoxWith(IDYES);
  RunInLoop(base::BindOnce(&InstallerWindow::ConfirmCancel, base::Unretained(window_.get()),
                           window_->main_dialog()));
  EXPECT_EQ(GetLocalizedString(strings::kYes), answered_button_text_);
  EXPECT_EQ("cancel;", delegate_.calls);
  EXPECT_EQ("CANCEL", *LastPage().FindString("navigation_action"));
}

TEST_P(InstallerWindowTest, CancelAnsweredNoChangesNothing) {
  MakeWindow();
  HWND cancel = Main(IDC_CANCEL_BUTTON);
  AnswerMessageBoxWith(IDNO);
  RunInLoop(base::BindOnce([](HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }, cancel));
  EXPECT_EQ(GetLocalizedString(strings::kNo), answered_button_text_);
  answered_button_text_.clear();
  // Closing the window asks the same.
  AnswerMessageBoxWith(IDNO);
  RunInLoop(base::BindOnce([](HWND dialog) { SendMessageW(dialog, WM_CLOSE, 0, 0); },
                           window_->main_dialog()));
  EXPECT_EQ(GetLocalizedString(strings::kNo), answered_button_text_);
  EXPECT_EQ("", delegate_.calls);
  EXPECT_FALSE(LastPage().Find("navigation_action"));
  EXPECT_TRUE(IsWindow(window_->main_dialog()));
}

TEST(InstallerWindowLayoutTest, RightToLeftLanguagesAreKnown) {
  EXPECT_TRUE(InstallerWindow::IsRightToLeftLanguage(L"ar"));
  EXPECT_TRUE(InstallerWindow::IsRightToLeftLanguage(L"he"));
  EXPECT_TRUE(InstallerWindow::IsRightToLeftLanguage(L"fa"));
  EXPECT_FALSE(InstallerWindow::IsRightToLeftLanguage(L"de"));
  EXPECT_FALSE(InstallerWindow::IsRightToLeftLanguage(L"en"));
  EXPECT_FALSE(InstallerWindow::IsRightToLeftLanguage(L""));
}

TEST_P(InstallerWindowTest, RightToLeftLanguageMirrorsTheWindow) {
  settings_.language = L"ar";
  MakeWindow();
  EXPECT_TRUE(GetWindowLongW(window_->main_dialog(), GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
  RECT dialog, back, accept;
  GetWindowRect(window_->main_dialog(), &dialog);
  GetWindowRect(Main(IDC_OPTIONS_BUTTON), &back);
  GetWindowRect(Main(IDC_ACCEPT_BUTTON), &accept);
  // Options sits at the leading edge: on the right.
  EXPECT_GT(back.left, accept.left);
  window_.reset();
  settings_.language = L"en";
  MakeWindow();
  EXPECT_FALSE(GetWindowLongW(window_->main_dialog(), GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
}

TEST_P(InstallerWindowTest, TermsTextIsTheWholeResource) {
  MakeWindow();
  const void* data = nullptr;
  size_t length = 0;
  ASSERT_TRUE(base::win::GetResourceFromModule(nullptr, IDR_TERMS_TXT, L"TXT", &data, &length));
  std::wstring terms = base::UTF8ToWide(std::string(static_cast<const char*>(data), length));
  std::wstring expected;
  for (wchar_t c : terms) {
    if (c == L'\n' && (expected.empty() || expected.back() != L'\r'))
      expected.push_back(L'\r');
    expected.push_back(c);
  }
  EXPECT_EQ(expected, Text(Main(IDC_TERMS_TEXT)));
}

bool HasDirectionalFormatting(const std::wstring& text) {
  return text.find_first_of(L"\u200e\u200f\u202a\u202b\u202c\u202d\u202e") != std::wstring::npos;
}

std::wstring ComboEntry(HWND combo, int index) {
  LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, index, 0);
  std::wstring text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
  LRESULT copied = SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(std::max<LRESULT>(copied, 0)));
  return text;
}

PARAFORMAT2 ParagraphOf(HWND rich_edit) {
  SendMessageW(rich_edit, EM_SETSEL, 0, -1);
  PARAFORMAT2 format = {};
  format.cbSize = sizeof(format);
  format.dwMask = PFM_RTLPARA | PFM_ALIGNMENT;
  SendMessageW(rich_edit, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
  SendMessageW(rich_edit, EM_SETSEL, 0, 0);
  return format;
}

bool Mirrored(HWND window) {
  return GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYOUTRTL;
}

TEST_P(InstallerWindowTest, LeftToRightTextsCarryNoDirectionalFormatting) {
  MakeWindow();
  window_->SetProgressText(3);
  for (HWND dialog : {window_->main_dialog(), window_->options_dialog()}) {
    EXPECT_FALSE(HasDirectionalFormatting(Text(dialog)));
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      EXPECT_FALSE(HasDirectionalFormatting(Text(child))) << GetDlgCtrlID(child);
      int entries = static_cast<int>(SendMessageW(child, CB_GETCOUNT, 0, 0));
      for (int i = 0; i < entries && GetDlgCtrlID(child) != IDC_LANGUAGE_COMBO; ++i)
        EXPECT_FALSE(HasDirectionalFormatting(ComboEntry(child, i))) << GetDlgCtrlID(child);
    }
  }
  EXPECT_FALSE(ParagraphOf(Main(IDC_TAGLINE)).wEffects & PFE_RTLPARA);
}

// The window in Arabic, its texts from the Arabic string table.
class InstallerWindowRightToLeftTest : public InstallerWindowTest {
 protected:
  void SetUp() override {
    InstallerWindowTest::SetUp();
    settings_.language = GetParam();
  }
  static std::wstring Embedded(const std::wstring& text) { return L"\u202b" + text; }
};

INSTANTIATE_TEST_SUITE_P(Arabic, InstallerWindowRightToLeftTest, testing::Values(L"ar"));

TEST_P(InstallerWindowRightToLeftTest, LabelsWithLatinWordsReadRightToLeft) {
  MakeWindow();
  ASSERT_TRUE(Mirrored(window_->main_dialog()));
  // The product name ends the sentence: it belongs at the left end.
  EXPECT_EQ(Embedded(GetLocalizedString(strings::kShareUsageData)),
            Text(Options(IDC_USAGE_DATA_CHECK)));
  EXPECT_EQ(Embedded(GetLocalizedString(strings::kInstallerTitle)), Text(window_->main_dialog()));
  EXPECT_EQ(Embedded(GetLocalizedString(strings::kThankYou)), Text(Main(IDC_THANK_YOU_TITLE)));
  // Arabic alone reads the same in any base direction: left as it is.
  EXPECT_EQ(GetLocalizedString(strings::kOptions), Text(Main(IDC_OPTIONS_BUTTON)));
  window_->ShowError(L"\u062a\u0639\u0630\u0651\u0631 Velto.", false, "test");
  EXPECT_EQ(Embedded(L"\u062a\u0639\u0630\u0651\u0631 Velto."), Text(Main(IDC_STATUS_TEXT)));
}

TEST_P(InstallerWindowRightToLeftTest, PathsAndTermsReadLeftToRight) {
  MakeWindow();
  HWND combo = Options(IDC_INSTALL_PATH_COMBO);
  COMBOBOXINFO info = {sizeof(info)};
  ASSERT_TRUE(GetComboBoxInfo(combo, &info));
  // The combo sits mirrored among the others; the path in it does not.
  EXPECT_TRUE(Mirrored(combo));
  EXPECT_FALSE(Mirrored(info.hwndItem));
  EXPECT_EQ(settings_.install_path.value(), Text(info.hwndItem));
  EXPECT_FALSE(Mirrored(Main(IDC_TERMS_TEXT)));
  EXPECT_TRUE(Mirrored(Main(IDC_ACCEPT_BUTTON)));
}

TEST_P(InstallerWindowRightToLeftTest, RichTextsHaveRightToLeftParagraphs) {
  MakeWindow();
  for (int id : {IDC_TAGLINE, IDC_TERMS_SENTENCE}) {
    EXPECT_TRUE(ParagraphOf(Main(id)).wEffects & PFE_RTLPARA) << id;
    EXPECT_EQ(PFA_CENTER, ParagraphOf(Main(id)).wAlignment) << id;
    EXPECT_FALSE(Mirrored(Main(id))) << id;
  }
  // "VELTO." keeps its full stop on its right, and ends the sentence at
  // the left.
  std::wstring name = GetLocalizedString(strings::kProductNameCapitals);
  std::wstring tagline = Text(Main(IDC_TAGLINE));
  size_t at = tagline.find(L"\u200e" + name + L"\u200e");
  ASSERT_NE(std::wstring::npos, at);
  POINTL start = {}, product = {}, stop = {};
  SendMessageW(Main(IDC_TAGLINE), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&start), 0);
  SendMessageW(Main(IDC_TAGLINE), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&product), at + 1);
  SendMessageW(Main(IDC_TAGLINE), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&stop),
               at + name.size());
  EXPECT_LT(product.x, start.x);
  EXPECT_GT(stop.x, product.x);
  // Set again for an upgrade, the terms sentence stays centred.
  settings_.details.traces = true;
  window_->UpdateControls(false);
  EXPECT_EQ(PFA_CENTER, ParagraphOf(Main(IDC_TERMS_SENTENCE)).wAlignment);
}

TEST_P(InstallerWindowRightToLeftTest, LanguagesAreNamedInTheirOwnDirection) {
  MakeWindow();
  HWND combo = Options(IDC_LANGUAGE_COMBO);
  std::vector<std::wstring> languages = GetAvailableLanguages();
  int checked = 0;
  for (int i = 0; i < static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0)); ++i) {
    const std::wstring& code = languages[SendMessageW(combo, CB_GETITEMDATA, i, 0)];
    std::wstring name = GetLocalizedStringForLanguage(code, 37051);
    if (code == L"en") {
      EXPECT_EQ(L"\u202a" + name, ComboEntry(combo, i));
      ++checked;
    } else if (code == L"ar") {
      EXPECT_EQ(Embedded(name), ComboEntry(combo, i));
      ++checked;
    }
  }
  EXPECT_EQ(2, checked);
}

}  // namespace
}  // namespace installer
