#include "desktop/windows/installer/ui/installer_window.h"

#include <commctrl.h>

#include <richedit.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "base/functional/bind.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/synchronization/lock.h"
#include "base/time/time.h"
#include "base/values.h"
#include "base/win/resource_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_gdi_object.h"
#include "desktop/windows/installer/service/test/fake_association_shell.h"
#include "desktop/windows/installer/service/test/fake_windows_version_provider.h"
#include "desktop/windows/installer/stats_scope.h"
#include "desktop/windows/installer/test/fake_installation_folder_details.h"
#include "desktop/windows/installer/test/fake_settings.h"
#include "desktop/windows/installer/ui/folder_browser.h"
#include "desktop/windows/installer/ui/installer_string_ids.h"
#include "desktop/windows/installer/ui/resource_image.h"
#include "desktop/windows/installer/ui/rich_text.h"
#include "desktop/windows/installer/ui/test/canvas.h"
#include "desktop/windows/rc_l10n_handler/available_languages.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"
#include "gtest/gtest.h"
#include "resources/installer_resource_ids.h"

namespace installer {
namespace {

class WindowTestSettings : public FakeSettings {
 public:
  FakeInstallationFolderDetails details;
  std::vector<base::FilePath> suggested;
  std::vector<std::wstring> folders_set;
  SettingsObserver* observer = nullptr;
  const InstallationFolderDetails* GetFolderDetails() const override { return &details; }
  void GetSuggestedInstallFolders(std::vector<base::FilePath>* folders) const override {
    *folders = suggested;
  }
  void SetInstallFolder(const base::FilePath& folder) override {
    folders_set.push_back(folder.value());
  }
  void AddObserver(SettingsObserver* added) override { observer = added; }
  void RemoveObserver(SettingsObserver* removed) override {
    if (observer == removed)
      observer = nullptr;
  }
  // As the real settings do: the strings follow, then the observers hear.
  void SetInstallLanguage(const std::wstring& code) override {
    language = code;
    RcL10nHandler::GetInstance()->SetLanguage(&language);
    if (observer)
      observer->OnLanguageChanged();
  }
};

// Answers the folder picker with |answer| (cancels when it is empty).
class FakeFolderBrowser : public FolderBrowser {
 public:
  bool BrowseForFolder(HWND owner, const std::wstring& title, const std::wstring& initial_folder,
                       std::wstring* folder) override {
    ++calls;
    this->owner = owner;
    this->title = title;
    this->initial_folder = initial_folder;
    if (answer.empty())
      return false;
    *folder = answer;
    return true;
  }
  int calls = 0;
  HWND owner = nullptr;
  std::wstring title;
  std::wstring initial_folder;
  std::wstring answer;
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

std::wstring ComboEntry(HWND combo, int index) {
  LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, index, 0);
  std::wstring text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
  LRESULT copied = SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(std::max<LRESULT>(copied, 0)));
  return text;
}

bool HasDirectionalFormatting(const std::wstring& text) {
  return text.find_first_of(L"\u200e\u200f\u202a\u202b\u202c\u202d\u202e") != std::wstring::npos;
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

RECT ScreenRect(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return rect;
}

// The user picks |code| in the options page's language list.
void ChooseLanguage(HWND options_dialog, const std::wstring& code) {
  HWND combo = GetDlgItem(options_dialog, IDC_LANGUAGE_COMBO);
  const std::vector<std::wstring> languages = GetAvailableLanguages();
  const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    if (languages[static_cast<size_t>(SendMessageW(combo, CB_GETITEMDATA, i, 0))] != code)
      continue;
    SendMessageW(combo, CB_SETCURSEL, i, 0);
    SendMessageW(options_dialog, WM_COMMAND, MAKEWPARAM(IDC_LANGUAGE_COMBO, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    return;
  }
  ADD_FAILURE() << "no entry for " << code;
}

// The window in English.
class InstallerWindowTest : public testing::Test {
 protected:
  void SetUp() override { UseLanguage(L"en"); }
  void UseLanguage(const wchar_t* code) {
    std::wstring language = code;
    RcL10nHandler::GetInstance()->SetLanguage(&language);
    ASSERT_EQ(code, language);
    settings_.language = language;
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
        run_immediately, environment_);
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

  // Makes the window and shows the options page with the focus in its path
  // box, the text selected from |start| to |end| (-1: the end); returns the
  // box's edit field.
  HWND FocusPathBox(int start, int end) {
    MakeWindow();
    if (!window_)
      return nullptr;
    window_->ShowPage(InstallerWindow::OPTIONS);
    COMBOBOXINFO info = {sizeof(info)};
    if (!GetComboBoxInfo(Options(IDC_INSTALL_PATH_COMBO), &info))
      return nullptr;
    SetFocus(info.hwndItem);
    SendMessageW(info.hwndItem, EM_SETSEL, start, end);
    return info.hwndItem;
  }

  // A keystroke in the path box's |edit| field; the settings then analyse
  // the folder it gave them, as they spell it, and tell the window.
  void TypeAndAnalyse(HWND edit, wchar_t key) {
    SendMessageW(edit, WM_CHAR, key, 1);
    ASSERT_FALSE(settings_.folders_set.empty());
    settings_.install_path =
        base::FilePath(settings_.folders_set.back()).NormalizePathSeparators();
    window_->OnPathChanged();
  }

  static std::pair<size_t, size_t> Selection(HWND edit) {
    DWORD start = 0, end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    return {start, end};
  }

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
  FakeFolderBrowser folder_browser_;
  FakeWindowsVersionProvider windows_version_{base::win::VERSION_WIN7};
  FakeAssociationShell association_shell_;
  InstallerWindowEnvironment environment_{&folder_browser_, &windows_version_,
                                          &association_shell_};
  base::Value::Dict stats_;
  base::Lock lock_;
  WindowTestSettings settings_;
  RecordingDelegate delegate_;
  std::unique_ptr<InstallerWindow> window_;
  std::wstring answered_button_text_;
};

// Texts that depend on the language: once in English and once in German.
class InstallerWindowLanguageTest : public InstallerWindowTest,
                                    public testing::WithParamInterface<const wchar_t*> {
 protected:
  void SetUp() override { UseLanguage(GetParam()); }
};

INSTANTIATE_TEST_SUITE_P(Languages, InstallerWindowLanguageTest, testing::Values(L"en", L"de"));

constexpr std::initializer_list<int> kPageControls = {
    IDC_BANNER, IDC_TERMS_TEXT, IDC_BACK_BUTTON, IDC_TAGLINE, IDC_TERMS_SENTENCE,
    IDC_OPTIONS_BUTTON, IDC_ACCEPT_BUTTON, IDC_THANK_YOU_TITLE, IDC_STATUS_TEXT,
    IDC_PROGRESS_BAR, IDC_INSTALL_FAILURE_TITLE, IDC_UNINSTALL_FAILURE_TITLE,
    IDC_TRY_AGAIN_BUTTON, IDC_FULL_PACKAGE_BUTTON, IDC_CANCEL_BUTTON, IDC_UNINSTALL_BUTTON,
    IDC_DELETE_USER_DATA_CHECK, IDC_UNINSTALL_QUESTION};

TEST_F(InstallerWindowTest, InstallPagesShowTheirControls) {
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

TEST_F(InstallerWindowTest, UninstallPagesShowTheirControls) {
  settings_.Set(UNINSTALL_FLAG, true);
  settings_.operation = UNINSTALLING;
  MakeWindow();
  EXPECT_EQ(InstallerWindow::UNINSTALL, window_->current_page());
  EXPECT_EQ((std::vector<int>{IDC_BANNER, IDC_CANCEL_BUTTON, IDC_UNINSTALL_BUTTON,
                              IDC_DELETE_USER_DATA_CHECK, IDC_UNINSTALL_QUESTION}),
            VisibleOf(kPageControls));
  EXPECT_EQ(GetLocalizedString(strings::kUninstall), Text(Main(IDC_UNINSTALL_BUTTON)));
  EXPECT_EQ(GetLocalizedString(strings::kDeleteUserData), Text(Main(IDC_DELETE_USER_DATA_CHECK)));
  // The choice to delete the user data counts on its page.
  SendMessageW(Main(IDC_DELETE_USER_DATA_CHECK), BM_CLICK, 0, 0);
  EXPECT_EQ(1, LastPage().FindInt("changed_delete_profile"));
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

// Where |control| draws its ink, in screen coordinates.
RECT DrawnInk(HWND control) {
  Canvas drawn(Canvas::ClientSize(control));
  drawn.Print(control);
  RECT ink = drawn.InkBounds();
  MapWindowPoints(control, nullptr, reinterpret_cast<POINT*>(&ink), 2);
  if (ink.left > ink.right)
    std::swap(ink.left, ink.right);
  return ink;
}

// The question is centred; its check box stands centred under it, whole.
// (The question's Arabic lines themselves stand off centre under Wine, which
// centres them by the width of the letters unjoined.)
TEST_F(InstallerWindowTest, UninstallCheckBoxStandsCentredUnderTheQuestion) {
  settings_.Set(UNINSTALL_FLAG, true);
  settings_.operation = UNINSTALLING;
  for (const wchar_t* language : {L"en", L"de", L"ar"}) {
    UseLanguage(language);
    MakeWindow();
    const RECT question = ScreenRect(Main(IDC_UNINSTALL_QUESTION));
    const RECT check = DrawnInk(Main(IDC_DELETE_USER_DATA_CHECK));
    ASSERT_LT(check.left, check.right) << language;
    EXPECT_NEAR((question.left + question.right) / 2, (check.left + check.right) / 2, 4)
        << language;
    // Its text ends before the control does: nothing of it is cut off.
    const RECT control = ScreenRect(Main(IDC_DELETE_USER_DATA_CHECK));
    if (std::wstring(language) == L"ar")
      EXPECT_GT(check.left, control.left);
    else
      EXPECT_LT(check.right, control.right) << language;
    window_.reset();
  }
}

TEST_P(InstallerWindowLanguageTest, TextsAreLocalized) {
  MakeWindow();
  EXPECT_EQ(GetLocalizedString(strings::kInstallerTitle), Text(window_->main_dialog()));
  EXPECT_EQ(GetLocalizedString(strings::kAcceptAndInstall), Text(Main(IDC_ACCEPT_BUTTON)));
  EXPECT_EQ(GetLocalizedString(strings::kOptions), Text(Main(IDC_OPTIONS_BUTTON)));
  EXPECT_EQ(GetLocalizedString(strings::kChange), Text(Options(IDC_CHANGE_BUTTON)));
  EXPECT_EQ(GetLocalizedString(strings::kLanguage), Text(Options(IDC_LANGUAGE_LABEL)));
  if (std::wstring(GetParam()) == L"de") {
    EXPECT_EQ(L"Akzeptieren und installieren", Text(Main(IDC_ACCEPT_BUTTON)));
  }
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

TEST_F(InstallerWindowTest, ExistingInstallationIsUpgraded) {
  settings_.details.traces = true;
  MakeWindow();
  std::wstring upgrade = GetLocalizedString(strings::kAcceptAndUpgrade);
  EXPECT_EQ(upgrade, Text(Main(IDC_ACCEPT_BUTTON)));
  EXPECT_NE(std::wstring::npos, Text(Main(IDC_TERMS_SENTENCE)).find(upgrade));
}

TEST_F(InstallerWindowTest, InvalidPathDisablesAcceptAndBack) {
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

TEST_F(InstallerWindowTest, PageSequenceRecordsEachPageAndNavigation) {
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

// Clicks |control| (a rich edit) on its character |at|.
void ClickCharacter(HWND control, size_t at) {
  POINTL point = {};
  SendMessageW(control, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&point), at);
  const LPARAM where = MAKELPARAM(point.x + 1, point.y + 3);
  SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, where);
  SendMessageW(control, WM_LBUTTONUP, 0, where);
}

TEST_F(InstallerWindowTest, TermsLinkOfTheSentenceShowsTheTerms) {
  MakeWindow();
  HWND sentence = Main(IDC_TERMS_SENTENCE);
  std::vector<RichTextLink> links;
  ConvertLinkMarkup(GetLocalizedString(strings::kTermsSentence), &links);
  ASSERT_EQ(1u, links.size());
  const std::wstring shown = Text(sentence);
  const size_t link = shown.find(links[0].text);
  ASSERT_NE(std::wstring::npos, link);
  ASSERT_GT(link, 4u);
  // Beside the link nothing happens.
  ClickCharacter(sentence, 2);
  EXPECT_EQ(InstallerWindow::WELCOME, window_->current_page());
  ClickCharacter(sentence, link + 2);
  EXPECT_EQ(InstallerWindow::TOS, window_->current_page());
  const base::Value::List& pages = PageSequence();
  ASSERT_EQ(2u, pages.size());
  EXPECT_EQ("TOS", *pages[0].GetDict().FindString("navigation_action"));
  EXPECT_EQ("TOS", *pages[1].GetDict().FindString("page_type"));
}

// Each change made on the options page counts in that page's entry of the
// statistics; notifications that change nothing count nothing.
TEST_F(InstallerWindowTest, OptionsPageCountsEachChangeInItsEntry) {
  settings_.suggested = {settings_.install_path, base::FilePath(L"D:\\Velto")};
  MakeWindow();
  SendMessageW(Main(IDC_OPTIONS_BUTTON), BM_CLICK, 0, 0);
  HWND options = window_->options_dialog();
  auto notify = [&](int id, int code) {
    SendMessageW(options, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Options(id)));
  };
  ChooseLanguage(options, L"de");
  EXPECT_EQ(L"de", settings_.language);
  SendMessageW(Options(IDC_INSTALL_FOR_COMBO), CB_SETCURSEL, 2, 0);
  notify(IDC_INSTALL_FOR_COMBO, CBN_SELCHANGE);
  SendMessageW(Options(IDC_INSTALL_PATH_COMBO), CB_SETCURSEL, 1, 0);
  notify(IDC_INSTALL_PATH_COMBO, CBN_SELCHANGE);
  EXPECT_EQ(L"D:\\Velto", settings_.folders_set.back());
  COMBOBOXINFO path = {sizeof(path)};
  ASSERT_TRUE(GetComboBoxInfo(Options(IDC_INSTALL_PATH_COMBO), &path));
  SendMessageW(path.hwndItem, WM_CHAR, L'2', 1);
  SendMessageW(path.hwndItem, WM_CHAR, L'3', 1);
  for (int id : {IDC_DEFAULT_BROWSER_CHECK, IDC_IMPORT_CHECK, IDC_USAGE_DATA_CHECK})
    notify(id, BN_CLICKED);
  notify(IDC_USAGE_DATA_CHECK, BN_CLICKED);
  for (int id : {IDC_LANGUAGE_COMBO, IDC_INSTALL_FOR_COMBO, IDC_INSTALL_PATH_COMBO}) {
    notify(id, CBN_DROPDOWN);
    notify(id, CBN_SETFOCUS);
  }
  notify(IDC_IMPORT_CHECK, BN_SETFOCUS);

  const base::Value::Dict& page = LastPage();
  EXPECT_EQ("OPTIONS", *page.FindString("page_type"));
  const std::pair<const char*, int> kCounts[] = {
      {"changed_language", 1},      {"changed_install_mode", 1},
      {"changed_install_path", 1},  {"edited_install_path", 2},
      {"changed_make_default_browser", 1}, {"changed_import_data", 1},
      {"changed_enable_stats", 2},
  };
  for (const auto& [key, count] : kCounts)
    EXPECT_EQ(count, page.FindInt(key).value_or(0)) << key;
  EXPECT_EQ(1 + std::size(kCounts), page.size()) << "the page type and the counters only";
}

TEST_F(InstallerWindowTest, ProgressNeverMovesBackwards) {
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

TEST_F(InstallerWindowTest, ErrorOffersTheFullInstallerOnlyWhenTold) {
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

  // A run that started at once has no page to go back to.
  window_.reset();
  MakeWindow(true);
  window_->ShowError(L"failed", false, "reason");
  EXPECT_FALSE(Shown(IDC_BACK_BUTTON));
}

// The interactive controller ends the run on cancel, destroying the window
// from inside the window's own notification; the other delegates still hear
// of it and nothing touches the destroyed window.
TEST_F(InstallerWindowTest, DelegateMayDestroyTheWindowWhenTheRunIsCancelled) {
  MakeWindow();
  class DestroyingDelegate : public InstallerWindowDelegate {
   public:
    explicit DestroyingDelegate(std::unique_ptr<InstallerWindow>* window) : window_(window) {}
    void OnAccept() override {}
    void OnCancel() override { window_->reset(); }
    void OnGetFullPackage() override {}

   private:
    std::unique_ptr<InstallerWindow>* window_;
  } destroying(&window_);
  window_->RemoveDelegate(&delegate_);
  window_->AddDelegate(&destroying);
  window_->AddDelegate(&delegate_);
  HWND dialog = window_->main_dialog();
  AnswerMessageBoxWith(IDYES);
  RunInLoop(base::BindOnce([](HWND dialog) { SendMessageW(dialog, WM_CLOSE, 0, 0); }, dialog));
  EXPECT_FALSE(window_);
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_EQ("cancel;", delegate_.calls);
}

// Cancel and the close box ask first, with localized buttons: No changes
// nothing, Yes records "CANCEL" and tells the delegates. In German the
// buttons' labels are not the system's own English ones.
TEST_P(InstallerWindowLanguageTest, CancelAsksFirst) {
  const bool german = std::wstring(GetParam()) == L"de";
  if (german) {
    ASSERT_EQ(L"&Ja", GetLocalizedString(strings::kYes));
    ASSERT_EQ(L"&Nein", GetLocalizedString(strings::kNo));
  }
  MakeWindow();
  HWND cancel = Main(IDC_CANCEL_BUTTON);
  AnswerMessageBoxWith(IDNO);
  RunInLoop(base::BindOnce([](HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }, cancel));
  EXPECT_EQ(GetLocalizedString(strings::kNo), answered_button_text_);
  answered_button_text_.clear();
  AnswerMessageBoxWith(IDNO);
  RunInLoop(base::BindOnce([](HWND dialog) { SendMessageW(dialog, WM_CLOSE, 0, 0); },
                           window_->main_dialog()));
  EXPECT_EQ(GetLocalizedString(strings::kNo), answered_button_text_);
  EXPECT_EQ("", delegate_.calls);
  EXPECT_FALSE(LastPage().Find("navigation_action"));
  EXPECT_TRUE(IsWindow(window_->main_dialog()));

  AnswerMessageBoxWith(IDYES);
  RunInLoop(base::BindOnce([](HWND dialog) { SendMessageW(dialog, WM_CLOSE, 0, 0); },
                           window_->main_dialog()));
  EXPECT_EQ(GetLocalizedString(strings::kYes), answered_button_text_);
  EXPECT_EQ("cancel;", delegate_.calls);
  EXPECT_EQ("CANCEL", *LastPage().FindString("navigation_action"));
}



// A language of the other direction, chosen on the options page, turns the
// whole window round: layout, texts and paragraphs, and back again, without
// the page or its statistics starting over.
TEST_F(InstallerWindowTest, ChosenLanguageOfTheOtherDirectionTurnsTheWholeWindow) {
  MakeWindow();
  SendMessageW(Main(IDC_OPTIONS_BUTTON), BM_CLICK, 0, 0);
  const RECT placement = ScreenRect(window_->main_dialog());
  for (const wchar_t* code : {L"ar", L"en"}) {
    SCOPED_TRACE(testing::Message() << "to " << code);
    ChooseLanguage(window_->options_dialog(), code);
    base::RunLoop().RunUntilIdle();
    const bool right_to_left = std::wstring(code) == L"ar";
    HWND main = window_->main_dialog();
    ASSERT_TRUE(IsWindow(main));
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_EQ(placement.left, ScreenRect(main).left);
    EXPECT_EQ(placement.top, ScreenRect(main).top);
    EXPECT_EQ(right_to_left, Mirrored(main));
    EXPECT_EQ(right_to_left, Mirrored(window_->options_dialog()));
    // Back leads: on the left, or on the right when reading right to left;
    // the labels lead their lists the same way.
    EXPECT_EQ(right_to_left,
              ScreenRect(Main(IDC_BACK_BUTTON)).left > ScreenRect(Main(IDC_ACCEPT_BUTTON)).left);
    EXPECT_EQ(right_to_left, ScreenRect(Options(IDC_LANGUAGE_LABEL)).left >
                                 ScreenRect(Options(IDC_LANGUAGE_COMBO)).left);
    for (int id : {IDC_TAGLINE, IDC_TERMS_SENTENCE}) {
      EXPECT_EQ(right_to_left, (ParagraphOf(Main(id)).wEffects & PFE_RTLPARA) != 0) << id;
      EXPECT_FALSE(Mirrored(Main(id))) << id;
    }
    EXPECT_EQ(right_to_left, HasDirectionalFormatting(Text(main)));
    EXPECT_EQ(GetLocalizedStringForLanguage(code, strings::kThankYou),
              Text(Main(IDC_THANK_YOU_TITLE)).substr(right_to_left ? 1 : 0));
    // Still the options page, the same entry of the page sequence.
    EXPECT_EQ(InstallerWindow::OPTIONS, window_->current_page());
    EXPECT_TRUE(IsWindowVisible(window_->options_dialog()));
    EXPECT_FALSE(IsWindowVisible(Main(IDC_TAGLINE)));
    EXPECT_EQ(2u, PageSequence().size());
  }
  EXPECT_EQ(2, LastPage().FindInt("changed_language"));
  // The window still answers: Back leads to the welcome page.
  SendMessageW(Main(IDC_BACK_BUTTON), BM_CLICK, 0, 0);
  EXPECT_EQ(InstallerWindow::WELCOME, window_->current_page());
}

// The terms read as the resource has them, every line break one the edit
// control shows (carriage return and line feed).
TEST_F(InstallerWindowTest, TermsTextIsTheWholeResource) {
  MakeWindow();
  const void* data = nullptr;
  size_t length = 0;
  ASSERT_TRUE(base::win::GetResourceFromModule(nullptr, IDR_TERMS_TXT, L"TXT", &data, &length));
  std::wstring terms = base::UTF8ToWide(std::string(static_cast<const char*>(data), length));
  std::erase(terms, L'\r');
  ASSERT_GT(std::count(terms.begin(), terms.end(), L'\n'), 3);
  std::wstring shown = Text(Main(IDC_TERMS_TEXT));
  size_t line_breaks = 0;
  for (size_t at = shown.find(L'\n'); at != std::wstring::npos; at = shown.find(L'\n', at + 1)) {
    EXPECT_TRUE(at > 0 && shown[at - 1] == L'\r') << "a bare line feed at " << at;
    ++line_breaks;
  }
  EXPECT_EQ(line_breaks, static_cast<size_t>(std::count(shown.begin(), shown.end(), L'\r')));
  std::erase(shown, L'\r');
  EXPECT_EQ(terms, shown);
}

// The text the install-for tooltip shows.
std::wstring TooltipText(HWND tooltip, HWND options_dialog) {
  wchar_t text[2048] = {};
  TOOLINFOW tool = {};
  tool.cbSize = sizeof(tool);
  tool.hwnd = options_dialog;
  tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(options_dialog, IDC_INSTALL_FOR_COMBO));
  tool.lpszText = text;
  SendMessageW(tooltip, TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&tool));
  return text;
}

// The pixels of an image of the executable's resources.
struct DecodedImage {
  explicit DecodedImage(int id, const wchar_t* type) {
    base::win::ScopedBitmap bitmap = LoadResourceImage(id, type);
    size = GetBitmapSize(bitmap.get());
    if (!size.cx)
      return;
    BITMAPINFO info = TopDownBitmapInfo(size);
    pixels.resize(static_cast<size_t>(size.cx * size.cy));
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, bitmap.get(), 0, size.cy, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
  }
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * size.cx + x)]; }
  // The first fully opaque pixel that differs from white, scanning from
  // |start_y|.
  POINT OpaquePoint(int start_y = 0) const {
    for (int y = start_y; y < size.cy; ++y) {
      for (int x = 0; x < size.cx; ++x) {
        if ((At(x, y) >> 24) == 0xFF && (At(x, y) & 0xFFFFFF) != 0xFFFFFF)
          return {x, y};
      }
    }
    return {-1, -1};
  }
  SIZE size = {0, 0};
  std::vector<uint32_t> pixels;
};

TEST(ResourceImageTest, DecodesTheInstallerImagesWithTheirAlpha) {
  DecodedImage logo(IDR_LOGO_PNG, L"PNG");
  ASSERT_GT(logo.size.cx, 0);
  // The logo's corner is transparent, its mark opaque.
  EXPECT_EQ(0u, logo.At(0, 0) >> 24);
  EXPECT_NE(-1, logo.OpaquePoint().x);
  DecodedImage badge(IDR_ERROR_BADGE_PNG, L"PNG");
  ASSERT_GT(badge.size.cx, 0);
  EXPECT_EQ(0u, badge.At(0, 0) >> 24);
  DecodedImage background(IDR_BACKGROUND_JPG, L"JPG");
  ASSERT_GT(background.size.cx, 0);
  EXPECT_EQ(0xFFu, background.At(0, 0) >> 24);
  // What is not there decodes to nothing.
  EXPECT_FALSE(LoadResourceImage(IDR_TERMS_TXT, L"PNG"));
  EXPECT_FALSE(LoadResourceImage(IDR_TERMS_TXT, L"TXT"));
}

// Whether the pictures |a| and |b| (of one size) are the same.
bool SamePicture(const Canvas& a, const Canvas& b) {
  for (int y = 0; y < a.size().cy; ++y) {
    for (int x = 0; x < a.size().cx; ++x) {
      if (a.At(x, y) != b.At(x, y))
        return false;
    }
  }
  return true;
}

// As the user sees the banner: the logo in the middle, on the error page the
// badge at its bottom right corner, clear of the letters; mirrored windows
// show the same picture.
TEST_F(InstallerWindowTest, BannerShowsTheLogoCentredAndTheBadgeClearOfItOnErrors) {
  MakeWindow();
  HWND banner = Main(IDC_BANNER);
  const SIZE size = Canvas::ClientSize(banner);
  Canvas welcome(size);
  welcome.Print(banner);
  const RECT logo = welcome.InkBounds();
  ASSERT_LT(logo.left, logo.right);
  EXPECT_NEAR(size.cx, logo.left + logo.right, 2);

  window_->ShowError(L"failed", false, "reason");
  Canvas error(size);
  error.Print(banner);
  // The badge: what the error page adds.
  std::vector<POINT> badge;
  RECT badge_bounds = {size.cx, size.cy, 0, 0};
  for (int y = 0; y < size.cy; ++y) {
    for (int x = 0; x < size.cx; ++x) {
      if (welcome.At(x, y) == error.At(x, y))
        continue;
      badge.push_back({x, y});
      badge_bounds = {std::min<LONG>(badge_bounds.left, x), std::min<LONG>(badge_bounds.top, y),
                      std::max<LONG>(badge_bounds.right, x + 1),
                      std::max<LONG>(badge_bounds.bottom, y + 1)};
    }
  }
  ASSERT_FALSE(badge.empty());
  // Over the logo's bottom right corner.
  EXPECT_LT(badge_bounds.left, logo.right);
  EXPECT_GT(badge_bounds.right, logo.right);
  EXPECT_LT(badge_bounds.top, logo.bottom);
  EXPECT_GT(badge_bounds.bottom, logo.bottom);
  // Nothing of the logo within a few pixels of it.
  constexpr int kClearance = 4;
  auto is_ink = [](uint32_t colour) {
    return (colour >> 16 & 0xFF) < 0xE0 || (colour >> 8 & 0xFF) < 0xE0 || (colour & 0xFF) < 0xE0;
  };
  int touching = 0;
  for (const POINT& point : badge) {
    for (int y = point.y - kClearance; y <= point.y + kClearance; ++y) {
      for (int x = point.x - kClearance; x <= point.x + kClearance; ++x) {
        if (x >= 0 && y >= 0 && x < size.cx && y < size.cy && is_ink(welcome.At(x, y)))
          ++touching;
      }
    }
  }
  EXPECT_EQ(0, touching);

  Canvas mirrored(size);
  SetLayout(mirrored.dc(), LAYOUT_RTL);
  mirrored.Print(banner);
  EXPECT_EQ(LAYOUT_RTL, GetLayout(mirrored.dc()));
  EXPECT_TRUE(SamePicture(error, mirrored));

  // Leaving the error page takes the badge away again.
  window_->ShowPage(InstallerWindow::PROGRESS);
  Canvas progress(size);
  progress.Print(banner);
  EXPECT_TRUE(SamePicture(welcome, progress));
}

TEST_F(InstallerWindowTest, BackgroundPictureFillsTheWindowExceptOnOptions) {
  MakeWindow();
  HWND dialog = window_->main_dialog();
  RECT client = {};
  GetClientRect(dialog, &client);
  DecodedImage background(IDR_BACKGROUND_JPG, L"JPG");
  ASSERT_GT(background.size.cx, 0);
  // The bottom left corner of the picture, stretched over the client area.
  const uint32_t corner = background.At(1, background.size.cy - 2) & 0xFFFFFF;
  ASSERT_NE(0xFFFFFFu, corner);
  Canvas welcome({client.right, client.bottom});
  EXPECT_TRUE(SendMessageW(dialog, WM_ERASEBKGND, reinterpret_cast<WPARAM>(welcome.dc()), 0));
  uint32_t painted = welcome.At(0, client.bottom - 1);
  for (int shift : {0, 8, 16}) {
    EXPECT_NEAR(static_cast<int>(corner >> shift & 0xFF), static_cast<int>(painted >> shift & 0xFF),
                12);
  }

  window_->ShowPage(InstallerWindow::OPTIONS);
  Canvas options({client.right, client.bottom});
  SendMessageW(dialog, WM_ERASEBKGND, reinterpret_cast<WPARAM>(options.dc()), 0);
  EXPECT_EQ(0xFFFFFFu, options.At(0, client.bottom - 1));
}

TEST_F(InstallerWindowTest, StaticTextsAreTransparentOverThePicture) {
  MakeWindow();
  HDC dc = GetDC(window_->main_dialog());
  HWND status = Main(IDC_STATUS_TEXT);
  EXPECT_EQ(reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)),
            SendMessageW(window_->main_dialog(), WM_CTLCOLORSTATIC,
                         reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(status)));
  EXPECT_EQ(TRANSPARENT, GetBkMode(dc));
  EXPECT_EQ(RGB(0, 0, 0), GetTextColor(dc));
  SendMessageW(window_->main_dialog(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
               reinterpret_cast<LPARAM>(Main(IDC_MAIN_WARNING_TEXT)));
  EXPECT_EQ(RGB(255, 0, 0), GetTextColor(dc));
  ReleaseDC(window_->main_dialog(), dc);
  // The options page's check boxes stay on white.
  dc = GetDC(window_->options_dialog());
  EXPECT_EQ(reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH)),
            SendMessageW(window_->options_dialog(), WM_CTLCOLORSTATIC,
                         reinterpret_cast<WPARAM>(dc),
                         reinterpret_cast<LPARAM>(Options(IDC_IMPORT_CHECK))));
  ReleaseDC(window_->options_dialog(), dc);
}

