#include "desktop/windows/installer/settings_command_line_impl.h"

#include <algorithm>
#include <string>
#include <vector>

#include <windows.h>

#include <memory>
#include <utility>

#include "base/command_line.h"
#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/json/json_writer.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/strings/string_util.h"
#include "base/synchronization/lock.h"
#include "base/test/test_environment.h"
#include "base/time/time.h"
#include "base/values.h"
#include "desktop/windows/installer/drive_lister.h"
#include "desktop/windows/installer/installation_folder_details_impl.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/installation_status_loader.h"
#include "desktop/windows/installer/service/json_installation_status_writer.h"
#include "desktop/windows/installer/service/test/fake_user_token.h"
#include "desktop/windows/installer/service/test/fake_windows_version_provider.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/settings_impl.h"
#include "desktop/windows/installer/settings_observer.h"
#include "desktop/windows/installer/test/fake_settings.h"
#include "desktop/windows/installer/stats_scope.h"
#include "features/command_line_feature_reader.h"
#include "features/feature_registry.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class SettingsCommandLineWriteTest : public testing::Test {
 protected:
  SettingsCommandLineWriteTest() : process_(base::FilePath(L"C:\\dl\\installer.exe")) {}

  // The written switches, program left out, in order.
  std::vector<std::wstring> Write(bool suppress_launch = false) {
    SettingsCommandLineImpl form(FormEnvironment());
    base::CommandLine command_line(base::FilePath(L"C:\\dl\\installer.exe"));
    form.WriteSettings(settings_, suppress_launch, &command_line);
    std::vector<std::wstring> argv = command_line.argv();
    return std::vector<std::wstring>(argv.begin() + 1, argv.end());
  }

  SettingsCommandLineImpl::Environment FormEnvironment() {
    SettingsCommandLineImpl::Environment environment;
    environment.process_command_line = &process_;
    environment.features = &features_;
    return environment;
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
  SettingsCommandLineImpl(FormEnvironment()).WriteSettings(settings_, false, &command_line);

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
  SettingsCommandLineImpl(FormEnvironment()).CopyImportSwitches(from, &to);
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

// Round trip and statistics: real settings on both sides -------------------

class NoDrives : public DriveLister {
 public:
  std::vector<Drive> ListReadyDrives() const override { return {}; }
};

// Finds an installation in every folder, so that an uninstallation can run
// from the test executable's folder without writing into it.
class InstalledEverywhereLoader : public InstallationStatusLoader {
 public:
  std::unique_ptr<InstallationStatus> Load(const base::FilePath& folder,
                                           int recovery_mode,
                                           std::string* error,
                                           std::string* contents) override {
    if (!error_text.empty()) {
      *error = error_text;
      *contents = file_contents;
    }
    auto status = std::make_unique<InstallationStatus>(source);
    status->app_id = "1234";
    status->path = folder.value();
    status->all_users = true;
    return status;
  }

  InstallationStatusSource source = PRIMARY;
  std::string error_text;
  std::string file_contents;
};

class QuitOnPathChanged : public SettingsObserver {
 public:
  void OnSettingChanged() override {}
  void OnLanguageChanged() override {}
  void OnPathChanged() override {
    if (quit)
      std::move(quit).Run();
  }
  base::OnceClosure quit;
};

// One installer process: its command line, feature registry, switch form and
// settings, made the way the entry point makes them.
struct InstallerProcess {
  explicit InstallerProcess(const base::CommandLine& process_command_line)
      : command_line(process_command_line) {
    SettingsCommandLineImpl::Environment environment;
    environment.process_command_line = &command_line;
    environment.features = &features;
    form = std::make_unique<SettingsCommandLineImpl>(environment);
  }

  base::CommandLine command_line;
  FeatureRegistry features;
  std::unique_ptr<SettingsCommandLineImpl> form;
  std::unique_ptr<SettingsImpl> settings;
};

class SettingsRoundTripTest : public testing::Test {
 protected:
  SettingsRoundTripTest()
      : version_(base::win::VERSION_WIN10),
        folder_(base::FilePath(base::test::ScratchFolder())
                    .Append(base::test::UniqueName(L"round trip"))) {
    EXPECT_TRUE(base::CreateDirectory(folder_));
  }
  ~SettingsRoundTripTest() override { base::DeletePathRecursively(folder_); }

  SettingsImpl::Environment SettingsEnvironment(InstallerProcess* process) {
    SettingsImpl::Environment environment;
    environment.command_line = &process->command_line;
    environment.command_line_form = process->form.get();
    environment.user_token = &token_;
    environment.windows_version = &version_;
    environment.drives = &drives_;
    if (installed_everywhere_) {
      environment.folder_details_factory = base::BindRepeating(
          [](InstalledEverywhereLoader* loader,
             bool replace) -> std::unique_ptr<InstallationFolderDetails> {
            InstallationFolderDetailsImpl::Environment details_environment;
            details_environment.status_loader = loader;
            return std::make_unique<InstallationFolderDetailsImpl>(replace, details_environment);
          },
          &loader_);
    }
    return environment;
  }

  // The front end: |switches| is its own command line after the program.
  InstallerProcess* StartFrontEnd(const std::wstring& switches,
                                  bool uninstall,
                                  bool silent,
                                  bool autoupdate,
                                  const std::wstring& install_folder,
                                  bool replace_old_engine) {
    front_ = std::make_unique<InstallerProcess>(
        base::CommandLine::FromString(L"C:\\Users\\u\\Downloads\\installer.exe " + switches));
    front_->features.RegisterFeature("round-trip-feature", false, true);
    front_->features.ApplyReader(CommandLineFeatureReader(front_->command_line));
    front_->settings = std::make_unique<SettingsImpl>(uninstall, silent, autoupdate,
                                                      install_folder, replace_old_engine,
                                                      kArchitecture, SettingsEnvironment(front_.get()));
    Wait(front_->settings.get());
    return front_.get();
  }

  // What the runner does: the settings as switches behind the program,
  // turned into the one string CreateProcess gets; then what the back end's
  // entry point does with the string it receives.
  InstallerProcess* StartBackEnd(bool suppress_launch = false) {
    base::CommandLine written(base::FilePath(L"C:\\Program Files\\Velto\\installer.exe"));
    front_->settings->ToCommandLine(&written, suppress_launch);
    back_ = std::make_unique<InstallerProcess>(
        base::CommandLine::FromString(written.GetCommandLineString()));
    const base::CommandLine& line = back_->command_line;
    EXPECT_TRUE(line.HasSwitch("backend"));
    back_->features.RegisterFeature("round-trip-feature", false, true);
    back_->features.ApplyReader(CommandLineFeatureReader(line));
    back_->settings = std::make_unique<SettingsImpl>(
        line.HasSwitch("uninstall"), line.HasSwitch("silent"), line.HasSwitch("autoupdate"),
        line.GetSwitchValueNative("installfolder"), line.HasSwitch("replacedrovikinstallation"),
        kArchitecture, SettingsEnvironment(back_.get()));
    Wait(back_->settings.get());
    return back_.get();
  }

  void Wait(SettingsImpl* settings) {
    if (!settings->IsFetchingStatus())
      return;
    QuitOnPathChanged observer;
    base::RunLoop run_loop;
    observer.quit = run_loop.QuitClosure();
    settings->AddObserver(&observer);
    run_loop.Run();
    settings->RemoveObserver(&observer);
  }

  // Every value the back end takes from the front end. Not compared: the
  // companion product (it travels as the components folder, not as a flag)
  // and the architecture (each process derives it from its own executable).
  void ExpectSameSettings(bool compare_replace_old_engine = true) {
    const Settings& front = *front_->settings;
    const Settings& back = *back_->settings;
    EXPECT_EQ(front.GetOperation(), back.GetOperation());
    EXPECT_EQ(front.GetInstallationMode(), back.GetInstallationMode());
    EXPECT_EQ(front.GetInstallPath().value(), back.GetInstallPath().value());
    EXPECT_EQ(front.GetInstallLanguage(), back.GetInstallLanguage());
    EXPECT_EQ(front.GetProfileFolder().value(), back.GetProfileFolder().value());
    EXPECT_EQ(front.GetNiuid(), back.GetNiuid());
    EXPECT_EQ(front.GetMedium(), back.GetMedium());
    using Getter = bool (Settings::*)() const;
    const std::pair<const char*, Getter> flags[] = {
        {"launch", &Settings::GetLaunch},
        {"default browser", &Settings::GetDefaultBrowser},
        {"import", &Settings::GetImportBrowserData},
        {"installer stats", &Settings::GetEnableInstallerStats},
        {"browser stats", &Settings::GetEnableVeltoStats},
        {"desktop", &Settings::GetDesktopShortcut},
        {"start menu", &Settings::GetStartMenuShortcut},
        {"quick launch", &Settings::GetQuickLaunchShortcut},
        {"pinned", &Settings::GetPinnedShortcut},
        {"delete profile", &Settings::GetDeleteProfile},
        {"copy only", &Settings::GetCopyOnly},
        {"single profile", &Settings::GetSingleProfile},
        {"all users", &Settings::GetAllUsers},
        {"silent", &Settings::GetSilent},
        {"uninstall", &Settings::GetUninstall},
        {"autoupdate", &Settings::GetAutoupdate},
    };
    for (const auto& [name, getter] : flags)
      EXPECT_EQ((front.*getter)(), (back.*getter)()) << name;
    if (compare_replace_old_engine) {
      EXPECT_EQ(front.GetReplaceDrovikInstallation(), back.GetReplaceDrovikInstallation());
    }
  }

  void WriteStatus(const base::FilePath& folder) {
    InstallationStatus status(GENERATED);
    status.all_users = true;
    status.app_id = "1234";
    status.path = folder.value();
    ASSERT_TRUE(WriteInstallationStatusFile(status, folder.Append(kInstallationStatusFileName)));
  }

  static constexpr int kArchitecture = 1;

  base::MessageLoop loop_;
  FakeUserToken token_;  // a standard user
  FakeWindowsVersionProvider version_;
  NoDrives drives_;
  InstalledEverywhereLoader loader_;
  bool installed_everywhere_ = false;
  base::FilePath folder_;
  std::unique_ptr<InstallerProcess> front_;
  std::unique_ptr<InstallerProcess> back_;
};

// What the user can choose in the window of a new installation.
void SetEveryChoice(Settings* settings, bool value) {
  for (bool (Settings::*set)(bool) :
       {&Settings::SetLaunch, &Settings::SetDefaultBrowser, &Settings::SetImportBrowserData,
        &Settings::SetEnableInstallerStats, &Settings::SetEnableVeltoStats,
        &Settings::SetDesktopShortcut, &Settings::SetStartMenuShortcut,
        &Settings::SetQuickLaunchShortcut, &Settings::SetSingleProfile, &Settings::SetAllUsers}) {
    EXPECT_TRUE((settings->*set)(value));
  }
}

// Blanks, an apostrophe, an ampersand, non-ASCII letters and a trailing
// backslash that must not escape the closing quote.
std::wstring AwkwardFolder(const base::FilePath& parent) {
  return parent.value() + L"\\Velto & 'Tést' \u00dcn\u00efcode dir\\";
}

TEST_F(SettingsRoundTripTest, StatisticsAndLaunchSwitchesAsTheUserGivesThem) {
  SettingsImpl* settings =
      StartFrontEnd(L"--enable-stats=0 --launchbrowser=no", false, false, false, folder_.value(),
                    false)->settings.get();
  EXPECT_FALSE(settings->GetEnableVeltoStats());
  EXPECT_FALSE(settings->GetEnableInstallerStats());
  EXPECT_FALSE(settings->GetLaunch());

  settings = StartFrontEnd(L"--enable-stats=0 --enable-installer-stats=TRUE --launchvelto=1 "
                           L"--launchbrowser=0",
                           false, false, false, folder_.value(), false)->settings.get();
  EXPECT_FALSE(settings->GetEnableVeltoStats());
  EXPECT_TRUE(settings->GetEnableInstallerStats());
  EXPECT_TRUE(settings->GetLaunch());
}

TEST_F(SettingsRoundTripTest, CopyOnlySwitchOverridesTheSystemChangingSwitches) {
  SettingsImpl* settings =
      StartFrontEnd(L"--copyonly=1 --allusers=1 --setdefaultbrowser=1 --desktopshortcut=1 "
                    L"--pintotaskbar=1 --install-pomrel",
                    false, false, false, folder_.value(), false)->settings.get();
  EXPECT_EQ(STANDALONE, settings->GetInstallationMode());
  EXPECT_FALSE(settings->GetAllUsers());
  EXPECT_FALSE(settings->GetDefaultBrowser());
  EXPECT_FALSE(settings->GetDesktopShortcut());
  EXPECT_FALSE(settings->GetPinnedShortcut());
  EXPECT_FALSE(settings->GetInstallPomrel());
  EXPECT_TRUE(settings->GetSingleProfile());

  // The single-profile switch is read after the copy-only rule.
  settings = StartFrontEnd(L"--copyonly=1 --singleprofile=0", false, false, false,
                           folder_.value(), false)->settings.get();
  EXPECT_TRUE(settings->GetCopyOnly());
  EXPECT_FALSE(settings->GetSingleProfile());

  settings = StartFrontEnd(L"--allusers=1 --desktopshortcut=0 --install-pomrel", false, false,
                           false, folder_.value(), false)->settings.get();
  EXPECT_EQ(ALL_USERS, settings->GetInstallationMode());
  EXPECT_FALSE(settings->GetDesktopShortcut());
  EXPECT_TRUE(settings->GetStartMenuShortcut());
  EXPECT_TRUE(settings->GetInstallPomrel());
}

TEST_F(SettingsRoundTripTest, InstallWithEveryChoiceOn) {
  const std::wstring folder = AwkwardFolder(folder_);
  InstallerProcess* front = StartFrontEnd(
      L"--profile-folder=\"D:\\my \\\"pro\\\" files\\\\\" --pintotaskbar=0 "
      L"--import-bookmarks=\"C:\\b m.html\" --import-session=\"a \\\"b\\\"\" "
      L"--import-topsites-to-speeddial --with-feature:round-trip-feature=on",
      /*uninstall=*/false, /*silent=*/true, /*autoupdate=*/false, folder,
      /*replace_old_engine=*/true);
  SettingsImpl& settings = *front->settings;
  ASSERT_EQ(INSTALLING, settings.GetOperation());
  ASSERT_EQ(folder, settings.GetInstallPath().value());
  SetEveryChoice(&settings, true);
  // The test executable carries no string tables, so the language chosen is
  // the fallback; it must still reach the back end as chosen.
  settings.SetInstallLanguage(L"nb");
  settings.SetNiuid("id with \"quotes\" and a trailing backslash\\");
  settings.SetMedium("cpc&x=1 --uninstall");
  ASSERT_EQ(L"D:\\my \"pro\" files\\", settings.GetProfileFolder().value());
  ASSERT_FALSE(settings.GetPinnedShortcut());

  InstallerProcess* back = StartBackEnd();
  ExpectSameSettings();
  EXPECT_FALSE(back->settings->GetUninstall());
  EXPECT_TRUE(back->settings->GetAllUsers());

  // Passed through for the browser's first run, values intact.
  for (const char* name : {"import-bookmarks", "import-session", "import-topsites-to-speeddial"}) {
    ASSERT_TRUE(back->command_line.HasSwitch(name)) << name;
    EXPECT_EQ(front->command_line.GetSwitchValueNative(name),
              back->command_line.GetSwitchValueNative(name));
  }
  EXPECT_TRUE(back->features.IsEnabled("round-trip-feature"));
}

TEST_F(SettingsRoundTripTest, InstallWithEveryChoiceOff) {
  const std::wstring folder = AwkwardFolder(folder_);
  InstallerProcess* front = StartFrontEnd(L"", false, false, /*autoupdate=*/true, folder, false);
  SettingsImpl& settings = *front->settings;
  ASSERT_EQ(INSTALLING, settings.GetOperation());
  SetEveryChoice(&settings, false);
  InstallerProcess* back = StartBackEnd();
  ExpectSameSettings();
  EXPECT_TRUE(back->settings->GetAutoupdate());
  EXPECT_FALSE(back->command_line.HasSwitch("import-session"));
  EXPECT_FALSE(back->features.IsEnabled("round-trip-feature"));
}

TEST_F(SettingsRoundTripTest, SuppressedLaunchReachesTheBackEndAsOff) {
  StartFrontEnd(L"", false, false, false, folder_.value(), false);
  ASSERT_TRUE(front_->settings->GetLaunch());
  StartBackEnd(/*suppress_launch=*/true);
  EXPECT_FALSE(back_->settings->GetLaunch());
}

TEST_F(SettingsRoundTripTest, FolderTypedWithForwardSlashesNamesTheSameFolder) {
  // The install path names the mutex, mailslot and events both processes
  // meet at: the two sides must spell it alike.
  StartFrontEnd(L"", false, false, false, folder_.value(), false);
  std::wstring typed = AwkwardFolder(folder_);
  std::replace(typed.begin(), typed.end(), L'\\', L'/');
  front_->settings->SetInstallFolderString(typed);
  Wait(front_->settings.get());
  ASSERT_EQ(INSTALLING, front_->settings->GetOperation());
  EXPECT_EQ(AwkwardFolder(folder_), front_->settings->GetInstallPath().value());
  StartBackEnd();
  ExpectSameSettings();
}

TEST_F(SettingsRoundTripTest, UpgradeKeepsTheInstallationsModeAndTheUsersChanges) {
  WriteStatus(folder_);
  InstallerProcess* front =
      StartFrontEnd(L"--language=nb", false, false, false, folder_.value(), false);
  SettingsImpl& settings = *front->settings;
  ASSERT_EQ(UPGRADING, settings.GetOperation());
  ASSERT_TRUE(settings.GetAllUsers());
  // The recorded shortcuts are gone; the user wants them back, and no launch.
  ASSERT_FALSE(settings.GetDesktopShortcut());
  EXPECT_TRUE(settings.SetDesktopShortcut(true));
  EXPECT_TRUE(settings.SetStartMenuShortcut(true));
  EXPECT_TRUE(settings.SetLaunch(false));
  EXPECT_TRUE(settings.SetEnableVeltoStats(false));

  InstallerProcess* back = StartBackEnd();
  ExpectSameSettings();
  EXPECT_EQ(UPGRADING, back->settings->GetOperation());
  EXPECT_FALSE(back->command_line.HasSwitch("allusers"));
}

TEST_F(SettingsRoundTripTest, StandaloneCopyChangesNothingBeyondItsFolder) {
  InstallerProcess* front = StartFrontEnd(L"--import-session=1", false, false, false,
                                          AwkwardFolder(folder_), /*replace_old_engine=*/true);
  SettingsImpl& settings = *front->settings;
  ASSERT_TRUE(settings.SetMode(STANDALONE));
  ASSERT_EQ(INSTALLING, settings.GetOperation());
  ASSERT_EQ(STANDALONE, settings.GetInstallationMode());
  EXPECT_TRUE(settings.SetSingleProfile(false));
  settings.SetNiuid("n");

  InstallerProcess* back = StartBackEnd();
  // A copy replaces no former-engine installation: the back end is not told.
  ExpectSameSettings(/*compare_replace_old_engine=*/false);
  EXPECT_FALSE(back->settings->GetReplaceDrovikInstallation());
  EXPECT_EQ(STANDALONE, back->settings->GetInstallationMode());
  EXPECT_TRUE(back->command_line.HasSwitch("import-session"));
}

TEST_F(SettingsRoundTripTest, UninstallCarriesTheProfileChoice) {
  installed_everywhere_ = true;
  for (bool delete_profile : {true, false}) {
    SCOPED_TRACE(delete_profile);
    InstallerProcess* front = StartFrontEnd(L"--uninstall --deleteuserprofile=0", true,
                                            /*silent=*/true, false, L"", false);
    ASSERT_EQ(UNINSTALLING, front->settings->GetOperation());
    EXPECT_TRUE(front->settings->SetDeleteProfile(delete_profile));
    InstallerProcess* back = StartBackEnd();
    ExpectSameSettings();
    EXPECT_EQ(delete_profile, back->settings->GetDeleteProfile());
  }
}

class SettingsStatsTest : public SettingsRoundTripTest {
 protected:
  SettingsStatsTest() : scope_(&stats_, &lock_, base::TimeTicks::Now(), {}) {}

  // What the front end's settings record, drawing |draw| for the sample.
  std::string WriteStats(const std::string& prefix, int draw = 99) {
    SettingsCommandLineImpl::Environment environment;
    environment.process_command_line = &front_->command_line;
    environment.features = &front_->features;
    environment.user_token = &token_;
    environment.rand_int = base::BindRepeating(
        [](std::vector<std::pair<int, int>>* draws, int draw, int min, int max) {
          draws->emplace_back(min, max);
          return draw;
        },
        &draws_, draw);
    SettingsCommandLineImpl(environment).WriteStats(*front_->settings, prefix, &scope_);
    std::string json;
    EXPECT_TRUE(base::JSONWriter::Write(stats_, &json));
    return json;
  }

  base::Value::Dict stats_;
  base::Lock lock_;
  StatsScope scope_;
  std::vector<std::pair<int, int>> draws_;
};

TEST_F(SettingsStatsTest, TypicalInstallIntoTheStandardFolder) {
  StartFrontEnd(L"", false, false, false, folder_.value(), false);
  SettingsImpl& settings = *front_->settings;
  ASSERT_TRUE(settings.SetAllUsers(true));
  ASSERT_TRUE(settings.SetDefaultBrowser(true));
  base::FilePath standard;
  settings.GetDefaultInstallFolder(&standard, DEFAULT_FOLDER_STANDARD);
  settings.SetInstallFolder(base::FilePath(base::ToUpperASCII(standard.value())));
  Wait(&settings);
  ASSERT_EQ(INSTALLING, settings.GetOperation());
  // Left by an earlier folder's analysis; this folder has no status file.
  scope_.SetString("xml_status_parse_error", "old");
  scope_.SetString("xml_status_faulty_file", "old");

  // The standard folder in other letter case is still the standard folder;
  // for all users a standard user needs elevation.
  EXPECT_EQ(
      "{\"autoupdate\":0,\"build_arch\":\"X64\",\"settings\":{"
      "\"installation_mode\":\"all_users\",\"installation_operation\":\"installing\","
      "\"make_default\":1,\"using_default_installation_folder\":1,"
      "\"using_privileged_installation_folder\":1}}",
      WriteStats("settings."));
  // Nothing to sample without a faulty file.
  EXPECT_TRUE(draws_.empty());

  settings.SetInstallFolder(folder_);
  Wait(&settings);
  ASSERT_TRUE(settings.SetAllUsers(false));
  ASSERT_TRUE(settings.SetDefaultBrowser(false));
  EXPECT_EQ(
      "{\"autoupdate\":0,\"build_arch\":\"X64\",\"settings\":{"
      "\"installation_mode\":\"current_user\",\"installation_operation\":\"installing\","
      "\"make_default\":0,\"using_default_installation_folder\":0,"
      "\"using_privileged_installation_folder\":0}}",
      WriteStats("settings."));
}

TEST_F(SettingsStatsTest, UninstallRecordsTheStatusFileItFound) {
  installed_everywhere_ = true;
  loader_.source = RECOVERED;
  loader_.error_text = "Cannot parse installation_status.json";
  loader_.file_contents = "{\"broken";
  StartFrontEnd(L"--uninstall", true, true, false, L"", false);
  ASSERT_EQ(UNINSTALLING, front_->settings->GetOperation());

  const std::string common =
      "\"autoupdate\":0,\"build_arch\":\"X64\",\"installation_mode\":\"all_users\","
      "\"installation_operation\":\"uninstalling\",\"installation_status_source\":\"RECOVERED\","
      "\"make_default\":0,\"using_default_installation_folder\":0,"
      "\"using_privileged_installation_folder\":1";
  // One run in twenty (draws 0 to 4 of 0 to 99) sends the faulty file.
  const std::string parse_error =
      "\"xml_status_parse_error\":\"Cannot parse installation_status.json\"";
  EXPECT_EQ("{" + common + ",\"xml_status_faulty_file\":\"{\\\"broken\"," + parse_error + "}",
            WriteStats("", 4));
  EXPECT_EQ((std::vector<std::pair<int, int>>{{0, 99}}), draws_);
  EXPECT_EQ("{" + common + "," + parse_error + "}", WriteStats("", 5));
}

}  // namespace
}  // namespace installer
