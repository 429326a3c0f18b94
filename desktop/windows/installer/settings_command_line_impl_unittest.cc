#include "desktop/windows/installer/settings_command_line_impl.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "desktop/windows/installer/settings.h"
#include "features/command_line_feature_reader.h"
#include "features/feature_registry.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// Settings as plain fields, for the writing side.
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

class SettingsCommandLineWriteTest : public testing::Test {
 protected:
  SettingsCommandLineWriteTest() : process_(base::FilePath(L"C:\\dl\\installer.exe")) {}

  // The written switches, program left out, in order.
  std::vector<std::wstring> Write(bool suppress_launch = false) {
    SettingsCommandLineImpl form(&process_, &features_);
    base::CommandLine command_line(base::FilePath(L"C:\\dl\\installer.exe"));
    form.WriteSettings(settings_, suppress_launch, &command_line);
    std::vector<std::wstring> argv = command_line.argv();
    return std::vector<std::wstring>(argv.begin() + 1, argv.end());
  }

  base::CommandLine process_;
  FeatureRegistry features_;
  FakeSettings settings_;
};

TEST_F(SettingsCommandLineWriteTest, InstallWritesEverySettingInOrder) {
  process_ = base::CommandLine::FromString(
      L"installer.exe --v=2 --temp-folder=\"C:\\tmp dir\" --initial-pid=42 --components=a,b "
      L"--server-tracking-data=C:\\t.json --import-session=1 --import-bookmarks=file "
      L"--installfolder=C:\\ignored --with-feature:x=on --unrelated");
  features_.RegisterFeature("x", false, true);
  features_.ApplyReader(CommandLineFeatureReader(process_));
  for (SettingsFlag flag : {LAUNCH_VELTO, ALL_USERS_FLAG, IMPORT_BROWSER_DATA, ENABLE_VELTO_STATS,
                            DESKTOP_SHORTCUT, PINNED_SHORTCUT, SILENT, AUTOUPDATE}) {
    settings_.Set(flag, true);
  }
  settings_.language = L"nb";
  settings_.profile_folder = base::FilePath(L"D:\\profile");
  settings_.niuid = "n1";
  settings_.medium = "web";

  EXPECT_EQ((std::vector<std::wstring>{
                L"--backend", L"--silent", L"--initial-pid=42", L"--temp-folder=C:\\tmp dir",
                L"--components=a,b", L"--v=2", L"--install", L"--autoupdate",
                L"--import-browser-data=1", L"--enable-stats=1", L"--enable-installer-stats=0",
                L"--launchvelto=1", L"--installfolder=C:\\Program Files\\Velto",
                L"--profile-folder=D:\\profile", L"--niuid=n1", L"--medium=web",
                L"--language=nb", L"--singleprofile=0", L"--copyonly=0", L"--allusers=1",
                L"--setdefaultbrowser=0", L"--startmenushortcut=0", L"--desktopshortcut=1",
                L"--quicklaunchshortcut=0", L"--pintotaskbar=1",
                L"--server-tracking-data=C:\\t.json", L"--with-feature:x=on",
                L"--import-bookmarks=file", L"--import-session=1"}),
            Write());
}

TEST_F(SettingsCommandLineWriteTest, UpgradeLeavesTheInstallationsOwnChoices) {
  settings_.operation = UPGRADING;
  settings_.Set(ALL_USERS_FLAG, true);
  settings_.Set(SINGLE_PROFILE, true);
  settings_.Set(REPLACE_DROVIK_INSTALLATION, true);
  std::vector<std::wstring> argv = Write();
  for (const wchar_t* absent : {L"--singleprofile=1", L"--copyonly=0", L"--allusers=1"})
    EXPECT_EQ(argv.end(), std::find(argv.begin(), argv.end(), absent)) << absent;
  EXPECT_NE(argv.end(), std::find(argv.begin(), argv.end(), L"--install"));
  EXPECT_NE(argv.end(), std::find(argv.begin(), argv.end(), L"--setdefaultbrowser=0"));
  EXPECT_NE(argv.end(), std::find(argv.begin(), argv.end(), L"--replacedrovikinstallation"));
  // No language: no switch.
  for (const std::wstring& arg : argv)
    EXPECT_NE(0u, arg.rfind(L"--language", 0)) << arg;
}

TEST_F(SettingsCommandLineWriteTest, CopyOnlyWritesNoSystemChange) {
  settings_.Set(COPY_ONLY, true);
  settings_.Set(SINGLE_PROFILE, true);
  // Even when set, these must not reach a stand-alone back end.
  settings_.Set(ALL_USERS_FLAG, true);
  settings_.Set(DEFAULT_BROWSER, true);
  settings_.Set(DESKTOP_SHORTCUT, true);
  settings_.Set(REPLACE_DROVIK_INSTALLATION, true);
  std::vector<std::wstring> argv = Write();
  EXPECT_NE(argv.end(), std::find(argv.begin(), argv.end(), L"--copyonly=1"));
  EXPECT_NE(argv.end(), std::find(argv.begin(), argv.end(), L"--singleprofile=1"));
  for (const std::wstring& arg : argv) {
    for (const wchar_t* name : {L"--allusers", L"--setdefaultbrowser", L"--startmenushortcut",
                                L"--desktopshortcut", L"--quicklaunchshortcut",
                                L"--pintotaskbar", L"--replacedrovikinstallation"}) {
      EXPECT_NE(0u, arg.rfind(name, 0)) << arg;
    }
  }
}