// The install-for list explains its modes in a tooltip, each title and its
// text, in the language chosen.
TEST_F(InstallerWindowTest, InstallForComboExplainsTheModesInATooltip) {
  MakeWindow();
  HWND tooltip = window_->tooltip();
  ASSERT_TRUE(tooltip);
  EXPECT_EQ(300, SendMessageW(tooltip, TTM_GETMAXTIPWIDTH, 0, 0));
  const LONG style = GetWindowLongW(tooltip, GWL_STYLE);
  EXPECT_EQ(static_cast<LONG>(TTS_ALWAYSTIP | TTS_NOPREFIX),
            style & (TTS_ALWAYSTIP | TTS_NOPREFIX));
  for (const wchar_t* language : {L"en", L"de"}) {
    UseLanguage(language);
    window_->OnLanguageChanged();
    const std::wstring text = TooltipText(tooltip, window_->options_dialog());
    size_t from = 0;
    for (int id : {strings::kAllUsersTipTitle, strings::kAllUsersTipText,
                   strings::kCurrentUserTipTitle, strings::kCurrentUserTipText,
                   strings::kStandAloneTipTitle, strings::kStandAloneTipText}) {
      const size_t at = text.find(GetLocalizedString(id), from);
      ASSERT_NE(std::wstring::npos, at) << language << " " << id;
      from = at + 1;
    }
  }
  // A run that starts at once has no options and no tooltip.
  window_.reset();
  MakeWindow(true);
  EXPECT_FALSE(window_->tooltip());
}

