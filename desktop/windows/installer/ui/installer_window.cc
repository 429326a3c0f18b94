#include "desktop/windows/installer/ui/installer_window.h"

#include <commctrl.h>
#include <richedit.h>
#include <uxtheme.h>

#include <algorithm>
#include <cwctype>

#include "base/functional/bind.h"
#include "base/logging.h"
#include "base/message_loop/message_loop.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/resource_util.h"
#include "base/win/wrapped_window_proc.h"
#include "crash_reporting/crash_points.h"
#include "desktop/windows/installer/installation_folder_details.h"
#include "desktop/windows/installer/service/association_shell.h"
#include "desktop/windows/installer/service/association_shell_impl.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/windows_version_provider_impl.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/stats_scope.h"
#include "desktop/windows/installer/ui/bidi_text.h"
#include "desktop/windows/installer/ui/caret_hider.h"
#include "desktop/windows/installer/ui/dialog_util.h"
#include "desktop/windows/installer/ui/folder_browser_impl.h"
#include "desktop/windows/installer/ui/installer_string_ids.h"
#include "desktop/windows/installer/ui/resource_image.h"
#include "desktop/windows/installer/ui/rich_text.h"
#include "desktop/windows/installer/ui/win32_dialog_dispatcher.h"
#include "desktop/windows/rc_l10n_handler/available_languages.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"
#include "resources/installer_resource_ids.h"

namespace installer {

namespace {

constexpr char kPageSequence[] = "ui.page_sequence";
constexpr char kPageType[] = "page_type";
constexpr char kNavigationAction[] = "navigation_action";
constexpr char kNavigationTime[] = "navigation_time";
constexpr COLORREF kLinkColour = 0x686868;
constexpr COLORREF kTaglineColour = 0x2C1BFF;
constexpr wchar_t kTosLink[] = L"tos";
constexpr UINT_PTR kBannerPainterId = 1;
constexpr int kTooltipWidth = 300;
// The space a check box leaves between its box and its text, in dialog
// units.
constexpr int kCheckBoxTextGapDlu = 3;
// The badge overhangs the logo's bottom right corner by this much.
constexpr int kBadgeOverhang = 10;

// The controls whose themed drawing must blend with the background picture.
constexpr int kBackgroundBrushControls[] = {IDC_DELETE_USER_DATA_CHECK};

// Visibility of the main dialog's controls per page, applied in this order.
struct PageControl {
  int id;
  bool shown[6];  // WELCOME, UNINSTALL, TOS, OPTIONS, PROGRESS, ERROR_PAGE
};
constexpr PageControl kPageControls[] = {
    {IDC_BANNER, {true, true, false, false, true, true}},
    {IDC_TERMS_TEXT, {false, false, true, false, false, false}},
    {IDC_BACK_BUTTON, {false, false, true, true, false, true}},
    {IDC_TAGLINE, {true, false, false, false, false, false}},
    {IDC_TERMS_SENTENCE, {true, false, false, false, false, false}},
    {IDC_OPTIONS_BUTTON, {true, false, false, false, false, false}},
    {IDC_ACCEPT_BUTTON, {true, false, true, true, false, false}},
    {IDC_THANK_YOU_TITLE, {false, false, false, false, true, false}},
    {IDC_STATUS_TEXT, {false, false, false, false, true, true}},
    {IDC_PROGRESS_BAR, {false, false, false, false, true, false}},
    {IDC_INSTALL_FAILURE_TITLE, {false, false, false, false, false, true}},
    {IDC_UNINSTALL_FAILURE_TITLE, {false, false, false, false, false, true}},
    {IDC_TRY_AGAIN_BUTTON, {false, false, false, false, false, true}},
    {IDC_FULL_PACKAGE_BUTTON, {false, false, false, false, false, true}},
    {IDC_CANCEL_BUTTON, {false, true, false, false, false, false}},
    {IDC_UNINSTALL_BUTTON, {false, true, false, false, false, false}},
    {IDC_DELETE_USER_DATA_CHECK, {false, true, false, false, false, false}},
    {IDC_UNINSTALL_QUESTION, {false, true, false, false, false, false}},
};

struct ControlText {
  int control;
  int string;
};
constexpr ControlText kInstallTexts[] = {
    {IDC_OPTIONS_BUTTON, strings::kOptions},
    {IDC_BACK_BUTTON, strings::kBack},
    {IDC_LANGUAGE_LABEL, strings::kLanguage},
    {IDC_INSTALL_FOR_LABEL, strings::kInstallFor},
    {IDC_INSTALL_PATH_LABEL, strings::kInstallPath},
    {IDC_CHANGE_BUTTON, strings::kChange},
    {IDC_INVALID_PATH_TEXT, strings::kInvalidPath},
    {IDC_DEFAULT_BROWSER_CHECK, strings::kMakeDefaultBrowser},
    {IDC_IMPORT_CHECK, strings::kImportData},
    {IDC_USAGE_DATA_CHECK, strings::kShareUsageData},
    {IDC_THANK_YOU_TITLE, strings::kThankYou},
    {IDC_INSTALL_FAILURE_TITLE, strings::kInstallFailed},
    {IDC_TRY_AGAIN_BUTTON, strings::kTryAgain},
    {IDC_FULL_PACKAGE_BUTTON, strings::kGetFullInstaller},
    {IDC_CANCEL_BUTTON, strings::kCancel},
};
constexpr ControlText kUninstallTexts[] = {
    {IDC_BACK_BUTTON, strings::kBack},
    {IDC_INSTALL_FAILURE_TITLE, strings::kUninstallFailed},
    {IDC_UNINSTALL_FAILURE_TITLE, strings::kUninstallFailed},
    {IDC_TRY_AGAIN_BUTTON, strings::kTryAgain},
    {IDC_CANCEL_BUTTON, strings::kCancel},
    {IDC_UNINSTALL_BUTTON, strings::kUninstall},
    {IDC_UNINSTALL_QUESTION, strings::kUninstallQuestion},
    {IDC_DELETE_USER_DATA_CHECK, strings::kDeleteUserData},
};

int FocusOf(int32_t page) {
  switch (page) {
    case InstallerWindow::WELCOME:
    case InstallerWindow::TOS:
    case InstallerWindow::OPTIONS:
      return IDC_ACCEPT_BUTTON;
    case InstallerWindow::UNINSTALL:
      return IDC_UNINSTALL_BUTTON;
    case InstallerWindow::ERROR_PAGE:
      return IDC_TRY_AGAIN_BUTTON;
  }
  return 0;
}

HFONT CreatePointFont(HWND window, int points, int weight, const wchar_t* face, DWORD quality) {
  HDC dc = GetDC(window);
  int height = -MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72);
  ReleaseDC(window, dc);
  return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_OUTLINE_PRECIS, CLIP_DEFAULT_PRECIS, quality,
                     quality == DEFAULT_QUALITY ? DEFAULT_PITCH : VARIABLE_PITCH, face);
}

// |control|'s window rectangle in the client coordinates of |parent|.
RECT ControlRect(HWND control, HWND parent) {
  RECT rect = {};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  // In a mirrored (right-to-left) dialog the mapped edges come out swapped.
  if (rect.left > rect.right)
    std::swap(rect.left, rect.right);
  return rect;
}

