// InstallerWindow: the installer's wizard. One modeless main dialog (template
// 101 of the installer executable) with a child options dialog (template
// 138); one of six pages is shown by switching control visibility. The
// window keeps every text in the install language, reflects the settings in
// the controls, turns the user's choices into settings changes, records each
// page and navigation in the statistics ("ui.page_sequence") and reports the
// user's decisions to its InstallerWindowDelegates. A language of the other
// reading direction makes the dialogs anew, mirrored or not, on the same
// page. UI thread only.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_WINDOW_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_WINDOW_H_

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/memory/weak_ptr.h"
#include "base/observer_list.h"
#include "base/win/scoped_gdi_object.h"
#include "desktop/windows/installer/settings_observer.h"
#include "desktop/windows/installer/ui/installer_window_delegate.h"

namespace installer {

class AssociationShell;
class FolderBrowser;
class Settings;
class StatsScope;
class WindowsVersionProvider;

// The system services the window asks; members left null take the real ones.
struct InstallerWindowEnvironment {
  // The Change and browse buttons' folder picker. Null: FolderBrowserImpl.
  FolderBrowser* folder_browser = nullptr;
  // Whether the default-browser choice is offered. Null:
  // WindowsVersionProviderImpl and AssociationShellImpl.
  const WindowsVersionProvider* windows_version = nullptr;
  AssociationShell* association_shell = nullptr;
};

class InstallerWindow : public SettingsObserver {
 public:
  enum Page : int32_t {
    WELCOME = 0,
    UNINSTALL = 1,
    TOS = 2,
    OPTIONS = 3,
    PROGRESS = 4,
    ERROR_PAGE = 5,
    NO_PAGE = 6,
  };
  // The statistics name of |page| ("invalid" outside the enumeration).
  static const char* GetPageName(int32_t page);
  // Whether the language of |code| ("ar", "he", ...) reads right to left.
  static bool IsRightToLeftLanguage(const std::wstring& code);

  // Creates the window, or logs "Window creation failed." and returns null
  // when a dialog cannot be created. |root_scope| receives the page sequence.
  static std::unique_ptr<InstallerWindow> Create(
      Settings* settings, std::unique_ptr<StatsScope> root_scope, bool run_immediately,
      const InstallerWindowEnvironment& environment = {});

  InstallerWindow(const InstallerWindow&) = delete;
  InstallerWindow& operator=(const InstallerWindow&) = delete;
  ~InstallerWindow() override;

  void AddDelegate(InstallerWindowDelegate* delegate);
  void RemoveDelegate(InstallerWindowDelegate* delegate);

  // Does nothing for the current page.
  void ShowPage(int32_t page);
  void UpdateTexts();
  void UpdateControls(bool path_changed);

  // Shows the progress page with a bar from |start| to |end| (or a marquee).
  void SetProgressRange(uint16_t start, uint16_t end, bool marquee);
  // Moves the bar forward to |value|: in single steps for up to ten units,
  // at once beyond that. The bar never moves backwards.
  void SetProgressPos(int value);
  // 0 and 1 downloading, 2 extracting, other phases installing or
  // uninstalling.
  void SetProgressText(int phase);
  void ShowError(std::wstring_view text, bool offer_full_package, std::string_view reason);
  // A standard error box; afterwards every delegate's OnCancel.
  void ShowMessageBox(std::wstring_view text);
  // Asks whether to quit; Yes records "CANCEL" and tells the delegates.
  void ConfirmCancel(HWND owner);

  // SettingsObserver:
  void OnSettingChanged() override;
  void OnLanguageChanged() override;
  void OnPathChanged() override;

  HWND main_dialog() const { return main_dialog_; }
  HWND options_dialog() const { return options_dialog_; }
  HWND tooltip() const { return tooltip_; }
  int32_t current_page() const { return current_page_; }
  StatsScope* page_scope() const { return page_scope_.get(); }

 private:
  InstallerWindow(Settings* settings, std::unique_ptr<StatsScope> root_scope,
                  bool run_immediately, const InstallerWindowEnvironment& environment);

