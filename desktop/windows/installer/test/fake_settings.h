// Settings held as plain fields, for tests of code that only reads settings.
// Setters of the interface refuse everything; tests set the fields and flags
// directly.

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_SETTINGS_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_SETTINGS_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/command_line.h"
#include "base/files/file_path.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/settings_flag.h"

namespace installer {

class FakeSettings : public Settings {
 public:
  void Set(SettingsFlag flag, bool value) {
    flags_ = value ? flags_ | 1u << flag : flags_ & ~(1u << flag);
  }
  bool Get(SettingsFlag flag) const { return flags_ >> flag & 1; }

  InstallationOperation operation = INSTALLING;
  base::FilePath install_path{L"C:\\Program Files\\Velto"};
  std::wstring language;
  base::FilePath profile_folder;
  std::string niuid;
  std::string medium;
  // What ToCommandLine writes: switch names with their values (an empty
  // value writes the bare switch).
  std::vector<std::pair<std::string, std::wstring>> written_switches;

  void GetDefaultInstallFolder(base::FilePath* path, int kind) const override {}
  void GetSuggestedInstallFolders(std::vector<base::FilePath>* folders) const override {}
  InstallationOperation GetOperation() const override { return operation; }
  const InstallationFolderDetails* GetFolderDetails() const override { return nullptr; }
  bool IsFetchingStatus() const override { return false; }
  void AddObserver(SettingsObserver* observer) override {}
  void RemoveObserver(SettingsObserver* observer) override {}
  bool SetLaunch(bool value) override { return false; }
  bool SetDefaultBrowser(bool value) override { return false; }
  bool SetImportBrowserData(bool value) override { return false; }
  bool SetEnableInstallerStats(bool value) override { return false; }
  bool SetEnableVeltoStats(bool value) override { return false; }
  bool SetDesktopShortcut(bool value) override { return false; }
  bool SetStartMenuShortcut(bool value) override { return false; }
  bool SetQuickLaunchShortcut(bool value) override { return false; }
  bool SetDeleteProfile(bool value) override { return false; }
  bool SetInstallPomrel(bool value) override { return false; }
  bool SetMode(InstallationMode mode) override { return false; }
  bool AlwaysTrue() const override { return true; }
  bool CanSetDefaultBrowser() const override { return false; }
  bool IsNotCopyOnly() const override { return !Get(COPY_ONLY); }
  bool IsNewInstallation() const override { return operation == INSTALLING; }
  bool HasRegisteredInstallation() const override { return true; }
  bool SetCopyOnly(bool value) override { return false; }
  bool SetSingleProfile(bool value) override { return false; }
  bool SetAllUsers(bool value) override { return false; }
  void SetInstallFolderString(const std::wstring& folder) override {}
  void SetInstallFolder(const base::FilePath& folder) override {}
  void SetInstallLanguage(const std::wstring& language) override {}
  bool GetLaunch() const override { return Get(LAUNCH_VELTO); }
  bool GetDefaultBrowser() const override { return Get(DEFAULT_BROWSER); }
  bool GetImportBrowserData() const override { return Get(IMPORT_BROWSER_DATA); }
  bool GetEnableInstallerStats() const override { return Get(ENABLE_INSTALLER_STATS); }
  bool GetEnableVeltoStats() const override { return Get(ENABLE_VELTO_STATS); }
  bool GetDesktopShortcut() const override { return Get(DESKTOP_SHORTCUT); }
  bool GetStartMenuShortcut() const override { return Get(START_MENU_SHORTCUT); }
  bool GetQuickLaunchShortcut() const override { return Get(QUICK_LAUNCH_SHORTCUT); }
  bool GetPinnedShortcut() const override { return Get(PINNED_SHORTCUT); }
  bool GetDeleteProfile() const override { return Get(DELETE_PROFILE); }
  bool GetReplaceDrovikInstallation() const override { return Get(REPLACE_DROVIK_INSTALLATION); }
  bool GetInstallPomrel() const override { return Get(INSTALL_POMREL); }
  InstallationMode GetInstallationMode() const override {
    return Get(COPY_ONLY) ? STANDALONE : Get(ALL_USERS_FLAG) ? ALL_USERS : CURRENT_USER;
  }
  bool GetCopyOnly() const override { return Get(COPY_ONLY); }
  bool GetSingleProfile() const override { return Get(SINGLE_PROFILE); }
  bool GetAllUsers() const override { return Get(ALL_USERS_FLAG); }
  bool GetSilent() const override { return Get(SILENT); }
  bool GetUninstall() const override { return Get(UNINSTALL_FLAG); }
  bool GetAutoupdate() const override { return Get(AUTOUPDATE); }
  const base::FilePath& GetInstallPath() const override { return install_path; }
  const std::wstring& GetInstallLanguage() const override { return language; }
  const base::FilePath& GetProfileFolder() const override { return profile_folder; }
  void CopyImportSwitches(base::CommandLine* command_line) const override {}
  base::CommandLine* ToCommandLine(base::CommandLine* command_line,
                                   bool suppress_launch) const override {
    for (const auto& [name, value] : written_switches)
      command_line->AppendSwitchNative(name, value);
    return command_line;
  }
  void WriteStats(const std::string& prefix, StatsScope* scope) const override {}
  bool IsEditable() const override { return true; }
  void SetEditable(bool editable) override {}
  int GetArchitecture() const override { return 1; }
  const std::string& GetNiuid() const override { return niuid; }
  void SetNiuid(const std::string& value) override { niuid = value; }
  const std::string& GetMedium() const override { return medium; }
  void SetMedium(const std::string& value) override { medium = value; }

 private:
  uint32_t flags_ = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_SETTINGS_H_