// Redraws the parent's area under |control| and the control over it: a
// control with a transparent background keeps its old text otherwise.
void RedrawControlArea(HWND control) {
  HWND parent = GetParent(control);
  RECT rect = ControlRect(control, parent);
  RedrawWindow(parent, &rect, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool IsMirrored(HWND window) {
  return (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
}

std::wstring WindowText(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

std::wstring ComboText(HWND combo) {
  LRESULT selection = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (selection != CB_ERR) {
    LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, selection, 0);
    if (length != CB_ERR) {
      std::wstring text(static_cast<size_t>(length) + 1, L'\0');
      LRESULT copied = SendMessageW(combo, CB_GETLBTEXT, selection,
                                    reinterpret_cast<LPARAM>(text.data()));
      text.resize(copied == CB_ERR ? 0 : static_cast<size_t>(copied));
      return text;
    }
  }
  return WindowText(combo);
}

// The entries of |combo|'s list.
std::vector<base::FilePath> ComboEntries(HWND combo) {
  std::vector<base::FilePath> entries;
  const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, i, 0);
    std::wstring text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
    LRESULT copied = SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(std::max<LRESULT>(copied, 0)));
    entries.emplace_back(text);
  }
  return entries;
}

// The message box whose buttons the CBT hook renames.
HHOOK g_message_box_hook = nullptr;

LRESULT CALLBACK LocalizeButtonsHook(int code, WPARAM wparam, LPARAM) {
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wparam);
    const ControlText kButtons[] = {
        {IDYES, strings::kYes}, {IDNO, strings::kNo}, {IDOK, strings::kOk}};
    for (const ControlText& button : kButtons) {
      if (HWND control = GetDlgItem(box, button.control)) {
        SetWindowTextW(control, ForReadingOrder(GetLocalizedString(button.string),
                                                IsRightToLeftUILanguage())
                                    .c_str());
      }
    }
  }
  return 0;
}

}  // namespace

// static
const char* InstallerWindow::GetPageName(int32_t page) {
  switch (page) {
    case WELCOME:
      return "WELCOME";
    case UNINSTALL:
      return "UNINSTALL";
    case TOS:
      return "TOS";
    case OPTIONS:
      return "OPTIONS";
    case PROGRESS:
      return "PROGRESS";
    case ERROR_PAGE:
      return "ERROR";
  }
  return "invalid";
}

// static
std::unique_ptr<InstallerWindow> InstallerWindow::Create(
    Settings* settings, std::unique_ptr<StatsScope> root_scope, bool run_immediately,
    const InstallerWindowEnvironment& environment) {
  InitRichEdit();
  std::unique_ptr<InstallerWindow> window(
      new InstallerWindow(settings, std::move(root_scope), run_immediately, environment));
  if (!window->Init()) {
    PLOG(ERROR) << "Window creation failed.";
    return nullptr;
  }
  return window;
}

InstallerWindow::InstallerWindow(Settings* settings, std::unique_ptr<StatsScope> root_scope,
                                 bool run_immediately,
                                 const InstallerWindowEnvironment& environment)
    : settings_(settings),
      run_immediately_(run_immediately),
      environment_(environment),
      available_languages_(GetAvailableLanguages()),
      root_scope_(std::move(root_scope)) {
  if (!environment_.folder_browser)
    environment_.folder_browser = FolderBrowserImpl::GetInstance();
  if (!environment_.windows_version)
    environment_.windows_version = WindowsVersionProviderImpl::GetInstance();
  if (!environment_.association_shell)
    environment_.association_shell = AssociationShellImpl::GetInstance();
  if (!run_immediately_)
    settings_->AddObserver(this);
}

InstallerWindow::~InstallerWindow() {
  if (tooltip_)
    DestroyWindow(tooltip_);
  if (!run_immediately_)
    settings_->RemoveObserver(this);
  if (main_dialog_) {
    Win32DialogDispatcher::GetInstance()->UnselectWindow(main_dialog_);
    DestroyWindow(main_dialog_);
  }
  page_scope_.reset();
  root_scope_.reset();
}

// static
bool InstallerWindow::IsRightToLeftLanguage(const std::wstring& code) {
  return installer::IsRightToLeftLanguage(code);
}

bool InstallerWindow::ReadsRightToLeft() const {
  return IsRightToLeftLanguage(settings_->GetInstallLanguage());
}

bool InstallerWindow::Init() {
  if (!CreateDialogs())
    return false;
  ShowPage(settings_->GetUninstall() ? UNINSTALL : (run_immediately_ ? PROGRESS : WELCOME));
  ShowWindow(main_dialog_, SW_SHOW);
  UpdateTexts();
  if (!settings_->IsFetchingStatus())
    UpdateControls(true);
  return true;
}

bool InstallerWindow::CreateDialogs() {
  HINSTANCE module = GetModuleHandleW(nullptr);
  // Windows made from now on, the message boxes included, are mirrored for a
  // right-to-left language.
  SetProcessDefaultLayout(ReadsRightToLeft() ? LAYOUT_RTL : 0);
  main_dialog_ = CreateDialogParamW(module, MAKEINTRESOURCEW(IDD_INSTALLER_WINDOW), nullptr,
                                    base::win::WrappedWindowProc<&InstallerWindow::DialogProc>,
                                    reinterpret_cast<LPARAM>(this));
  if (!main_dialog_)
    return false;
  options_dialog_ =
      CreateDialogParamW(module, MAKEINTRESOURCEW(IDD_OPTIONS), main_dialog_,
                         base::win::WrappedWindowProc<&InstallerWindow::OptionsDialogProc>,
                         reinterpret_cast<LPARAM>(this));
  if (!options_dialog_)
    return false;
  InitMainDialog();
  InitOptionsDialog();
  return true;
}

