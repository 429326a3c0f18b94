// InstallationFolderDetails held as plain fields, for tests of code that only
// reads a folder analysis. Initialize does nothing; tests set the fields.

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_INSTALLATION_FOLDER_DETAILS_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_INSTALLATION_FOLDER_DETAILS_H_

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "desktop/windows/installer/installation_folder_details.h"
#include "desktop/windows/installer/service/installation_status.h"

namespace installer {

class FakeInstallationFolderDetails : public InstallationFolderDetails {
 public:
  // Null: no existing installation.
  std::unique_ptr<InstallationStatus> record;
  base::FilePath path;
  base::FilePath valid_parent;
  bool valid = true;
  bool drovik = false;
  bool traces = false;
  std::string invalid_path_reason;
  std::string status_source;
  std::string status_text;
  std::string welcome_url;
  bool desktop_shortcut_exists = false;
  bool start_menu_shortcut_exists = false;
  bool quick_launch_shortcut_exists = false;
  bool recreate_desktop = false;
  bool recreate_start_menu = false;
  bool recreate_quick_launch = false;
  bool recreate_pinned = false;
  int enable_stats = kNotRecorded;
  int import_browser_data = kNotRecorded;
  int single_profile = kNotRecorded;
  bool write_access = true;
  bool http_handler = false;
  std::wstring language;
  int old_product_type = -1;
  std::vector<base::FilePath> pinned;
  std::vector<base::FilePath> secondary_pinned;
  base::FilePath profile_path;
  base::FilePath temporary_shortcut_folder;
  bool temporary_shortcut_folder_exists = false;
  std::string tracking_data;
  std::set<std::string> names;

  void Initialize(const base::FilePath& folder, int recovery_mode) override {}
  const InstallationStatus* GetDetails() const override { return record.get(); }
  const base::FilePath& GetPath() const override { return path; }
  const base::FilePath& GetValidParentFolder() const override {
    return valid_parent.empty() ? path : valid_parent;
  }
  bool IsValidInstallPath() const override { return valid; }
  bool IsExistingInstallation() const override { return record != nullptr; }
  bool IsDrovikInstallation() const override { return drovik; }
  bool HasExistingInstallationTraces() const override { return traces; }
  const std::string& GetInvalidPathReason() const override { return invalid_path_reason; }
  const std::string& GetStatusSource() const override { return status_source; }
  const std::string& GetStatusText() const override { return status_text; }
  const std::string& GetWelcomeUrl() const override { return welcome_url; }
  bool DesktopShortcutExists() const override { return desktop_shortcut_exists; }
  int GetEnableStats() const override { return enable_stats; }
  bool HasWriteAccess() const override { return write_access; }
  int GetImportBrowserData() const override { return import_browser_data; }
  bool IsHttpHandler() const override { return http_handler; }
  std::wstring GetLanguage() const override { return language; }
  int GetOldProductType() const override { return old_product_type; }
  const std::vector<base::FilePath>& GetPinnedShortcutPaths() const override { return pinned; }
  const std::vector<base::FilePath>& GetSecondaryPinnedShortcutPaths() const override {
    return secondary_pinned;
  }
  const base::FilePath& GetProfilePath() const override { return profile_path; }
  bool QuickLaunchShortcutExists() const override { return quick_launch_shortcut_exists; }
  const base::FilePath& GetTemporaryShortcutFolder() const override {
    return temporary_shortcut_folder;
  }
  bool TemporaryShortcutFolderExists() const override { return temporary_shortcut_folder_exists; }
  const std::string& GetTrackingData() const override { return tracking_data; }
  bool RecreateDesktopShortcut() const override { return recreate_desktop; }
  bool RecreatePinnedShortcut() const override { return recreate_pinned; }
  bool RecreateQuickLaunchShortcut() const override { return recreate_quick_launch; }
  bool RecreateStartMenuShortcut() const override { return recreate_start_menu; }
  int GetSingleProfile() const override { return single_profile; }
  bool StartMenuShortcutExists() const override { return start_menu_shortcut_exists; }
  bool ContainsName(const std::string& name) const override { return names.count(name) != 0; }
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_INSTALLATION_FOLDER_DETAILS_H_