TEST_F(InstallerWindowTest, ChangeBrowsesFromTheShownPathAndAppliesTheChoice) {
  settings_.install_path = base::FilePath(L"C:\\Program Files\\Velto");
  settings_.suggested = {base::FilePath(L"C:\\Program Files\\Velto"),
                         base::FilePath(L"D:\\Velto")};
  MakeWindow();
  window_->ShowPage(InstallerWindow::OPTIONS);
  HWND combo = Options(IDC_INSTALL_PATH_COMBO);
  folder_browser_.answer = L"E:\\Apps\\Velto";
  SendMessageW(Options(IDC_CHANGE_BUTTON), BM_CLICK, 0, 0);
  EXPECT_EQ(1, folder_browser_.calls);
  EXPECT_EQ(window_->main_dialog(), folder_browser_.owner);
  EXPECT_EQ(GetLocalizedString(strings::kBrowseForFolder), folder_browser_.title);
  EXPECT_EQ(L"C:\\Program Files\\Velto", folder_browser_.initial_folder);
  EXPECT_EQ(L"E:\\Apps\\Velto", Text(combo));
  ASSERT_FALSE(settings_.folders_set.empty());
  EXPECT_EQ(L"E:\\Apps\\Velto", settings_.folders_set.back());

  // A suggested folder is selected as its entry.
  folder_browser_.answer = L"D:\\Velto";
  SendMessageW(Options(IDC_CHANGE_BUTTON), BM_CLICK, 0, 0);
  EXPECT_EQ(L"E:\\Apps\\Velto", folder_browser_.initial_folder);
  EXPECT_EQ(1, SendMessageW(combo, CB_GETCURSEL, 0, 0));
  EXPECT_EQ(L"D:\\Velto", settings_.folders_set.back());

  // Cancelling the picker changes nothing.
  size_t applied = settings_.folders_set.size();
  folder_browser_.answer.clear();
  SendMessageW(Options(IDC_CHANGE_BUTTON), BM_CLICK, 0, 0);
  EXPECT_EQ(3, folder_browser_.calls);
  EXPECT_EQ(applied, settings_.folders_set.size());
  EXPECT_EQ(L"D:\\Velto", Text(combo));

  // The main screen's browse button opens the same picker.
  folder_browser_.answer = L"F:\\Velto";
  SendMessageW(Main(IDC_MAIN_BROWSE_BUTTON), BM_CLICK, 0, 0);
  EXPECT_EQ(4, folder_browser_.calls);
  EXPECT_EQ(L"F:\\Velto", settings_.folders_set.back());
}