void InstallerWindow::FollowReadingDirection() {
  if (!main_dialog_ || IsMirrored(main_dialog_) == ReadsRightToLeft())
    return;
  LOG(INFO) << "Making the window anew for the reading direction of "
            << base::WideToUTF8(settings_->GetInstallLanguage());
  // Dialogs and their controls take their mirroring when they are made, and
  // a control does not turn round reliably afterwards (scroll bars, combo
  // boxes' parts, rich edits): the dialogs are made anew where the old ones
  // stand, on the same page, and the old ones go.
  HWND old_main = main_dialog_;
  HWND old_options = options_dialog_;
  HWND old_tooltip = tooltip_;
  RECT placement = {};
  GetWindowRect(old_main, &placement);
  const bool visible = IsWindowVisible(old_main);
  int focus = 0;
  for (HWND window = GetFocus(); window && !focus; window = GetParent(window)) {
    if (GetParent(window) == old_main || GetParent(window) == old_options)
      focus = GetDlgCtrlID(window);
  }
  HWND old_path = GetDlgItem(old_options, IDC_INSTALL_PATH_COMBO);
  // Filled anew, the new path box shows the settings' folder: what is being
  // typed there goes back in afterwards.
  const std::wstring typed = ShowsTypedPath(old_path) ? typed_path_ : std::wstring();
  const LRESULT typing_selection = SendMessageW(old_path, CB_GETEDITSEL, 0, 0);

  main_dialog_ = options_dialog_ = tooltip_ = nullptr;
  control_brushes_.clear();
  composed_background_.reset();
  if (!CreateDialogs()) {
    PLOG(ERROR) << "Window creation failed.";
    if (main_dialog_)
      DestroyWindow(main_dialog_);
    main_dialog_ = old_main;
    options_dialog_ = old_options;
    tooltip_ = old_tooltip;
    UpdateTexts();
    return;
  }
  SetWindowPos(main_dialog_, nullptr, placement.left, placement.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  // The page as it stood, without a new entry in the statistics: what
  // ShowError and the progress changed on it is carried over.
  ShowPageControls(current_page_);
  for (const PageControl& row : kPageControls) {
    ShowWindow(GetDlgItem(main_dialog_, row.id),
               IsWindowVisible(GetDlgItem(old_main, row.id)) ? SW_SHOWNA : SW_HIDE);
  }
  SetDlgItemTextW(main_dialog_, IDC_STATUS_TEXT,
                  WindowText(GetDlgItem(old_main, IDC_STATUS_TEXT)).c_str());
  HWND old_bar = GetDlgItem(old_main, IDC_PROGRESS_BAR);
  HWND bar = GetDlgItem(main_dialog_, IDC_PROGRESS_BAR);
  PBRANGE range = {};
  SendMessageW(old_bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  SendMessageW(bar, PBM_SETRANGE32, range.iLow, range.iHigh);
  SendMessageW(bar, PBM_SETPOS, SendMessageW(old_bar, PBM_GETPOS, 0, 0), 0);
  UpdateTexts();
  if (!settings_->IsFetchingStatus())
    UpdateControls(true);
  if (!typed.empty()) {
    typed_path_ = typed;
    HWND path = GetDlgItem(options_dialog_, IDC_INSTALL_PATH_COMBO);
    SetWindowTextW(path, typed_path_.c_str());
    SendMessageW(path, CB_SETEDITSEL, 0,
                 MAKELPARAM(LOWORD(typing_selection), HIWORD(typing_selection)));
  }
  if (visible)
    ShowWindow(main_dialog_, SW_SHOW);
  if (HWND control = focus ? GetControl(focus) : nullptr)
    SetFocus(control);
  if (old_tooltip)
    DestroyWindow(old_tooltip);
  Win32DialogDispatcher::GetInstance()->UnselectWindow(old_main);
  DestroyWindow(old_main);
}

void InstallerWindow::InitMainDialog() {
  logo_ = LoadResourceImage(IDR_LOGO_PNG, L"PNG");
  badge_ = LoadResourceImage(IDR_ERROR_BADGE_PNG, L"PNG");
  background_image_ = LoadResourceImage(IDR_BACKGROUND_JPG, L"JPG");

  normal_font_.reset(CreatePointFont(main_dialog_, 8, 378, L"MS Shell Dlg", DEFAULT_QUALITY));
  bold_font_.reset(
      CreatePointFont(main_dialog_, 8, FW_BOLD, L"MS Shell Dlg", ANTIALIASED_QUALITY));
  large_font_.reset(
      CreatePointFont(main_dialog_, 14, 500, L"MS Shell Dlg 2", ANTIALIASED_QUALITY));
  headline_font_.reset(
      CreatePointFont(main_dialog_, 22, FW_BLACK, L"Segoe UI", ANTIALIASED_QUALITY));
  SetInstallerIcons(main_dialog_);
  SetWindowSubclass(GetDlgItem(main_dialog_, IDC_BANNER),
                    base::win::WrappedWindowProc<&InstallerWindow::BannerProc>, kBannerPainterId,
                    reinterpret_cast<DWORD_PTR>(this));
  SendDlgItemMessageW(main_dialog_, IDC_UNINSTALL_QUESTION, WM_SETFONT,
                      reinterpret_cast<WPARAM>(bold_font_.get()), FALSE);
  for (int id : {IDC_THANK_YOU_TITLE, IDC_INSTALL_FAILURE_TITLE, IDC_UNINSTALL_FAILURE_TITLE}) {
    SendDlgItemMessageW(main_dialog_, id, WM_SETFONT,
                        reinterpret_cast<WPARAM>(large_font_.get()), FALSE);
  }
  HWND sentence = GetDlgItem(main_dialog_, IDC_TERMS_SENTENCE);
  SendMessageW(sentence, EM_SETEVENTMASK, 0, ENM_LINK);
  HideCaretOnFocus(sentence);
  HWND tagline = GetDlgItem(main_dialog_, IDC_TAGLINE);
  HideCaretOnFocus(tagline);
  SendMessageW(tagline, WM_SETFONT, reinterpret_cast<WPARAM>(headline_font_.get()), FALSE);

  if (!run_immediately_ && !settings_->GetUninstall()) {
    // The terms are UTF-8 of the resource's size: the resource carries no
    // terminator, so reading up to a NUL would run past its end.
    const void* data = nullptr;
    size_t length = 0;
    if (base::win::GetResourceFromModule(nullptr, IDR_TERMS_TXT, L"TXT", &data, &length)) {
      std::string_view terms(static_cast<const char*>(data), length);
      terms = terms.substr(0, std::min(terms.find('\0'), terms.size()));
      std::wstring text;
      for (wchar_t c : base::UTF8ToWide(terms)) {
        if (c == L'\n' && (text.empty() || text.back() != L'\r'))
          text.push_back(L'\r');
        text.push_back(c);
      }
      // The terms read left to right also in a mirrored window.
      if (GetTextDirection(text) == TextDirection::kLeftToRight)
        RecreateUnmirrored(GetDlgItem(main_dialog_, IDC_TERMS_TEXT));
      SetDlgItemTextW(main_dialog_, IDC_TERMS_TEXT, text.c_str());
    }
  }
}

void InstallerWindow::InitOptionsDialog() {
  if (run_immediately_)
    return;
  ShowWindow(GetDlgItem(options_dialog_, IDC_DEFAULT_BROWSER_CHECK),
             ShowsDefaultBrowserChoice() ? SW_SHOWNA : SW_HIDE);
  SendDlgItemMessageW(options_dialog_, IDC_INVALID_PATH_TEXT, WM_SETFONT,
                      reinterpret_cast<WPARAM>(bold_font_.get()), FALSE);
  // The Change button lines up with the path combo beside it.
  HWND change = GetDlgItem(options_dialog_, IDC_CHANGE_BUTTON);
  RECT change_rect = ControlRect(change, options_dialog_);
  RECT combo_rect = ControlRect(GetDlgItem(options_dialog_, IDC_INSTALL_PATH_COMBO),
                                options_dialog_);
  SetWindowPos(change, nullptr, 0, 0, change_rect.right - change_rect.left,
               combo_rect.bottom - combo_rect.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  CreateInstallForTooltip();
}

bool InstallerWindow::ShowsDefaultBrowserChoice() const {
  base::win::Version version = environment_.windows_version->GetVersion();
  if (version < base::win::VERSION_WIN8)
    return true;
  if (version < base::win::VERSION_WIN10)
    return false;
  return environment_.association_shell->HasAppAssociationRegistration();
}

std::wstring InstallerWindow::InstallForTooltipText() const {
  return base::ReplaceStringPlaceholders(
      L"$1\n\t$2\n\n$3\n\t$4\n\n$5\n\t$6",
      {GetLocalizedString(strings::kAllUsersTipTitle),
       GetLocalizedString(strings::kAllUsersTipText),
       GetLocalizedString(strings::kCurrentUserTipTitle),
       GetLocalizedString(strings::kCurrentUserTipText),
       GetLocalizedString(strings::kStandAloneTipTitle),
       GetLocalizedString(strings::kStandAloneTipText)},
      nullptr);
}

void InstallerWindow::CreateInstallForTooltip() {
  tooltip_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX | TTS_USEVISUALSTYLE,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             options_dialog_, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!tooltip_) {
    PLOG(ERROR) << "Creating the install-for tooltip failed.";
    return;
  }
  SendInstallForTool(TTM_ADDTOOLW);
  SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, kTooltipWidth);
}

void InstallerWindow::SendInstallForTool(UINT message) {
  std::wstring text = ForReadingOrder(InstallForTooltipText(), ReadsRightToLeft());
  TOOLINFOW tool = {};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = options_dialog_;
  tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(options_dialog_, IDC_INSTALL_FOR_COMBO));
  tool.lpszText = text.data();
  SendMessageW(tooltip_, message, 0, reinterpret_cast<LPARAM>(&tool));
}

