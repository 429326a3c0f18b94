#include "desktop/windows/installer/settings_impl.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/logging.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/test_environment.h"
#include "base/threading/thread.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/drive_lister.h"
#include "desktop/windows/installer/installation_folder_details.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/json_installation_status_writer.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/test/fake_user_token.h"
#include "desktop/windows/installer/service/test/fake_windows_version_provider.h"
#include "desktop/windows/installer/settings_observer.h"
#include "gtest/gtest.h"
#include "product_config/product_config.h"

namespace installer {
namespace {

class FakeDrives : public DriveLister {
 public:
  std::vector<Drive> ListReadyDrives() const override { return drives; }
  std::vector<Drive> drives;
};

class RecordingObserver : public SettingsObserver {
 public:
  void OnSettingChanged() override { ++settings_changed; }
  void OnLanguageChanged() override { ++language_changed; }
  void OnPathChanged() override {
    ++path_changed;
    path_changed_thread = GetCurrentThreadId();
    if (quit)
      std::move(quit).Run();
  }

  int settings_changed = 0;
  int language_changed = 0;
  int path_changed = 0;
  DWORD path_changed_thread = 0;
  base::OnceClosure quit;
};

class SettingsImplTest : public testing::Test {
 protected:
  SettingsImplTest()
      : command_line_(base::CommandLine::NO_PROGRAM),
        version_(base::win::VERSION_WIN10),
        folder_(base::FilePath(base::test::ScratchFolder())
                    .Append(base::test::UniqueName(L"settings"))) {
    EXPECT_TRUE(base::CreateDirectory(folder_));
    environment_.command_line = &command_line_;
    environment_.user_token = &token_;
    environment_.windows_version = &version_;
    environment_.drives = &drives_;
  }
  ~SettingsImplTest() override { base::DeletePathRecursively(folder_); }

  // Builds the settings for |install_folder| and waits for its analysis.
  std::unique_ptr<SettingsImpl> Create(const base::FilePath& install_folder,
                                       bool autoupdate = false) {
    auto settings = std::make_unique<SettingsImpl>(false, false, autoupdate,
                                                   install_folder.value(), false, 1,
                                                   environment_);
    settings->AddObserver(&observer_);
    WaitForAnalysis(settings.get());
    return settings;
  }

  void WaitForAnalysis(SettingsImpl* settings) {
    if (!settings->IsFetchingStatus())
      return;
    base::RunLoop run_loop;
    observer_.quit = run_loop.QuitClosure();
    run_loop.Run();
  }

  void WriteStatus(const base::FilePath& folder, bool copy_only) {
    InstallationStatus status(GENERATED);
    status.copy_only = copy_only;
    status.app_id = "1234";
    status.path = folder.value();
    ASSERT_TRUE(WriteInstallationStatusFile(status, folder.Append(kInstallationStatusFileName)));
  }