// The settings analyse each folder typed, one keystroke at a time; an
// analysis that comes back before the next keystroke must leave the box as
// the user is typing it.
TEST_F(InstallerWindowTest, TypedPathStaysAsTypedWhileItsFoldersAreAnalysed) {
  settings_.suggested = {settings_.install_path};
  HWND edit = FocusPathBox(0, -1);
  ASSERT_TRUE(edit);
  const std::wstring typed = L"D:\\Apps\\Velto";
  for (size_t i = 0; i < typed.size(); ++i) {
    // A folder may change what is suggested (the mode of an installation
    // found there).
    if (i == 4)
      settings_.suggested = {base::FilePath(L"C:\\Users\\Velto")};
    TypeAndAnalyse(edit, typed[i]);
    ASSERT_EQ(i + 1, settings_.folders_set.size());
  }
  HWND combo = Options(IDC_INSTALL_PATH_COMBO);
  EXPECT_EQ(typed, Text(combo));
  EXPECT_EQ(typed, settings_.folders_set.back());
  EXPECT_EQ(std::make_pair(typed.size(), typed.size()), Selection(edit));
  EXPECT_EQ(static_cast<int>(typed.size()), LastPage().FindInt("edited_install_path"));
  ASSERT_EQ(1, SendMessageW(combo, CB_GETCOUNT, 0, 0));
  EXPECT_EQ(L"C:\\Users\\Velto", ComboEntry(combo, 0));

  // A folder chosen from the list is shown as the settings analysed it.
  SendMessageW(combo, CB_SETCURSEL, 0, 0);
  SendMessageW(window_->options_dialog(), WM_COMMAND,
               MAKEWPARAM(IDC_INSTALL_PATH_COMBO, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  EXPECT_EQ(L"C:\\Users\\Velto", settings_.folders_set.back());
  settings_.install_path = base::FilePath(L"C:\\Users\\Velto");
  window_->OnPathChanged();
  EXPECT_EQ(0, SendMessageW(combo, CB_GETCURSEL, 0, 0));
}

// A keystroke and its undoing leave the box showing the settings' folder
// as typed; a change of mode then moves the settings to another folder,
// which the box must show, as that is where Accept installs.
TEST_F(InstallerWindowTest, TypedPathGivesWayToTheFolderTheSettingsMoveTo) {
  const base::FilePath program_files = settings_.install_path;
  const base::FilePath per_user(L"C:\\Users\\root\\AppData\\Local\\Programs\\Velto");
  settings_.suggested = {program_files};
  const int end = static_cast<int>(program_files.value().size());
  HWND edit = FocusPathBox(end, end);
  ASSERT_TRUE(edit);
  TypeAndAnalyse(edit, L'x');
  TypeAndAnalyse(edit, L'\b');
  ASSERT_EQ(2u, settings_.folders_set.size());
  EXPECT_EQ(program_files.value() + L"x", settings_.folders_set[0]);
  EXPECT_EQ(program_files.value(), settings_.folders_set[1]);
  HWND combo = Options(IDC_INSTALL_PATH_COMBO);
  EXPECT_EQ(program_files.value(), Text(combo));

  settings_.Set(ALL_USERS_FLAG, false);
  settings_.suggested = {per_user};
  settings_.install_path = per_user;
  window_->OnPathChanged();
  EXPECT_EQ(per_user.value(), Text(combo));
  EXPECT_EQ(0, SendMessageW(combo, CB_GETCURSEL, 0, 0));
}

// Typed with forward slashes, the folder the settings hold (with
// backslashes) is the one typed: the box stays as typed, also when a
// language of the other reading direction makes the window anew.
TEST_F(InstallerWindowTest, TypedPathWithSlashesStaysAsTyped) {
  settings_.suggested = {settings_.install_path};
  HWND edit = FocusPathBox(0, -1);
  ASSERT_TRUE(edit);
  const std::wstring typed = L"D:/Velto";
  for (wchar_t key : typed)
    TypeAndAnalyse(edit, key);
  EXPECT_EQ(L"D:\\Velto", settings_.install_path.value());
  EXPECT_EQ(typed, Text(Options(IDC_INSTALL_PATH_COMBO)));
  EXPECT_EQ(std::make_pair(typed.size(), typed.size()), Selection(edit));

  SetFocus(Options(IDC_LANGUAGE_COMBO));
  ChooseLanguage(window_->options_dialog(), L"ar");
  base::RunLoop().RunUntilIdle();
  ASSERT_TRUE(Mirrored(window_->options_dialog()));
  COMBOBOXINFO info = {sizeof(info)};
  ASSERT_TRUE(GetComboBoxInfo(Options(IDC_INSTALL_PATH_COMBO), &info));
  EXPECT_EQ(typed, Text(info.hwndItem));
}

TEST_F(InstallerWindowTest, DefaultBrowserChoiceDependsOnTheWindowsVersion) {
  struct Case {
    base::win::Version version;
    bool association_registration;
    bool shown;
  };
  const Case kCases[] = {
      {base::win::VERSION_WIN7, false, true},   {base::win::VERSION_WIN8, true, false},
      {base::win::VERSION_WIN8_1, true, false}, {base::win::VERSION_WIN10, false, false},
      {base::win::VERSION_WIN10, true, true},
  };
  for (const Case& test : kCases) {
    windows_version_.set_version(test.version);
    association_shell_.has_association_registration = test.association_registration;
    MakeWindow();
    EXPECT_EQ(test.shown, (GetWindowLongW(Options(IDC_DEFAULT_BROWSER_CHECK), GWL_STYLE) &
                           WS_VISIBLE) != 0)
        << test.version << " " << test.association_registration;
    window_.reset();
  }
}

TEST_F(InstallerWindowTest, ChangeButtonIsAsHighAsThePathCombo) {
  MakeWindow();
  RECT change, combo;
  GetWindowRect(Options(IDC_CHANGE_BUTTON), &change);
  GetWindowRect(Options(IDC_INSTALL_PATH_COMBO), &combo);
  EXPECT_EQ(combo.bottom - combo.top, change.bottom - change.top);
  EXPECT_EQ(combo.top, change.top);
}

// The full installer's button holds its whole label, also a long one
// (Bulgarian's), and is never narrower than Try Again beside it, whose side
// it keeps.
TEST_F(InstallerWindowTest, FullInstallerButtonHoldsItsWholeLabel) {
  MakeWindow();
  window_->ShowError(L"failed", true, "test");
  const RECT retry = ScreenRect(Main(IDC_TRY_AGAIN_BUTTON));
  const LONG right = ScreenRect(Main(IDC_FULL_PACKAGE_BUTTON)).right;
  for (const wchar_t* language : {L"en", L"bg"}) {
    UseLanguage(language);
    window_->OnLanguageChanged();
    HWND button = Main(IDC_FULL_PACKAGE_BUTTON);
    const RECT rect = ScreenRect(button);
    EXPECT_EQ(right, rect.right) << language;
    EXPECT_GE(rect.right - rect.left, retry.right - retry.left) << language;
    // The label, drawn inside the frame: clear of its sides.
    Canvas drawn(Canvas::ClientSize(button));
    drawn.Print(button);
    constexpr int kFrame = 4;
    const SIZE size = drawn.size();
    const RECT inside = {kFrame, kFrame, size.cx - kFrame, size.cy - kFrame};
    const RECT label = drawn.InkBounds(inside, drawn.At(kFrame, size.cy / 2));
    ASSERT_LT(label.left, label.right) << language;
    EXPECT_GT(label.left, inside.left) << language;
    EXPECT_LT(label.right, inside.right) << language;
  }
  EXPECT_GT(ScreenRect(Main(IDC_FULL_PACKAGE_BUTTON)).right -
                ScreenRect(Main(IDC_FULL_PACKAGE_BUTTON)).left,
            retry.right - retry.left);
}





TEST_P(InstallerWindowLanguageTest, LeftToRightTextsCarryNoDirectionalFormatting) {
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
  void SetUp() override { UseLanguage(L"ar"); }
  static std::wstring Embedded(const std::wstring& text) { return L"\u202b" + text; }
};

TEST_F(InstallerWindowRightToLeftTest, LabelsWithLatinWordsReadRightToLeft) {
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

TEST_F(InstallerWindowRightToLeftTest, PathsAndTermsReadLeftToRight) {
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

// Where |button| draws its label: the ink inside its frame, in a picture of
// the button as the window draws it (mirrored for a right-to-left language).
RECT DrawnLabel(HWND button, SIZE* size) {
  Canvas drawn(Canvas::ClientSize(button));
  if (Mirrored(button))
    SetLayout(drawn.dc(), LAYOUT_RTL);
  drawn.Print(button);
  constexpr int kFrame = 4;
  *size = drawn.size();
  const RECT inside = {kFrame, kFrame, size->cx - kFrame, size->cy - kFrame};
  RECT label = drawn.InkBounds(inside, drawn.At(kFrame, size->cy / 2));
  // Ink that reaches the frame is cut off by it.
  if (label.left <= inside.left || label.right >= inside.right)
    label = {};
  return label;
}

// In every language the full installer's button draws its whole label.
TEST_F(InstallerWindowTest, FullInstallerButtonHoldsItsWholeLabelInEveryLanguage) {
  for (const std::wstring& language : GetAvailableLanguages()) {
    UseLanguage(language.c_str());
    MakeWindow();
    window_->ShowError(L"failed", true, "test");
    SIZE size = {};
    const RECT label = DrawnLabel(Main(IDC_FULL_PACKAGE_BUTTON), &size);
    EXPECT_LT(label.left, label.right) << language;
    window_.reset();
    SetProcessDefaultLayout(0);
  }
}

// The Arabic label of the full installer's button, its letters joined, is
// narrower than the letters alone: the button is as wide as the label as
// drawn and its padding, and the label stands centred in it.
TEST_F(InstallerWindowRightToLeftTest, FullInstallerButtonFitsItsLabelCentred) {
  MakeWindow();
  window_->ShowError(L"failed", true, "test");
  HWND button = Main(IDC_FULL_PACKAGE_BUTTON);
  ASSERT_TRUE(Mirrored(button));
  SIZE size = {};
  const RECT label = DrawnLabel(button, &size);
  ASSERT_LT(label.left, label.right) << "the label is cut off";
  const LONG before = label.left;
  const LONG after = size.cx - label.right;
  EXPECT_NEAR(before, after, 4) << "label from " << label.left << " to " << label.right
                                << " in " << size.cx;
  EXPECT_NEAR(30, before + after, 6) << "label from " << label.left << " to " << label.right
                                     << " in " << size.cx;
}

TEST_F(InstallerWindowRightToLeftTest, RichTextsHaveRightToLeftParagraphs) {
  MakeWindow();
  for (int id : {IDC_TAGLINE, IDC_TERMS_SENTENCE}) {
    EXPECT_TRUE(ParagraphOf(Main(id)).wEffects & PFE_RTLPARA) << id;
    EXPECT_EQ(PFA_CENTER, ParagraphOf(Main(id)).wAlignment) << id;
    EXPECT_FALSE(Mirrored(Main(id))) << id;
  }
  // The sentence ends at the left with the product name, and its full stop
  // (the one that "VELTO." carries) further left, ending the sentence:
  // not between the name and the word before it.
  std::wstring name = GetLocalizedString(strings::kProductNameCapitals);
  ASSERT_EQ(L'.', name.back());
  std::wstring tagline = Text(Main(IDC_TAGLINE));
  size_t at = tagline.find(name.substr(0, name.size() - 1));
  size_t stop_at = tagline.find(L'.', at);
  ASSERT_NE(std::wstring::npos, stop_at);
  POINTL start = {}, product = {}, product_end = {}, stop = {};
  HWND control = Main(IDC_TAGLINE);
  SendMessageW(control, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&start), 0);
  SendMessageW(control, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&product), at);
  SendMessageW(control, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&product_end), stop_at - 1);
  SendMessageW(control, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&stop), stop_at);
  EXPECT_EQ(product.y, stop.y);
  EXPECT_LT(product.x, start.x);
  EXPECT_LT(product.x, product_end.x);
  EXPECT_LT(stop.x, product.x);
  // Set again for an upgrade, the terms sentence stays centred.
  settings_.details.traces = true;
  window_->UpdateControls(false);
  EXPECT_EQ(PFA_CENTER, ParagraphOf(Main(IDC_TERMS_SENTENCE)).wAlignment);
}

TEST_F(InstallerWindowRightToLeftTest, LanguagesAreNamedInTheirOwnDirection) {
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