HWND InstallerWindow::GetControl(int id) const {
  HWND control = GetDlgItem(main_dialog_, id);
  return control ? control : GetDlgItem(options_dialog_, id);
}

void InstallerWindow::SetControlText(int id, const std::wstring& text) {
  if (text.empty())
    return;
  if (HWND control = GetControl(id))
    SetWindowTextW(control, ForReadingOrder(text, ReadsRightToLeft()).c_str());
}

void InstallerWindow::AddDelegate(InstallerWindowDelegate* delegate) {
  delegates_.AddObserver(delegate);
}

void InstallerWindow::RemoveDelegate(InstallerWindowDelegate* delegate) {
  delegates_.RemoveObserver(delegate);
}

void InstallerWindow::ShowPage(int32_t page) {
  if (page == current_page_)
    return;
  page_scope_ = root_scope_->AppendListEntry(kPageSequence);
  page_scope_->SetString(kPageType, GetPageName(page));

  if (int focus = FocusOf(page))
    SetFocus(GetDlgItem(main_dialog_, focus));
  else
    SetFocus(nullptr);
  ShowPageControls(page);
  // Typing in the path box ends with its page.
  if (page != OPTIONS)
    typed_path_.clear();
  RedrawWindow(main_dialog_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  current_page_ = page;
}

void InstallerWindow::ShowPageControls(int32_t page) {
  const bool known = page >= WELCOME && page <= ERROR_PAGE;
  for (const PageControl& row : kPageControls) {
    ShowWindow(GetDlgItem(main_dialog_, row.id),
               known && row.shown[page] ? SW_SHOWNA : SW_HIDE);
  }
  if (settings_->GetUninstall()) {
    ShowWindow(GetDlgItem(main_dialog_, IDC_THANK_YOU_TITLE), SW_HIDE);
    ShowWindow(GetDlgItem(main_dialog_, IDC_INSTALL_FAILURE_TITLE), SW_HIDE);
  } else {
    ShowWindow(GetDlgItem(main_dialog_, IDC_UNINSTALL_FAILURE_TITLE), SW_HIDE);
  }
  ShowWindow(options_dialog_, page == OPTIONS ? SW_SHOWNA : SW_HIDE);
  error_page_shown_ = page == ERROR_PAGE;
}

std::wstring InstallerWindow::AcceptButtonText() const {
  const InstallationFolderDetails* details = settings_->GetFolderDetails();
  bool upgrade = details && (details->IsExistingInstallation() ||
                             details->HasExistingInstallationTraces());
  return GetLocalizedString(upgrade ? strings::kAcceptAndUpgrade : strings::kAcceptAndInstall);
}

void InstallerWindow::UpdateTermsSentence() {
  HWND sentence = GetDlgItem(main_dialog_, IDC_TERMS_SENTENCE);
  if (ReadsRightToLeft())
    SetRichTextRightToLeft(sentence);
  SetRichTextWithLinks(sentence, GetLocalizedStringF(strings::kTermsSentence, AcceptButtonText()),
                       kLinkColour);
}

void InstallerWindow::UpdateTexts() {
  const bool uninstall = settings_->GetUninstall();
  if (uninstall) {
    for (const ControlText& text : kUninstallTexts)
      SetControlText(text.control, GetLocalizedString(text.string));
  } else {
    for (const ControlText& text : kInstallTexts)
      SetControlText(text.control, GetLocalizedString(text.string));
  }
  // The tagline in its colour, the product name in it black.
  HWND tagline = GetDlgItem(main_dialog_, IDC_TAGLINE);
  std::wstring name = GetLocalizedString(strings::kProductNameCapitals);
  std::wstring tagline_text =
      GetLocalizedStringF(strings::kTagline, ArgumentEndingSentence(name, ReadsRightToLeft()));
  if (ReadsRightToLeft())
    SetRichTextRightToLeft(tagline);
  SetWindowTextW(tagline, tagline_text.c_str());
  CHARFORMAT2W format = {};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_COLOR;
  format.crTextColor = kTaglineColour;
  SendMessageW(tagline, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
  size_t at = name.empty() ? std::wstring::npos : tagline_text.find(name);
  if (at != std::wstring::npos) {
    CHARRANGE range = {static_cast<LONG>(at), static_cast<LONG>(at + name.size())};
    SendMessageW(tagline, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    format.crTextColor = 0;
    SendMessageW(tagline, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  }
  // The colouring selection must not stay visible.
  CHARRANGE none = {0, 0};
  SendMessageW(tagline, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&none));
  SetWindowTextW(main_dialog_,
                 ForReadingOrder(GetLocalizedString(strings::kInstallerTitle), ReadsRightToLeft())
                     .c_str());

  if (!uninstall) {
    FillLanguageCombo();
    FillInstallForCombo();
    if (tooltip_)
      SendInstallForTool(TTM_UPDATETIPTEXTW);
    WidenFullPackageButton();
  } else {
    CentreDeleteUserDataCheck();
  }
  RedrawWindow(main_dialog_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void InstallerWindow::WidenFullPackageButton() {
  // Wide enough for its text in the normal font, as drawn (shaped), right
  // edge kept.
  HWND full = GetDlgItem(main_dialog_, IDC_FULL_PACKAGE_BUTTON);
  RECT full_rect = ControlRect(full, main_dialog_);
  RECT retry_rect = ControlRect(GetDlgItem(main_dialog_, IDC_TRY_AGAIN_BUTTON), main_dialog_);
  const LONG label =
      GetLabelWidth(full, GetLocalizedString(strings::kGetFullInstaller), normal_font_.get());
  LONG width = std::max<LONG>(label + 30, retry_rect.right - retry_rect.left);
  SetWindowPos(full, nullptr, full_rect.right - width, full_rect.top, width,
               full_rect.bottom - full_rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
  // A mirrored button starts its label at the right: laid out wider than it
  // is drawn, the label would land right of centre and, in a button sized to
  // what is drawn, run past its edge.
  full_package_label_shift_ =
      IsMirrored(full) ? GetCentredLabelShift(full, WindowText(full)) : 0;
}

LRESULT InstallerWindow::CentreFullPackageLabel(const NMCUSTOMDRAW& draw) {
  // The label is drawn moved back to the centre; the focus frame, drawn
  // after it, stays in place.
  if (!full_package_label_shift_)
    return CDRF_DODEFAULT;
  if (draw.dwDrawStage == CDDS_PREPAINT) {
    OffsetWindowOrgEx(draw.hdc, full_package_label_shift_, 0, nullptr);
    return CDRF_NOTIFYPOSTPAINT;
  }
  if (draw.dwDrawStage == CDDS_POSTPAINT)
    OffsetWindowOrgEx(draw.hdc, -full_package_label_shift_, 0, nullptr);
  return CDRF_DODEFAULT;
}

void InstallerWindow::CentreDeleteUserDataCheck() {
  // Under the centred question, the check box fits its box and text and
  // stands centred too.
  HWND check = GetDlgItem(main_dialog_, IDC_DELETE_USER_DATA_CHECK);
  RECT question = ControlRect(GetDlgItem(main_dialog_, IDC_UNINSTALL_QUESTION), main_dialog_);
  RECT rect = ControlRect(check, main_dialog_);
  // The box, the gap a check box leaves before its text, the text and room
  // for the focus frame around it.
  RECT gap = {kCheckBoxTextGapDlu, 0, 0, 0};
  MapDialogRect(main_dialog_, &gap);
  const LONG width =
      std::min<LONG>(question.right - question.left,
                     GetSystemMetrics(SM_CXMENUCHECK) + 2 * gap.left +
                         GetLabelWidth(check, WindowText(check)));
  const LONG left = (question.left + question.right - width) / 2;
  SetWindowPos(check, nullptr, left, rect.top, width, rect.bottom - rect.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void InstallerWindow::FillLanguageCombo() {
  HWND combo = GetDlgItem(options_dialog_, IDC_LANGUAGE_COMBO);
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  int selected = 0;
  for (size_t i = 0; i < available_languages_.size(); ++i) {
    const std::wstring& code = available_languages_[i];
    // Each language is named in itself, in its own direction.
    std::wstring name = GetLocalizedStringForLanguage(code, 37051);
    if (ReadsRightToLeft())
      name = EmbedInOwnDirection(name);
    LRESULT index = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (index == CB_ERR || index == CB_ERRSPACE) {
      LOG(ERROR) << "Adding item #" << i << "to the language dropdown failed";
      continue;
    }
    SendMessageW(combo, CB_SETITEMDATA, index, static_cast<LPARAM>(i));
    if (code == settings_->GetInstallLanguage())
      selected = static_cast<int>(index);
  }
  SendMessageW(combo, CB_SETCURSEL, selected, 0);
}

void InstallerWindow::FillInstallForCombo() {
  HWND combo = GetDlgItem(options_dialog_, IDC_INSTALL_FOR_COMBO);
  LRESULT previous = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  std::wstring current_user = GetLocalizedString(strings::kCurrentUser);
  std::wstring user;
  if (GetCurrentUserName(&user) && !user.empty())
    current_user += L" (" + MarkArgument(user, ReadsRightToLeft()) + L")";
  for (const std::wstring& entry :
       {GetLocalizedString(strings::kAllUsers), current_user,
        GetLocalizedString(strings::kStandAlone)}) {
    SendMessageW(combo, CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(ForReadingOrder(entry, ReadsRightToLeft()).c_str()));
  }
  SendMessageW(combo, CB_SETCURSEL, previous == CB_ERR ? 0 : previous, 0);
}

void InstallerWindow::FillPathCombo() {
  HWND combo = GetDlgItem(options_dialog_, IDC_INSTALL_PATH_COMBO);
  std::vector<base::FilePath> folders;
  settings_->GetSuggestedInstallFolders(&folders);
  // What the user is typing stays as it stands, caret and all: the analysis
  // of one keystroke may come back before the next, and a text set anew
  // would put the caret in front of what was typed. Once the settings hold
  // another folder (a change of mode moved them), the box shows that one.
  if (ShowsTypedPath(combo)) {
    if (ComboEntries(combo) == folders)
      return;
    const LRESULT selection = SendMessageW(combo, CB_GETEDITSEL, 0, 0);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const base::FilePath& folder : folders)
      SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folder.value().c_str()));
    SetWindowTextW(combo, typed_path_.c_str());
    SendMessageW(combo, CB_SETEDITSEL, 0,
                 MAKELPARAM(LOWORD(selection), HIWORD(selection)));
    return;
  }
  typed_path_.clear();
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  const std::wstring& path = settings_->GetInstallPath().value();
  int selected = -1;
  for (const base::FilePath& folder : folders) {
    LRESULT index = SendMessageW(combo, CB_ADDSTRING, 0,
                                 reinterpret_cast<LPARAM>(folder.value().c_str()));
    if (selected < 0 && index >= 0 && _wcsicmp(folder.value().c_str(), path.c_str()) == 0)
      selected = static_cast<int>(index);
  }
  if (selected < 0) {
    LRESULT exact = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                 reinterpret_cast<LPARAM>(path.c_str()));
    if (exact != CB_ERR && ComboText(combo).empty())
      selected = static_cast<int>(exact);
  }
  if (selected >= 0)
    SendMessageW(combo, CB_SETCURSEL, selected, 0);
  else
    SetWindowTextW(combo, path.c_str());
}

bool InstallerWindow::ShowsTypedPath(HWND combo) const {
  // The settings spell the folder with backslashes only.
  return !typed_path_.empty() && ComboText(combo) == typed_path_ &&
         base::FilePath(typed_path_).NormalizePathSeparators() == settings_->GetInstallPath();
}

bool InstallerWindow::NeedsElevation() const {
  const InstallationFolderDetails* details = settings_->GetFolderDetails();
  return installer::NeedsElevation(settings_->GetAllUsers(), details && details->HasWriteAccess());
}

void InstallerWindow::UpdateControls(bool path_changed) {
  const InstallationFolderDetails* details = settings_->GetFolderDetails();
  const bool valid = details && details->IsValidInstallPath();
  const bool shield = valid && NeedsElevation();
  if (settings_->GetUninstall()) {
    Button_SetElevationRequiredState(GetDlgItem(main_dialog_, IDC_UNINSTALL_BUTTON), shield);
    HWND check = GetDlgItem(main_dialog_, IDC_DELETE_USER_DATA_CHECK);
    if (current_page_ == UNINSTALL)
      ShowWindow(check, settings_->HasRegisteredInstallation() ? SW_SHOWNA : SW_HIDE);
    SendMessageW(check, BM_SETCHECK, settings_->GetDeleteProfile() ? BST_CHECKED : BST_UNCHECKED, 0);
    return;
  }
  EnableWindow(GetDlgItem(options_dialog_, IDC_INSTALL_FOR_COMBO),
               settings_->GetOperation() == INSTALLING && settings_->IsNewInstallation());
  SendDlgItemMessageW(options_dialog_, IDC_INSTALL_FOR_COMBO, CB_SETCURSEL,
                      static_cast<WPARAM>(settings_->GetInstallationMode()), 0);
  SetDlgItemTextW(main_dialog_, IDC_ACCEPT_BUTTON,
                  ForReadingOrder(AcceptButtonText(), ReadsRightToLeft()).c_str());
  UpdateTermsSentence();
  Button_SetElevationRequiredState(GetDlgItem(main_dialog_, IDC_ACCEPT_BUTTON), shield);
  Button_SetElevationRequiredState(GetDlgItem(main_dialog_, IDC_TRY_AGAIN_BUTTON), shield);
  HWND default_browser = GetDlgItem(options_dialog_, IDC_DEFAULT_BROWSER_CHECK);
  EnableWindow(default_browser, settings_->CanSetDefaultBrowser());
  SendMessageW(default_browser, BM_SETCHECK,
               settings_->GetDefaultBrowser() ? BST_CHECKED : BST_UNCHECKED, 0);
  CheckDlgButton(options_dialog_, IDC_IMPORT_CHECK,
                 settings_->GetImportBrowserData() ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(options_dialog_, IDC_USAGE_DATA_CHECK,
                 settings_->GetEnableVeltoStats() || settings_->GetEnableInstallerStats()
                     ? BST_CHECKED
                     : BST_UNCHECKED);
  if (path_changed)
    FillPathCombo();
  EnableWindow(GetDlgItem(main_dialog_, IDC_ACCEPT_BUTTON), valid);
  EnableWindow(GetDlgItem(main_dialog_, IDC_BACK_BUTTON), valid);
  HWND invalid = GetDlgItem(options_dialog_, IDC_INVALID_PATH_TEXT);
  ShowWindow(invalid, valid ? SW_HIDE : SW_SHOWNA);
  RedrawControlArea(invalid);
}

void InstallerWindow::OnSettingChanged() {
  UpdateControls(false);
}

void InstallerWindow::OnLanguageChanged() {
  // A language of the other direction needs the window made anew: later,
  // as the language list that told of the choice is part of it.
  if (main_dialog_ && IsMirrored(main_dialog_) != ReadsRightToLeft()) {
    base::MessageLoop::current()->task_runner()->PostTask(
        FROM_HERE, base::BindOnce(&InstallerWindow::FollowReadingDirection,
                                  weak_factory_.GetWeakPtr()));
    return;
  }
  UpdateTexts();
}

void InstallerWindow::OnPathChanged() {
  UpdateControls(true);
}

void InstallerWindow::SetProgressRange(uint16_t start, uint16_t end, bool marquee) {
  ShowPage(PROGRESS);
  HWND bar = GetDlgItem(main_dialog_, IDC_PROGRESS_BAR);
  if (marquee) {
    SetWindowLongPtrW(bar, GWL_STYLE, GetWindowLongPtrW(bar, GWL_STYLE) | PBS_MARQUEE);
    SendMessageW(bar, PBM_SETMARQUEE, TRUE, 0);
    return;
  }
  SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(start, end));
  SendMessageW(bar, PBM_SETSTEP, 1, 0);
  SendMessageW(bar, PBM_SETPOS, 0, 0);
}

void InstallerWindow::SetProgressPos(int value) {
  HWND bar = GetDlgItem(main_dialog_, IDC_PROGRESS_BAR);
  int position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
  if (value <= position)
    return;
  if (value <= position + 10) {
    for (int i = position; i < value; ++i)
      SendMessageW(bar, PBM_STEPIT, 0, 0);
  } else {
    SendMessageW(bar, PBM_SETPOS, value, 0);
  }
}

void InstallerWindow::SetProgressText(int phase) {
  std::wstring text;
  if (phase == 0 || phase == 1) {
    text = GetLocalizedString(strings::kDownloading);
  } else if (phase == 2) {
    text = GetLocalizedString(strings::kExtracting);
  } else if (settings_->GetUninstall()) {
    text = GetLocalizedString(strings::kUninstalling);
  } else if (settings_->GetInstallationMode() == CURRENT_USER) {
    std::wstring user;
    if (!GetUserDisplayName(&user) || user.empty())
      GetCurrentUserName(&user);
    text = GetLocalizedStringF(strings::kInstallingForUser, MarkArgument(user, ReadsRightToLeft()));
  } else {
    text = GetLocalizedString(strings::kInstalling);
  }
  HWND control = GetDlgItem(main_dialog_, IDC_STATUS_TEXT);
  if (!text.empty())
    SetWindowTextW(control, ForReadingOrder(text, ReadsRightToLeft()).c_str());
  RedrawControlArea(control);
}

void InstallerWindow::ShowError(std::wstring_view text, bool offer_full_package,
                                std::string_view reason) {
  ShowPage(ERROR_PAGE);
  ShowWindow(GetDlgItem(main_dialog_, IDC_FULL_PACKAGE_BUTTON),
             offer_full_package ? SW_SHOWNA : SW_HIDE);
  LOG(INFO) << "Displaying error: \"" << text << "\" and " << (offer_full_package ? "" : "don't ")
            << "offer full package";
  const bool back = !run_immediately_ && !settings_->GetUninstall();
  ShowWindow(GetDlgItem(main_dialog_, IDC_BACK_BUTTON), back ? SW_SHOWNA : SW_HIDE);
  HWND control = GetDlgItem(main_dialog_, IDC_STATUS_TEXT);
  SetWindowTextW(control, ForReadingOrder(text, ReadsRightToLeft()).c_str());
  RedrawControlArea(control);
  page_scope_->SetString("failure_reason", reason);
}

int InstallerWindow::ShowLocalizedMessageBox(HWND owner, const std::wstring& text, UINT type) {
  g_message_box_hook =
      SetWindowsHookExW(WH_CBT, base::win::WrappedWindowProc<&LocalizeButtonsHook>, nullptr,
                        GetCurrentThreadId());
  const bool right_to_left = ReadsRightToLeft();
  if (right_to_left)
    type |= MB_RTLREADING | MB_RIGHT;
  int answer = MessageBoxW(
      owner, ForReadingOrder(text, right_to_left).c_str(),
      ForReadingOrder(GetLocalizedString(strings::kInstallerTitle), right_to_left).c_str(), type);
  if (g_message_box_hook) {
    UnhookWindowsHookEx(g_message_box_hook);
    g_message_box_hook = nullptr;
  }
  return answer;
}

void InstallerWindow::ShowMessageBox(std::wstring_view text) {
  ShowLocalizedMessageBox(main_dialog_, std::wstring(text), MB_OK | MB_ICONERROR);
  page_scope_->SetString("error_displayed", base::WideToUTF8(text));
  NotifyCancel();
}

void InstallerWindow::ConfirmCancel(HWND owner) {
  int text = settings_->GetUninstall() ? strings::kConfirmCancelUninstall
                                       : strings::kConfirmCancelInstall;
  if (ShowLocalizedMessageBox(owner, GetLocalizedString(text), MB_YESNO | MB_ICONQUESTION) !=
      IDYES) {
    return;
  }
  RecordNavigation("CANCEL");
  NotifyCancel();
}

void InstallerWindow::BrowseForFolder() {
  HWND combo = GetDlgItem(options_dialog_, IDC_INSTALL_PATH_COMBO);
  std::wstring folder;
  if (!environment_.folder_browser->BrowseForFolder(
          main_dialog_, GetLocalizedString(strings::kBrowseForFolder), ComboText(combo),
          &folder)) {
    return;
  }
  LRESULT entry = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>(folder.c_str()));
  if (entry != CB_ERR) {
    SendMessageW(combo, CB_SETCURSEL, entry, 0);
  } else {
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SetWindowTextW(combo, folder.c_str());
  }
  ApplyPath(combo, false);
}

void InstallerWindow::BuildBackground() {
  // Moves and sizes of the creation come before the window knows its dialog.
  if (!main_dialog_)
    return;
  RECT client = {};
  GetClientRect(main_dialog_, &client);
  HDC window_dc = GetDC(main_dialog_);
  HDC dc = CreateCompatibleDC(window_dc);
  composed_background_.reset(CreateCompatibleBitmap(window_dc, client.right, client.bottom));
  ReleaseDC(main_dialog_, window_dc);
  HGDIOBJ old = SelectObject(dc, composed_background_.get());
  FillRect(dc, &client, GetSysColorBrush(COLOR_3DFACE));
  BlendBitmap(dc, background_image_.get(), client);

  control_brushes_.clear();
  if (IsAppThemed()) {
    // Themed check boxes paint their background with the brush they are
    // given: a piece of the picture under them makes them blend in.
    for (int id : kBackgroundBrushControls) {
      HWND control = GetControl(id);
      if (!control)
        continue;
      RECT rect = ControlRect(control, main_dialog_);
      if (GetParent(control) == options_dialog_) {
        RECT options = ControlRect(options_dialog_, main_dialog_);
        OffsetRect(&rect, options.left, options.top);
      }
      HDC piece_dc = CreateCompatibleDC(dc);
      base::win::ScopedBitmap piece(
          CreateCompatibleBitmap(dc, rect.right - rect.left, rect.bottom - rect.top));
      HGDIOBJ old_piece = SelectObject(piece_dc, piece.get());
      BitBlt(piece_dc, 0, 0, rect.right - rect.left, rect.bottom - rect.top, dc, rect.left,
             rect.top, SRCCOPY);
      SelectObject(piece_dc, old_piece);
      DeleteDC(piece_dc);
      control_brushes_[control].reset(CreatePatternBrush(piece.get()));
    }
  }
  SelectObject(dc, old);
  DeleteDC(dc);
}

bool InstallerWindow::EraseBackground(HDC dc) {
  if (!main_dialog_ || current_page_ == OPTIONS)
    return false;
  if (!composed_background_)
    BuildBackground();
  RECT client = {};
  GetClientRect(main_dialog_, &client);
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, composed_background_.get());
  BitBlt(dc, 0, 0, client.right, client.bottom, source, 0, 0, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
  return true;
}

HBRUSH InstallerWindow::GetControlBrush(HWND control) const {
  auto brush = control_brushes_.find(control);
  return brush == control_brushes_.end() ? nullptr : brush->second.get();
}

void InstallerWindow::PaintBanner(HDC dc) {
  SIZE logo = GetBitmapSize(logo_.get());
  if (!logo.cx)
    return;
  RECT client = {};
  GetClientRect(GetDlgItem(main_dialog_, IDC_BANNER), &client);
  // The logo and its badge are one picture: a mirrored (right-to-left)
  // window shows it as it is, badge at the bottom right.
  DWORD layout = GetLayout(dc);
  if (layout & LAYOUT_RTL)
    SetLayout(dc, 0);
  const int x = client.right / 2 - logo.cx / 2;
  const int y = client.bottom / 2 - logo.cy / 2;
  RECT logo_rect = {x, y, x + logo.cx, y + logo.cy};
  BlendBitmap(dc, logo_.get(), logo_rect);
  SIZE badge = GetBitmapSize(badge_.get());
  if (error_page_shown_ && badge.cx) {
    const int badge_x = x + logo.cx - badge.cx + kBadgeOverhang;
    const int badge_y = y + logo.cy - badge.cy + kBadgeOverhang;
    RECT badge_rect = {badge_x, badge_y, badge_x + badge.cx, badge_y + badge.cy};
    BlendBitmap(dc, badge_.get(), badge_rect);
  }
  if (layout & LAYOUT_RTL)
    SetLayout(dc, layout);
}

// static
LRESULT CALLBACK InstallerWindow::BannerProc(HWND banner, UINT message, WPARAM wparam,
                                             LPARAM lparam, UINT_PTR, DWORD_PTR data) {
  auto* window = reinterpret_cast<InstallerWindow*>(data);
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(banner, &paint);
      window->PaintBanner(dc);
      EndPaint(banner, &paint);
      return 0;
    }
    case WM_PRINTCLIENT:
      window->PaintBanner(reinterpret_cast<HDC>(wparam));
      return 0;
    case WM_NCDESTROY:
      RemoveWindowSubclass(banner, base::win::WrappedWindowProc<&InstallerWindow::BannerProc>,
                           kBannerPainterId);
      break;
  }
  return DefSubclassProc(banner, message, wparam, lparam);
}

void InstallerWindow::RecordNavigation(const char* action) {
  crash_reporting::CrashPoint(crash_reporting::kCrashPointWizardClick);
  page_scope_->SetString(kNavigationAction, action);
  page_scope_->SetTimeAndElapsed(kNavigationTime);
}

std::vector<InstallerWindowDelegate*> InstallerWindow::GetDelegates() {
  std::vector<InstallerWindowDelegate*> delegates;
  for (InstallerWindowDelegate& delegate : delegates_)
    delegates.push_back(&delegate);
  return delegates;
}

// A delegate may end the run and destroy this window from inside its call
// (the interactive controller does on cancel and on the full installer): the
// delegates are listed first, and the window is not touched afterwards.
void InstallerWindow::NotifyAccept() {
  for (InstallerWindowDelegate* delegate : GetDelegates())
    delegate->OnAccept();
}

void InstallerWindow::NotifyGetFullPackage() {
  for (InstallerWindowDelegate* delegate : GetDelegates())
    delegate->OnGetFullPackage();
}

void InstallerWindow::NotifyCancel() {
  for (InstallerWindowDelegate* delegate : GetDelegates())
    delegate->OnCancel();
}

void InstallerWindow::ApplyPath(HWND combo, bool typed) {
  if (!settings_->IsEditable()) {
    typed_path_.clear();
    UpdateControls(true);
    return;
  }
  const std::wstring path = ComboText(combo);
  if (combo == GetDlgItem(options_dialog_, IDC_INSTALL_PATH_COMBO))
    typed_path_ = typed ? path : std::wstring();
  settings_->SetInstallFolder(base::FilePath(path));
}

void InstallerWindow::ApplyCheckBox(int id) {
  if (!settings_->IsEditable()) {
    UpdateControls(false);
    return;
  }
  HWND dialog = id == IDC_DELETE_USER_DATA_CHECK ? main_dialog_ : options_dialog_;
  bool checked = IsDlgButtonChecked(dialog, id) == BST_CHECKED;
  switch (id) {
    case IDC_DEFAULT_BROWSER_CHECK:
      page_scope_->Increment("changed_make_default_browser");
      settings_->SetDefaultBrowser(checked);
      break;
    case IDC_IMPORT_CHECK:
      page_scope_->Increment("changed_import_data");
      settings_->SetImportBrowserData(checked);
      break;
    case IDC_USAGE_DATA_CHECK:
      page_scope_->Increment("changed_enable_stats");
      settings_->SetEnableVeltoStats(checked);
      settings_->SetEnableInstallerStats(checked);
      break;
    case IDC_DELETE_USER_DATA_CHECK:
      page_scope_->Increment("changed_delete_profile");
      settings_->SetDeleteProfile(checked);
      break;
  }
  HWND control = GetDlgItem(dialog, id);
  RedrawControlArea(control);
}

bool InstallerWindow::OnCommand(int id, int code) {
  switch (id) {
    case IDC_ACCEPT_BUTTON:
      RecordNavigation("ACCEPT");
      NotifyAccept();
      return true;
    case IDC_TRY_AGAIN_BUTTON:
      RecordNavigation("RETRY");
      NotifyAccept();
      return true;
    case IDC_UNINSTALL_BUTTON:
      RecordNavigation("UNINSTALL");
      NotifyAccept();
      return true;
    case IDC_OPTIONS_BUTTON:
      RecordNavigation("OPTIONS");
      ShowPage(OPTIONS);
      return true;
    case IDC_BACK_BUTTON:
      RecordNavigation("BACK");
      ShowPage(WELCOME);
      return true;
    case IDC_FULL_PACKAGE_BUTTON:
      RecordNavigation("FULL_PACKAGE");
      NotifyGetFullPackage();
      return true;
    case IDC_CANCEL_BUTTON:
    case IDCANCEL:
      ConfirmCancel(main_dialog_);
      return true;
    case IDC_TERMS_TEXT:
      if (code == EN_SETFOCUS)
        SendDlgItemMessageW(main_dialog_, IDC_TERMS_TEXT, EM_SETSEL, 0, 0);
      return true;
    case IDC_MAIN_INSTALL_PATH_COMBO:
      if (code == CBN_SELCHANGE) {
        page_scope_->Increment("changed_install_path_from_main_screen");
        ApplyPath(GetDlgItem(main_dialog_, id), false);
      } else if (code == CBN_EDITCHANGE) {
        page_scope_->Increment("edited_install_path_from_main_screen");
        ApplyPath(GetDlgItem(main_dialog_, id), true);
      }
      return true;
    case IDC_DELETE_USER_DATA_CHECK:
      if (code == BN_CLICKED)
        ApplyCheckBox(id);
      return true;
    case IDC_MAIN_BROWSE_BUTTON:
      if (code == BN_CLICKED)
        BrowseForFolder();
      return true;
  }
  return false;
}

bool InstallerWindow::OnOptionsCommand(int id, int code) {
  HWND control = GetDlgItem(options_dialog_, id);
  switch (id) {
    case IDC_LANGUAGE_COMBO: {
      if (code != CBN_SELCHANGE)
        return false;
      page_scope_->Increment("changed_language");
      if (settings_->IsEditable()) {
        LRESULT index = SendMessageW(control, CB_GETCURSEL, 0, 0);
        LRESULT item = index == CB_ERR ? CB_ERR : SendMessageW(control, CB_GETITEMDATA, index, 0);
        if (item != CB_ERR && item >= 0 && static_cast<size_t>(item) < available_languages_.size())
          settings_->SetInstallLanguage(available_languages_[static_cast<size_t>(item)]);
      }
      UpdateControls(false);
      return true;
    }
    case IDC_INSTALL_FOR_COMBO: {
      if (code != CBN_SELCHANGE)
        return false;
      page_scope_->Increment("changed_install_mode");
      LRESULT index = SendMessageW(control, CB_GETCURSEL, 0, 0);
      if (settings_->IsEditable()) {
        if (index != CB_ERR)
          settings_->SetMode(static_cast<InstallationMode>(index));
      } else {
        UpdateControls(false);
      }
      return true;
    }
    case IDC_INSTALL_PATH_COMBO:
      if (code == CBN_SELCHANGE) {
        page_scope_->Increment("changed_install_path");
        ApplyPath(control, false);
      } else if (code == CBN_EDITCHANGE) {
        page_scope_->Increment("edited_install_path");
        ApplyPath(control, true);
      }
      return true;
    case IDC_CHANGE_BUTTON:
      if (code == BN_CLICKED)
        BrowseForFolder();
      return true;
    case IDC_DEFAULT_BROWSER_CHECK:
    case IDC_IMPORT_CHECK:
    case IDC_USAGE_DATA_CHECK:
      if (code == BN_CLICKED)
        ApplyCheckBox(id);
      return true;
  }
  return false;
}

bool InstallerWindow::OnNotify(NMHDR* header) {
  if (header->code != EN_LINK || header->idFrom != IDC_TERMS_SENTENCE)
    return false;
  auto* link = reinterpret_cast<ENLINK*>(header);
  if (link->msg != WM_LBUTTONUP)
    return false;
  std::wstring markup = GetLocalizedStringF(strings::kTermsSentence, AcceptButtonText());
  if (LinkTargetForClick(markup, GetLinkRangeText(header->hwndFrom, *link)) == kTosLink) {
    RecordNavigation("TOS");
    ShowPage(TOS);
  }
  return true;
}

// static
INT_PTR CALLBACK InstallerWindow::DialogProc(HWND dialog, UINT message, WPARAM wparam,
                                             LPARAM lparam) {
  auto* window = GetDialogOwner<InstallerWindow>(dialog, message, lparam);
  if (!window)
    return FALSE;
  switch (message) {
    case WM_ACTIVATE:
      Win32DialogDispatcher::GetInstance()->OnDialogActivation(dialog, wparam);
      return FALSE;
    case WM_CLOSE:
      window->ConfirmCancel(dialog);
      return TRUE;
    case WM_COMMAND:
      return window->OnCommand(LOWORD(wparam), HIWORD(wparam));
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lparam);
      if (header->code == NM_CUSTOMDRAW && header->idFrom == IDC_FULL_PACKAGE_BUTTON) {
        const auto& draw = *reinterpret_cast<NMCUSTOMDRAW*>(lparam);
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, window->CentreFullPackageLabel(draw));
        return TRUE;
      }
      return window->OnNotify(header);
    }
    case WM_CTLCOLORSTATIC: {
      HWND control = reinterpret_cast<HWND>(lparam);
      if (GetDlgCtrlID(control) == IDC_TERMS_TEXT)
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
      return ColourStaticText(reinterpret_cast<HDC>(wparam),
                              GetDlgCtrlID(control) == IDC_MAIN_WARNING_TEXT,
                              window->GetControlBrush(control));
    }
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
      return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    case WM_ERASEBKGND:
      if (!window->EraseBackground(reinterpret_cast<HDC>(wparam)))
        return FALSE;
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_MOVE:
    case WM_SIZE:
    case WM_THEMECHANGED:
      window->BuildBackground();
      return FALSE;
  }
  return FALSE;
}

// static
INT_PTR CALLBACK InstallerWindow::OptionsDialogProc(HWND dialog, UINT message, WPARAM wparam,
                                                    LPARAM lparam) {
  auto* window = GetDialogOwner<InstallerWindow>(dialog, message, lparam);
  if (!window)
    return FALSE;
  switch (message) {
    case WM_COMMAND:
      return window->OnOptionsCommand(LOWORD(wparam), HIWORD(wparam));
    case WM_CTLCOLORSTATIC: {
      int id = GetDlgCtrlID(reinterpret_cast<HWND>(lparam));
      if (id == IDC_DEFAULT_BROWSER_CHECK || id == IDC_IMPORT_CHECK || id == IDC_USAGE_DATA_CHECK)
        return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
      return ColourStaticText(reinterpret_cast<HDC>(wparam), id == IDC_INVALID_PATH_TEXT);
    }
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORBTN:
      return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
  }
  return FALSE;
}

}  // namespace installer