  base::MessageLoop loop_;
  base::CommandLine command_line_;
  FakeUserToken token_;  // a standard user
  FakeWindowsVersionProvider version_;
  FakeDrives drives_;
  SettingsImpl::Environment environment_;
  RecordingObserver observer_;
  base::FilePath folder_;
};

TEST_F(SettingsImplTest, EmptyFolderIsANewInstallationAnsweredOnTheSettingsThread) {
  auto settings = Create(folder_);
  EXPECT_EQ(INSTALLING, settings->GetOperation());
  EXPECT_TRUE(settings->IsNewInstallation());
  EXPECT_EQ(folder_, settings->GetInstallPath());
  EXPECT_TRUE(settings->GetFolderDetails()->IsValidInstallPath());
  EXPECT_FALSE(settings->IsFetchingStatus());
  EXPECT_EQ(1, observer_.path_changed);
  EXPECT_EQ(GetCurrentThreadId(), observer_.path_changed_thread);
}

TEST_F(SettingsImplTest, NewSubfolderOfAnExistingFolderIsValid) {
  auto settings = Create(folder_.Append(L"new").Append(L"deeper"));
  EXPECT_EQ(INSTALLING, settings->GetOperation());
  EXPECT_EQ(folder_, settings->GetFolderDetails()->GetValidParentFolder());
}

TEST_F(SettingsImplTest, PathUnderAFileIsInvalidAndStillNotified) {
  const base::FilePath file = folder_.Append(L"file.txt");
  ASSERT_TRUE(base::WriteFile(file, "x"));
  auto settings = Create(file.Append(L"sub"));
  EXPECT_EQ(INVALID_PATH, settings->GetOperation());
  EXPECT_FALSE(settings->GetFolderDetails()->IsValidInstallPath());
  EXPECT_EQ(1, observer_.path_changed);
}

TEST_F(SettingsImplTest, RelativeAndOverlongPathsAreInvalid) {
  auto settings = Create(base::FilePath(L"relative\\folder"));
  EXPECT_EQ(INVALID_PATH, settings->GetOperation());
  settings->SetInstallFolder(folder_.Append(std::wstring(260, L'a')));
  WaitForAnalysis(settings.get());
  EXPECT_EQ(INVALID_PATH, settings->GetOperation());
}

TEST_F(SettingsImplTest, ExistingInstallationIsUpgradedWithItsShortcutState) {
  WriteStatus(folder_, false);
  auto settings = Create(folder_);
  EXPECT_EQ(UPGRADING, settings->GetOperation());
  EXPECT_TRUE(settings->GetFolderDetails()->IsExistingInstallation());
  // The recorded shortcuts do not exist, so they are not made again.
  EXPECT_FALSE(settings->GetDesktopShortcut());
  EXPECT_FALSE(settings->GetStartMenuShortcut());
  // No pins found: pinned only outside autoupdate.
  EXPECT_TRUE(settings->GetPinnedShortcut());
  // An upgrade keeps the installation's mode.
  EXPECT_FALSE(settings->SetCopyOnly(true));
  EXPECT_FALSE(settings->GetCopyOnly());
  EXPECT_FALSE(settings->SetSingleProfile(true));
  EXPECT_FALSE(settings->SetAllUsers(true));
}

TEST_F(SettingsImplTest, UpgradeTakesRecordedChoicesAndKeepsUnrecordedOnes) {
  WriteStatus(folder_, false);
  {
    auto settings = Create(folder_);
    ASSERT_EQ(UPGRADING, settings->GetOperation());
    // No preferences file: nothing was ever refused.
    EXPECT_TRUE(settings->GetImportBrowserData());
    EXPECT_TRUE(settings->GetEnableVeltoStats());
    EXPECT_TRUE(settings->GetEnableInstallerStats());
  }
  ASSERT_TRUE(base::WriteFile(folder_.Append(L"installer_prefs.json"),
                              R"({"enable_stats": false})"));
  auto settings = Create(folder_);
  ASSERT_EQ(UPGRADING, settings->GetOperation());
  EXPECT_TRUE(settings->GetImportBrowserData());
  EXPECT_FALSE(settings->GetEnableVeltoStats());
  EXPECT_FALSE(settings->GetEnableInstallerStats());
}

TEST_F(SettingsImplTest, CommandLineShortcutSwitchWinsOverTheInstallation) {
  WriteStatus(folder_, false);
  command_line_.AppendSwitchNative("desktopshortcut", L"1");
  auto settings = Create(folder_);
  EXPECT_EQ(UPGRADING, settings->GetOperation());
  EXPECT_TRUE(settings->GetDesktopShortcut());
  EXPECT_FALSE(settings->GetStartMenuShortcut());
}

TEST_F(SettingsImplTest, AutoupdateWithoutPinsDoesNotPin) {
  WriteStatus(folder_, false);
  auto settings = Create(folder_, true);
  EXPECT_EQ(UPGRADING, settings->GetOperation());
  EXPECT_FALSE(settings->GetPinnedShortcut());
}

TEST_F(SettingsImplTest, StandaloneInstallationIsUpgradedAsACopy) {
  WriteStatus(folder_, true);
  auto settings = Create(folder_);
  EXPECT_EQ(UPGRADING, settings->GetOperation());
  EXPECT_TRUE(settings->GetCopyOnly());
  EXPECT_EQ(STANDALONE, settings->GetInstallationMode());
  EXPECT_FALSE(settings->CanSetDefaultBrowser());
}

TEST_F(SettingsImplTest, ProtocolHandlerRegistrationInAnExistingInstallation) {
  WriteStatus(folder_, false);
  command_line_.AppendSwitch("register-velto-as-protocol-handler");
  auto settings = Create(folder_);
  EXPECT_EQ(REGISTERING_PROTOCOL_HANDLER, settings->GetOperation());
}

TEST_F(SettingsImplTest, TracesOnlyAreNoInstallation) {
  ASSERT_TRUE(base::WriteFile(folder_.Append(L"launcher.exe"), "MZ"));
  auto settings = Create(folder_);
  EXPECT_EQ(INSTALLING, settings->GetOperation());
  EXPECT_TRUE(settings->GetFolderDetails()->HasExistingInstallationTraces());
}

TEST_F(SettingsImplTest, FlagSettersNotifyAndRefuseByTheirRules) {
  auto settings = Create(folder_);
  observer_.settings_changed = 0;
  EXPECT_TRUE(settings->SetLaunch(false));
  EXPECT_FALSE(settings->GetLaunch());
  EXPECT_EQ(1, observer_.settings_changed);

  // Only an uninstallation deletes the profile.
  EXPECT_FALSE(settings->SetDeleteProfile(true));
  EXPECT_FALSE(settings->GetDeleteProfile());
  EXPECT_EQ(1, observer_.settings_changed);

  ASSERT_TRUE(settings->SetCopyOnly(true));
  EXPECT_FALSE(settings->SetDefaultBrowser(true));
  EXPECT_FALSE(settings->SetDesktopShortcut(true));
  EXPECT_FALSE(settings->SetInstallPomrel(true));
  EXPECT_FALSE(settings->SetAllUsers(true));
  EXPECT_TRUE(settings->SetStartMenuShortcut(true));

  settings->SetEditable(false);
  const int notified = observer_.settings_changed;
  EXPECT_FALSE(settings->SetLaunch(true));
  EXPECT_FALSE(settings->SetCopyOnly(false));
  EXPECT_FALSE(settings->SetMode(ALL_USERS));
  EXPECT_FALSE(settings->GetLaunch());
  EXPECT_EQ(notified, observer_.settings_changed);
}

TEST_F(SettingsImplTest, AddingAnObserverTwiceNotifiesOnce) {
  auto settings = Create(folder_);
  RecordingObserver other;
  settings->AddObserver(&other);
  settings->AddObserver(&other);
  settings->SetImportBrowserData(false);
  EXPECT_EQ(1, other.settings_changed);
  settings->RemoveObserver(&other);
  settings->SetImportBrowserData(true);
  EXPECT_EQ(1, other.settings_changed);
}

TEST_F(SettingsImplTest, StandaloneModeClearsSystemChangesAndBackRestoresShortcuts) {
  command_line_.AppendSwitchNative("pintotaskbar", L"0");
  auto settings = Create(folder_);
  ASSERT_TRUE(settings->SetInstallPomrel(true));
  ASSERT_TRUE(settings->SetMode(STANDALONE));
  EXPECT_TRUE(settings->GetCopyOnly());
  EXPECT_TRUE(settings->GetSingleProfile());
  for (bool flag : {settings->GetAllUsers(), settings->GetDefaultBrowser(),
                    settings->GetDesktopShortcut(), settings->GetStartMenuShortcut(),
                    settings->GetQuickLaunchShortcut(), settings->GetPinnedShortcut(),
                    settings->GetInstallPomrel()}) {
    EXPECT_FALSE(flag);
  }

  ASSERT_TRUE(settings->SetMode(ALL_USERS));
  EXPECT_FALSE(settings->GetCopyOnly());
  EXPECT_FALSE(settings->GetSingleProfile());
  EXPECT_TRUE(settings->GetAllUsers());
  EXPECT_TRUE(settings->GetDesktopShortcut());
  EXPECT_TRUE(settings->GetStartMenuShortcut());
  EXPECT_TRUE(settings->GetQuickLaunchShortcut());
  // Fixed by the command line.
  EXPECT_FALSE(settings->GetPinnedShortcut());

  EXPECT_FALSE(settings->SetMode(static_cast<InstallationMode>(7)));
}

TEST_F(SettingsImplTest, CurrentUserDefaultFolderIsAPathBeforeItsParentExists) {
  // The user's Programs folder does not exist in a fresh profile.
  auto settings = Create(base::FilePath());
  ASSERT_FALSE(settings->GetAllUsers());
  base::FilePath standard;
  settings->GetDefaultInstallFolder(&standard, DEFAULT_FOLDER_STANDARD);
  EXPECT_TRUE(standard.IsAbsolute()) << standard.value();
  EXPECT_EQ(L"Programs", standard.DirName().BaseName().value());
  EXPECT_EQ(standard, settings->GetInstallPath());
  EXPECT_EQ(INSTALLING, settings->GetOperation());
}

TEST_F(SettingsImplTest, AnOrdinaryLogHoldsTheSettingsAndTheFolderAnalysis) {
  const base::FilePath log = folder_.Append(L"settings.log");
  logging::LoggingSettings log_settings;
  log_settings.log_file_path = log;
  ASSERT_TRUE(logging::InitLogging(log_settings));
  logging::SetVlogLevel(0);
  {
    auto settings = Create(folder_);
    ASSERT_TRUE(settings->SetCopyOnly(true));
  }
  logging::CloseLogFile();
  std::string text;
  ASSERT_TRUE(base::ReadFileToString(log, &text));
  for (const char* line :
       {"Initializing settings", "Install folder from reg value", "Install folder set: ",
        "Operation: 1", "status for install folder:", "existing_installation: 0",
        "welcome_url: ", "COPY_ONLY set to: 1"}) {
    EXPECT_NE(std::string::npos, text.find(line)) << line;
  }
}

TEST_F(SettingsImplTest, TypedFolderStaysWhenTheModeChanges) {
  auto settings = Create(folder_);
  ASSERT_TRUE(settings->SetMode(CURRENT_USER));
  EXPECT_FALSE(settings->IsFetchingStatus());
  EXPECT_EQ(folder_, settings->GetInstallPath());
}

TEST_F(SettingsImplTest, SuggestedFolderFollowsTheMode) {
  // No command-line folder: the standard folder for a standard user.
  auto settings = Create(base::FilePath());
  ASSERT_FALSE(settings->GetAllUsers());
  std::vector<base::FilePath> suggested;
  settings->GetSuggestedInstallFolders(&suggested);
  ASSERT_EQ(1u, suggested.size());
  EXPECT_EQ(suggested[0], settings->GetInstallPath());

  ASSERT_TRUE(settings->SetMode(ALL_USERS));
  EXPECT_TRUE(settings->IsFetchingStatus());
  base::FilePath all_users;
  settings->GetDefaultInstallFolder(&all_users, DEFAULT_FOLDER_STANDARD);
  WaitForAnalysis(settings.get());
  EXPECT_EQ(all_users, settings->GetInstallPath());
  EXPECT_NE(suggested[0], all_users);
}

TEST_F(SettingsImplTest, AnalysisArrivingAfterTheRunStartedIsIgnored) {
  auto settings = Create(folder_);
  const base::FilePath other = folder_.Append(L"other");
  settings->SetInstallFolder(other);
  ASSERT_TRUE(settings->IsFetchingStatus());
  settings->SetEditable(false);
  base::RunLoop().RunUntilIdle();
  // Let the worker finish and its reply arrive.
  for (int i = 0; i < 50 && settings->IsFetchingStatus(); ++i) {
    Sleep(20);
    base::RunLoop().RunUntilIdle();
  }
  EXPECT_EQ(folder_, settings->GetInstallPath());
  EXPECT_EQ(INSTALLING, settings->GetOperation());
  EXPECT_EQ(1, observer_.path_changed);
}

TEST_F(SettingsImplTest, NewerFolderCancelsTheOlderAnalysis) {
  auto settings = Create(folder_);
  const base::FilePath file = folder_.Append(L"file.txt");
  ASSERT_TRUE(base::WriteFile(file, "x"));
  settings->SetInstallFolder(file);
  settings->SetInstallFolder(folder_.Append(L"second"));
  WaitForAnalysis(settings.get());
  EXPECT_EQ(folder_.Append(L"second"), settings->GetInstallPath());
  EXPECT_EQ(INSTALLING, settings->GetOperation());
  EXPECT_EQ(2, observer_.path_changed);
}

TEST_F(SettingsImplTest, GoingBackToTheAnalysedFolderDropsThePendingOne) {
  auto settings = Create(folder_);
  settings->SetInstallFolder(folder_.Append(L"other"));
  settings->SetInstallFolder(folder_);
  EXPECT_FALSE(settings->IsFetchingStatus());
  Sleep(100);
  base::RunLoop().RunUntilIdle();
  EXPECT_EQ(folder_, settings->GetInstallPath());
}

TEST_F(SettingsImplTest, StandaloneFoldersPreferRemovableDrivesAndDropSlowOnes) {
  drives_.drives = {{L'C', DRIVE_FIXED}, {L'D', DRIVE_CDROM}, {L'E', DRIVE_REMOVABLE},
                    {L'F', DRIVE_REMOTE}, {L'G', DRIVE_UNKNOWN}};
  auto settings = Create(folder_);
  const std::wstring name = base::FilePath::FromUTF8Unsafe(GetProductDisplayName()).value();
  const std::vector<base::FilePath> expected = {
      base::FilePath(L"E:\\" + name), base::FilePath(L"F:\\" + name),
      base::FilePath(L"C:\\" + name)};
  EXPECT_EQ(expected, settings->GetStandaloneFolders());
  ASSERT_TRUE(settings->SetCopyOnly(true));
  std::vector<base::FilePath> suggested;
  settings->GetSuggestedInstallFolders(&suggested);
  EXPECT_EQ(expected, suggested);
  base::FilePath standard;
  settings->GetDefaultInstallFolder(&standard, DEFAULT_FOLDER_STANDARD);
  EXPECT_EQ(expected[0], standard);
}

TEST_F(SettingsImplTest, OnlyACdRomIsStillOffered) {
  drives_.drives = {{L'D', DRIVE_CDROM}};
  auto settings = Create(folder_);
  ASSERT_EQ(1u, settings->GetStandaloneFolders().size());
}

TEST_F(SettingsImplTest, CommandLineFolderIsTheDefaultWithForwardSlashesNormalised) {
  std::wstring slashed = folder_.value();
  for (wchar_t& c : slashed) {
    if (c == L'\\')
      c = L'/';
  }
  auto settings = std::make_unique<SettingsImpl>(false, false, false, slashed, false, 0,
                                                 environment_);
  base::FilePath folder;
  settings->GetDefaultInstallFolder(&folder, DEFAULT_FOLDER_COMMAND_LINE);
  EXPECT_EQ(folder_, folder);
  settings->GetDefaultInstallFolder(&folder, 0);
  EXPECT_TRUE(folder.empty());
}

TEST_F(SettingsImplTest, TwoUninstallEntriesOfThisStreamAreNoSingleRegistration) {
  const std::wstring prefix = GetUninstallRegistryKey() + L"\\" + L"Velto " +
                              base::test::UniqueName(L"entry");
  std::vector<std::wstring> keys;
  auto add_entry = [&](const std::wstring& publisher, const std::wstring& display_name) {
    const std::wstring key = prefix + std::to_wstring(keys.size());
    base::win::RegKey entry;
    ASSERT_EQ(ERROR_SUCCESS, entry.Create(HKEY_CURRENT_USER, key.c_str(), KEY_SET_VALUE));
    ASSERT_EQ(ERROR_SUCCESS, entry.WriteValue(L"Publisher", publisher.c_str()));
    ASSERT_EQ(ERROR_SUCCESS, entry.WriteValue(L"DisplayName", display_name.c_str()));
    keys.push_back(key);
  };
  auto uninstaller = [&] {
    auto settings = std::make_unique<SettingsImpl>(true, true, false, L"", false, 1,
                                                   environment_);
    settings->AddObserver(&observer_);
    WaitForAnalysis(settings.get());
    return settings->HasRegisteredInstallation();
  };
  // This build is of the Quenn stream, whose entries say "quenn" or "Pallex".
  ASSERT_EQ("quenn", GetStreamName());
  const std::wstring company = L"Velto Software";
  add_entry(company + L" AS", L"Velto quenn 1.0");
  // None of these counts: another maker, another product, another stream,
  // no word after the stream.
  add_entry(L"Other Maker", L"Velto quenn 1.0");
  add_entry(company, L"Veltoish quenn 1.0");
  add_entry(company, L"Velto Tamber 1.0");
  add_entry(company, L"Velto quenn");
  EXPECT_TRUE(uninstaller());

  add_entry(company, L"Velto Pallex (x64)");
  EXPECT_FALSE(uninstaller());

  // The back end does not look.
  command_line_.AppendSwitch("backend");
  EXPECT_TRUE(uninstaller());

  for (const std::wstring& key : keys)
    base::win::RegKey(HKEY_CURRENT_USER, L"", KEY_ALL_ACCESS).DeleteKey(key.c_str());
}

}  // namespace
}  // namespace installer
