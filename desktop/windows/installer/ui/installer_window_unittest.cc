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
#include "base/win/scoped_gdi_object.h"
#include "desktop/windows/installer/service/test/fake_association_shell.h"
#include "desktop/windows/installer/service/test/fake_windows_version_provider.h"
#include "desktop/windows/installer/stats_scope.h"
#include "desktop/windows/installer/test/fake_installation_folder_details.h"
#include "desktop/windows/installer/test/fake_settings.h"
#include "desktop/windows/installer/ui/folder_browser.h"
#include "desktop/windows/installer/ui/installer_string_ids.h"
#include "desktop/windows/installer/ui/resource_image.h"
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
  const InstallationFolderDetails* GetFolderDetails() const override { return &details; }
  void GetSuggestedInstallFolders(std::vector<base::FilePath>* folders) const override {
    *folders = suggested;
  }
  void SetInstallFolder(const base::FilePath& folder) override {
    folders_set.push_back(folder.value());
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

// The interactive controller ends the run on cancel, destroying the window
// from inside the window's own notification; the other delegates still hear
// of it and nothing touches the destroyed window.
TEST_P(InstallerWindowTest, DelegateMayDestroyTheWindowWhenTheRunIsCancelled) {
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

TEST_P(InstallerWindowTest, BannerCentresTheLogoAndAddsTheBadgeOnErrors) {
  MakeWindow();
  DecodedImage logo(IDR_LOGO_PNG, L"PNG");
  DecodedImage badge(IDR_ERROR_BADGE_PNG, L"PNG");
  ASSERT_GT(logo.size.cx, 0);
  ASSERT_GT(badge.size.cx, 0);
  HWND banner = Main(IDC_BANNER);
  RECT client = {};
  GetClientRect(banner, &client);
  const int logo_x = client.right / 2 - logo.size.cx / 2;
  const int logo_y = client.bottom / 2 - logo.size.cy / 2;
  const int badge_x = logo_x + logo.size.cx - badge.size.cx + 10;
  const int badge_y = logo_y + logo.size.cy - badge.size.cy + 10;
  POINT in_logo = logo.OpaquePoint();
  // A point of the badge's red disc, left of its white mark.
  POINT in_badge = {8, badge.size.cy / 2};
  ASSERT_EQ(0xFFu, badge.At(in_badge.x, in_badge.y) >> 24);

  Canvas welcome({client.right, client.bottom});
  SendMessageW(banner, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(welcome.dc()), PRF_CLIENT);
  EXPECT_EQ(logo.At(in_logo.x, in_logo.y) & 0xFFFFFF,
            welcome.At(logo_x + in_logo.x, logo_y + in_logo.y));
  const uint32_t without_badge = welcome.At(badge_x + in_badge.x, badge_y + in_badge.y);

  window_->ShowError(L"failed", false, "reason");
  Canvas error({client.right, client.bottom});
  SendMessageW(banner, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(error.dc()), PRF_CLIENT);
  EXPECT_EQ(badge.At(in_badge.x, in_badge.y) & 0xFFFFFF,
            error.At(badge_x + in_badge.x, badge_y + in_badge.y));
  EXPECT_NE(without_badge, error.At(badge_x + in_badge.x, badge_y + in_badge.y));

  // A mirrored (right-to-left) banner shows the same picture, not its mirror
  // image: logo and badge stay where they are.
  Canvas mirrored({client.right, client.bottom});
  SetLayout(mirrored.dc(), LAYOUT_RTL);
  SendMessageW(banner, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mirrored.dc()), PRF_CLIENT);
  EXPECT_EQ(LAYOUT_RTL, GetLayout(mirrored.dc()));
  EXPECT_EQ(logo.At(in_logo.x, in_logo.y) & 0xFFFFFF,
            mirrored.At(logo_x + in_logo.x, logo_y + in_logo.y));
  EXPECT_EQ(badge.At(in_badge.x, in_badge.y) & 0xFFFFFF,
            mirrored.At(badge_x + in_badge.x, badge_y + in_badge.y));

  // Leaving the error page takes the badge away again.
  window_->ShowPage(InstallerWindow::PROGRESS);
  Canvas progress({client.right, client.bottom});
  SendMessageW(banner, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(progress.dc()), PRF_CLIENT);
  EXPECT_EQ(without_badge, progress.At(badge_x + in_badge.x, badge_y + in_badge.y));
}

TEST_P(InstallerWindowTest, BackgroundPictureFillsTheWindowExceptOnOptions) {
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

TEST_P(InstallerWindowTest, StaticTextsAreTransparentOverThePicture) {
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

TEST_P(InstallerWindowTest, InstallForComboExplainsTheModesInATooltip) {
  MakeWindow();
  HWND tooltip = window_->tooltip();
  ASSERT_TRUE(tooltip);
  EXPECT_EQ(300, SendMessageW(tooltip, TTM_GETMAXTIPWIDTH, 0, 0));
  const LONG style = GetWindowLongW(tooltip, GWL_STYLE);
  EXPECT_EQ(static_cast<LONG>(TTS_ALWAYSTIP | TTS_NOPREFIX),
            style & (TTS_ALWAYSTIP | TTS_NOPREFIX));
  const std::wstring expected =
      GetLocalizedString(strings::kAllUsersTipTitle) + L"\n\t" +
      GetLocalizedString(strings::kAllUsersTipText) + L"\n\n" +
      GetLocalizedString(strings::kCurrentUserTipTitle) + L"\n\t" +
      GetLocalizedString(strings::kCurrentUserTipText) + L"\n\n" +
      GetLocalizedString(strings::kStandAloneTipTitle) + L"\n\t" +
      GetLocalizedString(strings::kStandAloneTipText);
  EXPECT_EQ(expected, TooltipText(tooltip, window_->options_dialog()));
  // A run that starts at once has no options and no tooltip.
  window_.reset();
  MakeWindow(true);
  EXPECT_FALSE(window_->tooltip());
}

TEST_P(InstallerWindowTest, TooltipFollowsTheLanguage) {
  MakeWindow();
  std::wstring other = std::wstring(GetParam()) == L"en" ? L"de" : L"en";
  RcL10nHandler::GetInstance()->SetLanguage(&other);
  window_->OnLanguageChanged();
  std::wstring text = TooltipText(window_->tooltip(), window_->options_dialog());
  EXPECT_EQ(0u, text.find(GetLocalizedString(strings::kAllUsersTipTitle) + L"\n"));
  EXPECT_NE(GetLocalizedStringForLanguage(GetParam(), strings::kAllUsersTipTitle),
            GetLocalizedString(strings::kAllUsersTipTitle));
}

TEST_P(InstallerWindowTest, ChangeBrowsesFromTheShownPathAndAppliesTheChoice) {
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
TEST_P(InstallerWindowTest, TypedPathStaysAsTypedWhileItsFoldersAreAnalysed) {
  settings_.suggested = {settings_.install_path};
  MakeWindow();
  window_->ShowPage(InstallerWindow::OPTIONS);
  HWND combo = Options(IDC_INSTALL_PATH_COMBO);
  COMBOBOXINFO info = {sizeof(info)};
  ASSERT_TRUE(GetComboBoxInfo(combo, &info));
  SetFocus(info.hwndItem);
  SendMessageW(info.hwndItem, EM_SETSEL, 0, -1);
  const std::wstring typed = L"D:\\Apps\\Velto";
  for (size_t i = 0; i < typed.size(); ++i) {
    SendMessageW(info.hwndItem, WM_CHAR, typed[i], 1);
    ASSERT_EQ(i + 1, settings_.folders_set.size());
    settings_.install_path = base::FilePath(settings_.folders_set.back());
    // A folder may change what is suggested (the mode of an installation
    // found there).
    if (i == 4)
      settings_.suggested = {base::FilePath(L"C:\\Users\\Velto")};
    window_->OnPathChanged();
  }
  EXPECT_EQ(typed, Text(combo));
  EXPECT_EQ(typed, settings_.folders_set.back());
  DWORD start = 0, end = 0;
  SendMessageW(info.hwndItem, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(typed.size(), start);
  EXPECT_EQ(typed.size(), end);
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

TEST_P(InstallerWindowTest, DefaultBrowserChoiceDependsOnTheWindowsVersion) {
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

TEST_P(InstallerWindowTest, ChangeButtonIsAsHighAsThePathCombo) {
  MakeWindow();
  RECT change, combo;
  GetWindowRect(Options(IDC_CHANGE_BUTTON), &change);
  GetWindowRect(Options(IDC_INSTALL_PATH_COMBO), &combo);
  EXPECT_EQ(combo.bottom - combo.top, change.bottom - change.top);
  EXPECT_EQ(combo.top, change.top);
}

TEST_P(InstallerWindowTest, FullInstallerButtonFitsItsTextInTheNormalFont) {
  MakeWindow();
  HDC dc = GetDC(window_->main_dialog());
  base::win::ScopedFont font(CreateFontW(-MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0,
                                         378, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                         OUT_OUTLINE_PRECIS, CLIP_DEFAULT_PRECIS,
                                         DEFAULT_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg"));
  HGDIOBJ old = SelectObject(dc, font.get());
  auto text_width = [dc] {
    std::wstring text = GetLocalizedString(strings::kGetFullInstaller);
    SIZE size = {};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
  };
  RECT full, retry;
  GetWindowRect(Main(IDC_FULL_PACKAGE_BUTTON), &full);
  GetWindowRect(Main(IDC_TRY_AGAIN_BUTTON), &retry);
  const LONG retry_width = retry.right - retry.left;
  EXPECT_EQ(std::max<LONG>(text_width() + 30, retry_width), full.right - full.left);
  const LONG right = full.right;

  // A longer text widens the button to its text, right edge kept.
  std::wstring bulgarian = L"bg";
  RcL10nHandler::GetInstance()->SetLanguage(&bulgarian);
  window_->OnLanguageChanged();
  const LONG long_width = text_width() + 30;
  ASSERT_GT(long_width, retry_width);
  GetWindowRect(Main(IDC_FULL_PACKAGE_BUTTON), &full);
  EXPECT_EQ(long_width, full.right - full.left);
  EXPECT_EQ(right, full.right);
  SelectObject(dc, old);
  ReleaseDC(window_->main_dialog(), dc);
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