  bool Init();
  // Creates both dialogs, mirrored when the install language reads right to
  // left, and initialises them.
  bool CreateDialogs();
  // Makes the dialogs anew when their mirroring no longer fits the install
  // language, keeping the page, its state and the window's place.
  void FollowReadingDirection();
  // Shows the controls of |page|; records nothing.
  void ShowPageControls(int32_t page);
  void InitMainDialog();
  void InitOptionsDialog();
  bool ShowsDefaultBrowserChoice() const;
  void CreateInstallForTooltip();
  std::wstring InstallForTooltipText() const;
  // Adds (TTM_ADDTOOLW) or updates (TTM_UPDATETIPTEXTW) the combo's tool.
  void SendInstallForTool(UINT message);
  void BrowseForFolder();
  void WidenFullPackageButton();
  // NM_CUSTOMDRAW of the full installer's button: its result.
  LRESULT CentreFullPackageLabel(const NMCUSTOMDRAW& draw);
  void CentreDeleteUserDataCheck();

  // The composed background and the brushes of the controls that blend with
  // it; built on first use and rebuilt when the window moves or the theme
  // changes.
  void BuildBackground();
  bool EraseBackground(HDC dc);
  HBRUSH GetControlBrush(HWND control) const;
  void PaintBanner(HDC dc);
  static LRESULT CALLBACK BannerProc(HWND banner, UINT message, WPARAM wparam, LPARAM lparam,
                                     UINT_PTR id, DWORD_PTR data);
  HWND GetControl(int id) const;
  void SetControlText(int id, const std::wstring& text);
  void FillLanguageCombo();
  void FillInstallForCombo();
  void FillPathCombo();
  // Whether |combo| shows what the user typed into the path box and the
  // settings hold that folder.
  bool ShowsTypedPath(HWND combo) const;
  void UpdateTermsSentence();
  std::wstring AcceptButtonText() const;
  bool NeedsElevation() const;
  // Whether the install language reads right to left.
  bool ReadsRightToLeft() const;

  void RecordNavigation(const char* action);
  std::vector<InstallerWindowDelegate*> GetDelegates();
  void NotifyAccept();
  void NotifyGetFullPackage();
  void NotifyCancel();
  // Sets the install folder shown in |combo|, which the user |typed| there
  // or chose.
  void ApplyPath(HWND combo, bool typed);
  void ApplyCheckBox(int id);
  int ShowLocalizedMessageBox(HWND owner, const std::wstring& text, UINT type);

  bool OnCommand(int id, int code);
  bool OnOptionsCommand(int id, int code);
  bool OnNotify(NMHDR* header);

  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
  static INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wparam,
                                            LPARAM lparam);

  Settings* const settings_;
  const bool run_immediately_;
  InstallerWindowEnvironment environment_;
  HWND main_dialog_ = nullptr;
  base::win::ScopedFont normal_font_;
  base::win::ScopedFont bold_font_;
  base::win::ScopedFont large_font_;
  base::win::ScopedFont headline_font_;
  std::vector<std::wstring> available_languages_;
  base::ObserverList<InstallerWindowDelegate> delegates_;
  base::win::ScopedBitmap logo_;
  base::win::ScopedBitmap badge_;
  bool error_page_shown_ = false;
  base::win::ScopedBitmap background_image_;
  base::win::ScopedBitmap composed_background_;
  HWND options_dialog_ = nullptr;
  int32_t current_page_ = NO_PAGE;
  HWND tooltip_ = nullptr;
  std::map<HWND, base::win::ScopedBrush> control_brushes_;
  // How far the full installer's button draws its label before the centre
  // (GetCentredLabelShift).
  int full_package_label_shift_ = 0;
  // What the user typed into the options page's path box, while the box
  // may still show it; empty otherwise.
  std::wstring typed_path_;
  std::unique_ptr<StatsScope> root_scope_;
  std::unique_ptr<StatsScope> page_scope_;
  base::WeakPtrFactory<InstallerWindow> weak_factory_{this};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_WINDOW_H_
