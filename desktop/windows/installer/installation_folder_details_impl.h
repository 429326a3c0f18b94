// InstallationFolderDetailsImpl: the one InstallationFolderDetails (see
// installation_folder_details.h for the contract). Initialize reads the
// folder's status files, preferences, old-format preferences and tracking
// data, tests the installation's shortcuts and taskbar pins, asks whether it
// is the http handler and checks the user's write access. It needs COM on the
// calling thread (shortcuts, association queries).
//
// Environment holds what the analysis asks of the machine beyond plain files
// so that tests can answer for Windows versions and cases Wine cannot show.

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLATION_FOLDER_DETAILS_IMPL_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLATION_FOLDER_DETAILS_IMPL_H_

#include <memory>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "desktop/windows/installer/installation_folder_details.h"
#include "features/feature_registry.h"

namespace installer {

class Installation;
class InstallationStatusLoader;
class WindowsVersionProvider;

class InstallationFolderDetailsImpl : public InstallationFolderDetails {
 public:
  struct Environment {
    // Null: InstallationStatusLoaderImpl.
    InstallationStatusLoader* status_loader = nullptr;
    // Null: the system's version.
    const WindowsVersionProvider* windows_version = nullptr;
  };

  // The file of the folder that holds the server's tracking data.
  static constexpr wchar_t kTrackingDataFileName[] = L"server_tracking_data";
  // The former engine's default preferences.
  static constexpr wchar_t kOldPrefsFileName[] = L"veltoprefs_default.ini";
  // In the user's start-menu programs folder.
  static constexpr wchar_t kTemporaryShortcutFolderName[] = L"Velto Software";

  // |replace_old_engine|: the run replaces an installation of the former
  // engine. Without it a folder holding only the former engine's record
  // counts as no installation.
  explicit InstallationFolderDetailsImpl(bool replace_old_engine);
  InstallationFolderDetailsImpl(bool replace_old_engine, const Environment& environment);
  InstallationFolderDetailsImpl(const InstallationFolderDetailsImpl&) = delete;
  InstallationFolderDetailsImpl& operator=(const InstallationFolderDetailsImpl&) = delete;
  ~InstallationFolderDetailsImpl() override;

  // InstallationFolderDetails:
  void Initialize(const base::FilePath& path, int recovery_mode) override;
  const InstallationStatus* GetDetails() const override;
  const base::FilePath& GetPath() const override;
  const base::FilePath& GetValidParentFolder() const override;
  bool IsValidInstallPath() const override;
  const std::string& GetInvalidPathReason() const override;
  bool IsExistingInstallation() const override;
  bool IsDrovikInstallation() const override;
  bool HasExistingInstallationTraces() const override;
  const std::string& GetStatusSource() const override;
  const std::string& GetStatusText() const override;
  const std::string& GetWelcomeUrl() const override;
  bool DesktopShortcutExists() const override;
  int GetEnableStats() const override;
  bool HasWriteAccess() const override;
  int GetImportBrowserData() const override;
  bool IsHttpHandler() const override;
  std::wstring GetLanguage() const override;
  int GetOldProductType() const override;
  const std::vector<base::FilePath>& GetPinnedShortcutPaths() const override;
  const std::vector<base::FilePath>& GetSecondaryPinnedShortcutPaths() const override;
  const base::FilePath& GetProfilePath() const override;
  bool QuickLaunchShortcutExists() const override;
  const base::FilePath& GetTemporaryShortcutFolder() const override;
  bool TemporaryShortcutFolderExists() const override;
  const std::string& GetTrackingData() const override;
  bool RecreateDesktopShortcut() const override;
  bool RecreatePinnedShortcut() const override;
  bool RecreateQuickLaunchShortcut() const override;
  bool RecreateStartMenuShortcut() const override;
  int GetSingleProfile() const override;
  bool StartMenuShortcutExists() const override;
  bool ContainsName(const std::string& name) const override;

 private:
  // Steps of Initialize.
  bool CheckPath();
  // Records |reason| as why the path cannot be used.
  void RefusePath(const std::string& reason);
  void LoadStatus(int recovery_mode);
  void NormalizeStatusFlags();
  void ReadExistingInstallation();
  void TestShortcuts();
  void DetermineWriteAccess();
  // Returns whether the installer preferences were read.
  bool ReadPreferences(Installation* installation);
  void ReadOldPreferences(bool prefs_read);

  Environment environment_;
  const bool replace_old_engine_;

  std::unique_ptr<InstallationStatus> status_;

  bool desktop_shortcut_exists_ = false;
  bool start_menu_shortcut_exists_ = false;
  bool quick_launch_shortcut_exists_ = false;
  bool temporary_shortcut_folder_exists_ = false;
  bool has_write_access_ = false;
  std::vector<base::FilePath> pinned_shortcut_paths_;
  std::vector<base::FilePath> secondary_pinned_shortcut_paths_;
  bool recreate_desktop_shortcut_ = false;
  bool recreate_start_menu_shortcut_ = false;
  bool recreate_quick_launch_shortcut_ = false;
  bool recreate_pinned_shortcut_ = false;
  bool is_http_handler_ = false;
  int import_browser_data_ = kNotRecorded;
  int enable_stats_ = kNotRecorded;
  std::wstring language_;
  std::string welcome_url_;
  std::string tracking_data_;
  int single_profile_ = kNotRecorded;
  int old_product_type_ = -1;
  base::FilePath profile_path_;
  base::FilePath temporary_shortcut_folder_;
  FeatureRegistry experiments_;

  base::FilePath path_;
  base::FilePath valid_parent_folder_;
  std::string status_source_;
  std::string status_text_;

  bool valid_install_path_ = false;
  std::string invalid_path_reason_;
  bool existing_installation_traces_ = false;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLATION_FOLDER_DETAILS_IMPL_H_