TEST_F(SettingsCommandLineWriteTest, SuppressedLaunchIsAlwaysZero) {
  settings_.Set(LAUNCH_VELTO, true);
  std::vector<std::wstring> suppressed = Write(/*suppress_launch=*/true);
  EXPECT_NE(suppressed.end(), std::find(suppressed.begin(), suppressed.end(), L"--launchvelto=0"));
  std::vector<std::wstring> launched = Write();
  EXPECT_NE(launched.end(), std::find(launched.begin(), launched.end(), L"--launchvelto=1"));
  settings_.Set(LAUNCH_VELTO, false);
  std::vector<std::wstring> off = Write();
  EXPECT_NE(off.end(), std::find(off.begin(), off.end(), L"--launchvelto=0"));
}

TEST_F(SettingsCommandLineWriteTest, UninstallAndOtherOperations) {
  process_ = base::CommandLine::FromString(
      L"installer.exe --initial-pid=7 --import-session=1 --server-tracking-data=x");
  settings_.operation = UNINSTALLING;
  settings_.Set(DELETE_PROFILE, true);
  EXPECT_EQ((std::vector<std::wstring>{L"--backend", L"--initial-pid=7", L"--uninstall",
                                       L"--deleteuserprofile=1"}),
            Write());
  settings_.Set(DELETE_PROFILE, false);
  EXPECT_EQ(L"--deleteuserprofile=0", Write().back());

  settings_.Set(SILENT, true);
  for (InstallationOperation operation : {INVALID_PATH, REGISTERING_PROTOCOL_HANDLER}) {
    settings_.operation = operation;
    EXPECT_EQ((std::vector<std::wstring>{L"--backend", L"--silent", L"--initial-pid=7"}),
              Write());
  }
}

TEST_F(SettingsCommandLineWriteTest, PathsWithSpacesAndQuotesSurviveTheCommandLine) {
  // A path ending in a backslash is the classic quoting trap: the backslash
  // must not escape the closing quote.
  settings_.install_path = base::FilePath(L"C:\\Program Files\\My \"Velto\" Folder\\");
  settings_.profile_folder = base::FilePath(L"\\\\server\\share name\\pro\\\\\"file\\");
  settings_.niuid = "a \"quoted\" id";
  base::CommandLine command_line(base::FilePath(L"C:\\Program Files\\installer.exe"));
  SettingsCommandLineImpl(&process_, &features_).WriteSettings(settings_, false, &command_line);

  base::CommandLine parsed = base::CommandLine::FromString(command_line.GetCommandLineString());
  EXPECT_EQ(settings_.install_path, parsed.GetSwitchValuePath("installfolder"));
  EXPECT_EQ(settings_.profile_folder, parsed.GetSwitchValuePath("profile-folder"));
  EXPECT_EQ(settings_.niuid, parsed.GetSwitchValueASCII("niuid"));
  EXPECT_TRUE(parsed.HasSwitch("backend"));
  EXPECT_EQ(L"0", parsed.GetSwitchValueNative("copyonly"));
}

TEST_F(SettingsCommandLineWriteTest, ImportSwitchesAreCopiedAsGiven) {
  base::CommandLine from = base::CommandLine::FromString(
      L"installer.exe --import-topsites-to-speeddial=\"a b\" --import-bookmarks --other=1");
  base::CommandLine to(base::CommandLine::NO_PROGRAM);
  SettingsCommandLineImpl(&process_, &features_).CopyImportSwitches(from, &to);
  EXPECT_EQ(2u, to.GetSwitches().size());
  EXPECT_EQ(L"a b", to.GetSwitchValueNative("import-topsites-to-speeddial"));
  EXPECT_TRUE(to.HasSwitch("import-bookmarks"));
}

TEST(SettingsStatsNamesTest, ModeAndOperationNames) {
  EXPECT_EQ("all_users", InstallationModeToStatsName(ALL_USERS));
  EXPECT_EQ("current_user", InstallationModeToStatsName(CURRENT_USER));
  EXPECT_EQ("standalone", InstallationModeToStatsName(STANDALONE));
  EXPECT_EQ("invalid", InstallationModeToStatsName(static_cast<InstallationMode>(3)));
  EXPECT_EQ("installing", InstallationOperationToStatsName(INSTALLING));
  EXPECT_EQ("upgrading", InstallationOperationToStatsName(UPGRADING));
  EXPECT_EQ("uninstalling", InstallationOperationToStatsName(UNINSTALLING));
  EXPECT_EQ("invalid", InstallationOperationToStatsName(INVALID_PATH));
  EXPECT_EQ("invalid", InstallationOperationToStatsName(REGISTERING_PROTOCOL_HANDLER));
}

}  // namespace
}  // namespace installer
