#include "desktop/windows/installer/service/installation_impl.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/base_paths.h"
#include "base/files/file_util.h"
#include "base/path_service.h"
#include "base/strings/string_util.h"
#include "base/test/test_environment.h"
#include "base/values.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/folder_installation.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/test/fake_association_shell.h"
#include "desktop/windows/installer/service/test/fake_windows_version_provider.h"
#include "desktop/windows/installer/service/test/registry_test_helpers.h"
#include "prefs/json_pref_store.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::win::VERSION_WIN10;
using base::win::VERSION_WIN7;
using base::win::VERSION_WIN8;
using base::win::VERSION_WIN8_1;

constexpr wchar_t kProgIdKey[] = L"Software\\Classes\\Veltoquenn";
constexpr wchar_t kHttpUserChoiceKey[] =
    L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice";
constexpr wchar_t kHtmlUserChoiceKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.html\\UserChoice";

std::unique_ptr<InstallationStatus> MakeStatus(bool all_users, const std::string& app_id) {
  auto status = std::make_unique<InstallationStatus>(GENERATED);
  status->all_users = all_users;
  status->app_id = app_id;
  return status;
}

class InstallationImplTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = base::FilePath(base::test::ScratchFolder())
                  .Append(base::test::UniqueName(L"installation"));
    ASSERT_TRUE(base::CreateDirectory(folder_));
    ASSERT_TRUE(classes_root_.overridden());
  }

  void TearDown() override {
    base::DeletePathRecursively(folder_);
  }

  InstallationImpl::Platform platform() {
    InstallationImpl::Platform platform;
    platform.version = &version_;
    platform.shell = &shell_;
    return platform;
  }

  std::unique_ptr<FolderInstallation> Make(base::win::Version version) {
    version_.set_version(version);
    return std::make_unique<FolderInstallation>(folder_, platform());
  }
  std::unique_ptr<FolderInstallation> Make(base::win::Version version,
                                           std::unique_ptr<InstallationStatus> status) {
    version_.set_version(version);
    return std::make_unique<FolderInstallation>(folder_, std::move(status), platform());
  }

  void WritePrefs(const std::string& json) {
    ASSERT_TRUE(base::WriteFile(folder_.Append(L"installer_prefs.json"), json));
  }

  // Makes the user's http (and https) handler run |command|.
  void RegisterUserHandler(const std::wstring& protocol, const std::wstring& command) {
    WriteString(HKEY_CURRENT_USER, L"Software\\Classes\\" + protocol + L"\\shell\\open\\command",
                nullptr, command);
  }

  std::wstring OurCommand() { return L"\"" + folder_.value() + L"\\launcher.exe\" -- \"%1\""; }

  base::FilePath folder_;
  ScopedUserClassesRoot classes_root_;
  FakeWindowsVersionProvider version_{VERSION_WIN7};
  FakeAssociationShell shell_;
};

// Construction and preferences.

TEST_F(InstallationImplTest, RunningExecutableFolderOrItsParentWithTheLauncher) {
  base::FilePath exe_folder = folder_.Append(L"V");
  ASSERT_TRUE(base::CreateDirectory(exe_folder));
  ASSERT_TRUE(base::WriteFile(folder_.Append(L"launcher.exe"), "MZ"));
  ASSERT_TRUE(base::PathService::Override(base::DIR_EXE, exe_folder));
  EXPECT_EQ(folder_, InstallationImpl().GetFolder());

  ASSERT_TRUE(base::WriteFile(exe_folder.Append(L"launcher.exe"), "MZ"));
  EXPECT_EQ(exe_folder, InstallationImpl().GetFolder());

  // Neither folder holds a launcher: the executable's folder it is.
  ASSERT_TRUE(base::DeleteFile(exe_folder.Append(L"launcher.exe")));
  ASSERT_TRUE(base::DeleteFile(folder_.Append(L"launcher.exe")));
  EXPECT_EQ(exe_folder, InstallationImpl().GetFolder());
  base::PathService::RemoveOverride(base::DIR_EXE);
}

TEST_F(InstallationImplTest, CurrentInstallationIsKept) {
  Installation* current = Installation::GetCurrent();
  ASSERT_NE(nullptr, current);
  EXPECT_EQ(current, Installation::GetCurrent());
}

TEST_F(InstallationImplTest, PreferencesByType) {
  WritePrefs(R"({"flag": true, "text": "h\u00e9", "digits": "-1234567890123",
                "number": 42, "word": "12abc"})");
  auto installation = Make(VERSION_WIN7);
  bool flag = false;
  EXPECT_TRUE(installation->GetBooleanPref("flag", &flag));
  EXPECT_TRUE(flag);
  EXPECT_FALSE(installation->GetBooleanPref("text", &flag));

  std::wstring wide;
  EXPECT_TRUE(installation->GetPrefValue("text", &wide));
  EXPECT_EQ(L"h\u00e9", wide);
  std::string narrow;
  EXPECT_TRUE(installation->GetStringPref("text", &narrow));
  EXPECT_EQ("h\xc3\xa9", narrow);
  EXPECT_FALSE(installation->GetStringPref("number", &narrow));
  EXPECT_FALSE(installation->GetStringPref("missing", &narrow));

  int64_t number = 0;
  EXPECT_TRUE(installation->GetInt64Pref("digits", &number));
  EXPECT_EQ(-1234567890123, number);
  // A JSON number is not a string preference.
  EXPECT_FALSE(installation->GetInt64Pref("number", &number));
  // Text that is not wholly a number is no number.
  number = 7;
  EXPECT_FALSE(installation->GetInt64Pref("word", &number));
  EXPECT_EQ(7, number);
  EXPECT_FALSE(installation->IsSingleProfile());
}

TEST_F(InstallationImplTest, MissingOrBrokenPreferencesHaveNoValues) {
  auto without = Make(VERSION_WIN7);
  std::string text;
  EXPECT_FALSE(without->GetStringPref("profile_path", &text));
  EXPECT_FALSE(without->IsSingleProfile());
  EXPECT_TRUE(without->GetPrefStore()->IsInitializationComplete());

  WritePrefs("{not json");
  auto broken = Make(VERSION_WIN7);
  EXPECT_FALSE(broken->GetStringPref("profile_path", &text));
  EXPECT_FALSE(broken->IsSingleProfile());
}

TEST_F(InstallationImplTest, PreferenceStoreIsSharedAndNeverWritesTheFile) {
  const std::string json = R"({"single_profile": true})";
  WritePrefs(json);
  {
    auto installation = Make(VERSION_WIN7);
    scoped_refptr<JsonPrefStore> store = installation->GetPrefStore();
    EXPECT_EQ(store, installation->GetPrefStore());
    store->SetValue("added", base::Value(1));
    store->CommitPendingWrite();
  }
  std::string contents;
  ASSERT_TRUE(base::ReadFileToString(folder_.Append(L"installer_prefs.json"), &contents));
  EXPECT_EQ(json, contents);
}

// Status, ids and task name.

TEST_F(InstallationImplTest, WithoutStatusFileTheRecordStaysEmpty) {
  auto installation = Make(VERSION_WIN7);
  EXPECT_EQ(INVALID, installation->GetStatus().source);
  EXPECT_FALSE(installation->IsCopyOnly());
  EXPECT_EQ(L"VeltoSoftware.VeltoWebBrowser.", installation->GetAppUserModelId());
  EXPECT_EQ(L"Autoupdate ", installation->GetAutoupdateTaskName());
}

TEST_F(InstallationImplTest, StatusFileIsLoadedOnFirstNeed) {
  ASSERT_TRUE(base::WriteFile(
      folder_.Append(L"installation_status.json"),
      R"({"version": "1.0", "app_id": "abc", "copy_only": true, "_all_users": false,
          "pinned": false, "path": "C:\\V", "files": [], "registry": {}})"));
  auto installation = Make(VERSION_WIN7);
  // Not loaded until an operation needs it.
  EXPECT_EQ(INVALID, installation->GetStatus().source);
  EXPECT_EQ(L"Autoupdate abc", installation->GetAutoupdateTaskName());
  EXPECT_EQ(PRIMARY, installation->GetStatus().source);
  EXPECT_TRUE(installation->IsCopyOnly());
  EXPECT_EQ(L"VeltoSoftware.VeltoWebBrowser.abc", installation->GetAppUserModelId());

  // Loaded once: a later change of the file is not seen.
  ASSERT_TRUE(base::DeleteFile(folder_.Append(L"installation_status.json")));
  EXPECT_TRUE(installation->IsCopyOnly());
}

TEST_F(InstallationImplTest, BrokenStatusFileGivesAnEmptyRecord) {
  ASSERT_TRUE(base::WriteFile(folder_.Append(L"installation_status.json"),
                              R"({"version": "1.0", "copy_only": "yes"})"));
  auto installation = Make(VERSION_WIN7);
  EXPECT_FALSE(installation->IsCopyOnly());
  EXPECT_EQ(INVALID, installation->GetStatus().source);
  EXPECT_EQ(L"Autoupdate ", installation->GetAutoupdateTaskName());
}

TEST_F(InstallationImplTest, GivenStatusIsNeverReplacedByTheFile) {
  ASSERT_TRUE(base::WriteFile(
      folder_.Append(L"installation_status.json"),
      R"({"version": "1.0", "app_id": "file", "copy_only": true, "_all_users": false,
          "pinned": false, "path": "C:\\V", "files": [], "registry": {}})"));
  auto given = Make(VERSION_WIN7, MakeStatus(false, "given"));
  EXPECT_FALSE(given->IsCopyOnly());
  EXPECT_EQ(L"Autoupdate given", given->GetAutoupdateTaskName());

  auto none_given = Make(VERSION_WIN7, nullptr);
  EXPECT_FALSE(none_given->IsCopyOnly());
  EXPECT_EQ(INVALID, none_given->GetStatus().source);
}

// Folders.

TEST_F(InstallationImplTest, SingleProfileFoldersLieInTheInstallation) {
  WritePrefs(R"({"single_profile": true})");
  auto installation = Make(VERSION_WIN7);
  EXPECT_TRUE(installation->IsSingleProfile());
  base::FilePath path;
  ASSERT_TRUE(installation->GetProfileFolder(&path));
  EXPECT_EQ(folder_.Append(L"profile"), path);
  ASSERT_TRUE(installation->GetDataFolder(&path));
  EXPECT_EQ(folder_.Append(L"profile\\data"), path);
  ASSERT_TRUE(installation->GetUserDataFolder(&path));
  EXPECT_EQ(folder_.Append(L"profile\\data"), path);
  ASSERT_TRUE(installation->GetDataFolderForChannel(&path, 4));
  EXPECT_EQ(folder_.Append(L"profile\\data"), path);
}

TEST_F(InstallationImplTest, DefaultFoldersFollowTheChannelTemplate) {
  base::FilePath roaming;
  ASSERT_TRUE(base::PathService::Get(base::DIR_APP_DATA, &roaming));
  auto installation = Make(VERSION_WIN7);
  base::FilePath path;
  ASSERT_TRUE(installation->GetProfileFolder(&path));
  EXPECT_EQ(roaming.Append(L"Velto").Append(folder_.BaseName()), path);
  ASSERT_TRUE(installation->GetDataFolderForChannel(&path, 4));
  EXPECT_EQ(roaming.Append(L"Velto Software\\Velto Tamber"), path);
  ASSERT_TRUE(installation->GetDataFolderForChannel(&path, 9));
  EXPECT_EQ(roaming.Append(L"Velto Software\\Velto quenn"), path);
  ASSERT_TRUE(installation->GetDataFolder(&path));
  EXPECT_EQ(roaming.Append(L"Velto Software\\Velto Pallex"), path);
  ASSERT_TRUE(installation->GetUserDataFolder(&path));
  EXPECT_EQ(roaming.Append(L"Velto Software\\Velto Pallex"), path);

  FolderInstallation drive_root(base::FilePath(L"C:\\"), platform());
  ASSERT_TRUE(drive_root.GetProfileFolder(&path));
  EXPECT_EQ(roaming.Append(L"Velto\\Velto"), path);

  FolderInstallation no_folder((base::FilePath()), platform());
  EXPECT_FALSE(no_folder.GetProfileFolder(&path));
  EXPECT_FALSE(no_folder.GetDataFolder(&path));
  EXPECT_FALSE(no_folder.GetUserDataFolder(&path));
}

TEST_F(InstallationImplTest, PerUserProfilePathSharesItsParentAsUserData) {
  std::wstring user;
  ASSERT_TRUE(GetCurrentUserName(&user));
  WritePrefs(R"({"profile_path": "D:\\Profiles\\<USERNAME>"})");
  auto installation = Make(VERSION_WIN7);
  base::FilePath path;
  ASSERT_TRUE(installation->GetDataFolder(&path));
  EXPECT_EQ(L"D:\\Profiles\\" + user, path.value());
  ASSERT_TRUE(installation->GetUserDataFolder(&path));
  EXPECT_EQ(L"D:\\Profiles", path.value());

  WritePrefs(R"({"profile_path": "D:\\Profiles\\<USERNAME>\\"})");
  ASSERT_TRUE(Make(VERSION_WIN7)->GetUserDataFolder(&path));
  EXPECT_EQ(L"D:\\Profiles", path.value());

  // The user's name is not the last component: the folder is the profile.
  WritePrefs(R"({"profile_path": "D:\\<USERNAME>\\Velto"})");
  ASSERT_TRUE(Make(VERSION_WIN7)->GetUserDataFolder(&path));
  EXPECT_EQ(L"D:\\" + user + L"\\Velto", path.value());

  WritePrefs(R"({"profile_path": "E:\\Portable"})");
  auto fixed = Make(VERSION_WIN7);
  ASSERT_TRUE(fixed->GetUserDataFolder(&path));
  EXPECT_EQ(L"E:\\Portable", path.value());
  ASSERT_TRUE(fixed->GetDataFolderForChannel(&path, 1));
  EXPECT_EQ(L"E:\\Portable", path.value());
}

TEST_F(InstallationImplTest, RelativeProfilePathIsIgnored) {
  base::FilePath standard;
  ASSERT_TRUE(Make(VERSION_WIN7)->GetDataFolder(&standard));
  for (const char* prefs : {R"({"profile_path": "Profiles\\<USERNAME>"})",
                            R"({"profile_path": "..\\..\\Profile"})",
                            R"({"profile_path": "\\Profile"})"}) {
    SCOPED_TRACE(prefs);
    WritePrefs(prefs);
    base::FilePath path;
    ASSERT_TRUE(Make(VERSION_WIN7)->GetDataFolder(&path));
    EXPECT_EQ(standard, path);
  }
}

TEST_F(InstallationImplTest, RebaseProfilePathMovesRoamingToLocal) {
  base::FilePath roaming;
  base::FilePath local;
  ASSERT_TRUE(base::PathService::Get(base::DIR_APP_DATA, &roaming));
  ASSERT_TRUE(base::PathService::Get(base::DIR_LOCAL_APP_DATA, &local));
  auto installation = Make(VERSION_WIN7);
  base::FilePath rebased;
  installation->RebaseProfilePath(roaming.Append(L"Velto\\X"), &rebased);
  EXPECT_EQ(local.Append(L"Velto\\X"), rebased);
  installation->RebaseProfilePath(base::FilePath(L"D:\\Elsewhere"), &rebased);
  EXPECT_EQ(L"D:\\Elsewhere", rebased.value());

  WritePrefs(R"({"profile_path": "E:\\Portable"})");
  Make(VERSION_WIN7)->RebaseProfilePath(roaming.Append(L"Velto\\X"), &rebased);
  EXPECT_EQ(roaming.Append(L"Velto\\X"), rebased);
}

// Handler queries.

TEST_F(InstallationImplTest, HandlerCommandFromUserChoiceClassOrName) {
  auto installation = Make(VERSION_WIN7);
  std::wstring command;
  EXPECT_FALSE(installation->GetHandlerCommand(L"http", false, &command));

  RegisterUserHandler(L"http", L"plain http");
  ASSERT_TRUE(installation->GetHandlerCommand(L"http", false, &command));
  EXPECT_EQ(L"plain http", command);

  // The user's choice names the class that handles it.
  WriteString(HKEY_CURRENT_USER, kHttpUserChoiceKey, L"ProgId", L"ChosenClass");
  RegisterUserHandler(L"ChosenClass", L"chosen");
  ASSERT_TRUE(installation->GetHandlerCommand(L"http", false, &command));
  EXPECT_EQ(L"chosen", command);

  // An extension's class is its default value.
  WriteString(HKEY_CURRENT_USER, L"Software\\Classes\\.html", nullptr, L"HtmlClass");
  RegisterUserHandler(L"HtmlClass", L"html command");
  ASSERT_TRUE(installation->GetHandlerCommand(L".html", false, &command));
  EXPECT_EQ(L"html command", command);
  EXPECT_FALSE(installation->GetHandlerCommand(L".nothing", false, &command));

  // The machine's view ignores the user's choice.
  WriteString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\http\\shell\\open\\command", nullptr,
              L"machine http");
  ASSERT_TRUE(installation->GetHandlerCommand(L"http", true, &command));
  EXPECT_EQ(L"machine http", command);
}

TEST_F(InstallationImplTest, RegisteredHandlerRunsOurLauncherOrBrowser) {
  auto installation = Make(VERSION_WIN7);
  EXPECT_FALSE(installation->IsRegisteredHandler(L"http", false));
  RegisterUserHandler(L"http", L"\"" + base::ToUpperASCII(folder_.value()) +
                                   L"\\LAUNCHER.EXE\" -- \"%1\"");
  EXPECT_TRUE(installation->IsRegisteredHandler(L"http", false));
  EXPECT_FALSE(installation->IsRegisteredHandler(L"http", true));

  RegisterUserHandler(L"http", L"\"" + folder_.value() + L"\\velto.exe\" \"%1\"");
  EXPECT_TRUE(installation->IsRegisteredHandler(L"http", true));
  EXPECT_FALSE(installation->IsRegisteredHandler(L"http", false));

  // Another folder's launcher is not ours, and without a folder nothing is.
  RegisterUserHandler(L"http", L"\"C:\\Other\\launcher.exe\" -- \"%1\"");
  EXPECT_FALSE(installation->IsRegisteredHandler(L"http", false));
  FolderInstallation no_folder((base::FilePath()), platform());
  EXPECT_FALSE(no_folder.IsRegisteredHandler(L"http", false));
}

TEST_F(InstallationImplTest, DefaultClientOfAPerUserInstallationReadsStartMenuInternet) {
  auto installation = Make(VERSION_WIN7);
  EXPECT_FALSE(installation->IsDefaultClient());
  WriteString(HKEY_LOCAL_MACHINE, L"Software\\Clients\\StartMenuInternet", nullptr,
              L"Veltoquenn");
  EXPECT_TRUE(installation->IsDefaultClient());
  // The user's value comes first.
  WriteString(HKEY_CURRENT_USER, L"Software\\Clients\\StartMenuInternet", nullptr,
              L"Velto quenn");
  EXPECT_FALSE(installation->IsDefaultClient());
  EXPECT_TRUE(shell_.calls().empty());
}

TEST_F(InstallationImplTest, DefaultClientOfAnAllUsersInstallationAsksTheShell) {
  auto installation = Make(VERSION_WIN7, MakeStatus(true, ""));
  WriteString(HKEY_CURRENT_USER, L"Software\\Clients\\StartMenuInternet", nullptr,
              L"Veltoquenn");
  EXPECT_FALSE(installation->IsDefaultClient());
  shell_.query_succeeds = true;
  EXPECT_FALSE(installation->IsDefaultClient());
  shell_.is_default_answer = true;
  EXPECT_TRUE(installation->IsDefaultClient());
  ASSERT_EQ(3u, shell_.calls().size());
  EXPECT_EQ(L"QueryAppIsDefault StartmenuInternet 2 Velto quenn", shell_.calls()[0]);
}

TEST_F(InstallationImplTest, DefaultForHttpAndHttpsNeedsTheStartMenuBeforeWindows8) {
  RegisterUserHandler(L"http", OurCommand());
  auto win7 = Make(VERSION_WIN7);
  EXPECT_FALSE(win7->IsDefaultForHttpAndHttps());
  RegisterUserHandler(L"https", OurCommand());
  EXPECT_FALSE(win7->IsDefaultForHttpAndHttps());
  WriteString(HKEY_CURRENT_USER, L"Software\\Clients\\StartMenuInternet", nullptr,
              L"Veltoquenn");
  EXPECT_TRUE(win7->IsDefaultForHttpAndHttps());

  WriteString(HKEY_CURRENT_USER, L"Software\\Clients\\StartMenuInternet", nullptr, L"Other");
  EXPECT_FALSE(win7->IsDefaultForHttpAndHttps());
  EXPECT_TRUE(Make(VERSION_WIN8)->IsDefaultForHttpAndHttps());
  EXPECT_TRUE(Make(VERSION_WIN10)->IsDefaultForHttpAndHttps());
}

// Previous default browser.

TEST_F(InstallationImplTest, PreviousDefaultBrowserUserFirstThenMachine) {
  auto installation = Make(VERSION_WIN7);
  std::wstring value;
  EXPECT_FALSE(installation->GetPreviousDefaultBrowser(&value));
  ASSERT_TRUE(installation->SetPreviousDefaultBrowser(L"machine", true));
  ASSERT_TRUE(installation->GetPreviousDefaultBrowser(&value));
  EXPECT_EQ(L"machine", value);
  ASSERT_TRUE(installation->SetPreviousDefaultBrowser(L"user", false));
  ASSERT_TRUE(installation->GetPreviousDefaultBrowser(&value));
  EXPECT_EQ(L"user", value);
  EXPECT_EQ(L"machine", ReadString(HKEY_LOCAL_MACHINE, L"Software\\Velto Software",
                                   L"Previous Default Browser"));
}

TEST_F(InstallationImplTest, SavePreviousDefaultBrowserKeepsAnotherHandlersCommand) {
  auto installation = Make(VERSION_WIN7);
  installation->SavePreviousDefaultBrowser(false);
  std::wstring value;
  EXPECT_FALSE(installation->GetPreviousDefaultBrowser(&value));

  RegisterUserHandler(L"http", L"other.exe \"%1\"");
  WriteString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\http\\shell\\open\\command", nullptr,
              L"machine.exe \"%1\"");
  installation->SavePreviousDefaultBrowser(true);
  EXPECT_EQ(L"machine.exe \"%1\"", ReadString(HKEY_LOCAL_MACHINE, L"Software\\Velto Software",
                                              L"Previous Default Browser"));
  installation->SavePreviousDefaultBrowser(false);
  EXPECT_EQ(L"other.exe \"%1\"", ReadString(HKEY_CURRENT_USER, L"Software\\Velto Software",
                                            L"Previous Default Browser"));

  // Once this installation handles http there is nothing of another to keep.
  RegisterUserHandler(L"http", OurCommand());
  installation->SavePreviousDefaultBrowser(false);
  EXPECT_EQ(L"other.exe \"%1\"", ReadString(HKEY_CURRENT_USER, L"Software\\Velto Software",
                                            L"Previous Default Browser"));
}

// Registration.

TEST_F(InstallationImplTest, RegisterClassesWritesTheProgId) {
  auto installation = Make(VERSION_WIN7);
  ASSERT_TRUE(installation->RegisterClasses(false));
  EXPECT_EQ(L"Velto Web Document",
            ReadString(HKEY_CURRENT_USER, kProgIdKey, L"FriendlyTypeName"));
  EXPECT_EQ(L"", ReadString(HKEY_CURRENT_USER, kProgIdKey, L"URL Protocol"));
  EXPECT_EQ(folder_.value() + L"\\Launcher.exe,0",
            ReadString(HKEY_CURRENT_USER, std::wstring(kProgIdKey) + L"\\DefaultIcon", nullptr));
  EXPECT_EQ(L"\"" + folder_.value() + L"\\Launcher.exe\" -noautoupdate -- \"%1\"",
            ReadString(HKEY_CURRENT_USER, std::wstring(kProgIdKey) + L"\\shell\\open\\command",
                       nullptr));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER,
                        std::wstring(kProgIdKey) + L"\\shell\\open\\ddeexec\\Topic"));

  // For all users the DDE key is removed instead of written.
  WriteString(HKEY_LOCAL_MACHINE, std::wstring(kProgIdKey) + L"\\shell\\open\\ddeexec",
              nullptr, L"old");
  ASSERT_TRUE(installation->RegisterClasses(true));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kProgIdKey) + L"\\shell\\open\\ddeexec"));
  EXPECT_EQ(L"Velto Web Document",
            ReadString(HKEY_LOCAL_MACHINE, kProgIdKey, L"FriendlyTypeName"));
  EXPECT_TRUE(installation->GetStatus().hkcu_keys.empty());
}

TEST_F(InstallationImplTest, Windows7PerUserProtocolGetsAllRowsAndLosesTheUserChoice) {
  WriteString(HKEY_CURRENT_USER, kHttpUserChoiceKey, L"Progid", L"OtherBrowser");
  auto installation = Make(VERSION_WIN7);
  ASSERT_TRUE(installation->SetDefaultFor(L"http", false));
  EXPECT_EQ(L"\"" + folder_.value() + L"\\launcher.exe\" -noautoupdate -- \"%1\"",
            ReadString(HKEY_CURRENT_USER, L"Software\\Classes\\http\\shell\\open\\command",
                       nullptr));
  base::win::RegKey key(HKEY_CURRENT_USER, L"Software\\Classes\\http", KEY_READ);
  DWORD edit_flags = 0;
  EXPECT_EQ(ERROR_SUCCESS, key.ReadValueDW(L"EditFlags", &edit_flags));
  EXPECT_EQ(2u, edit_flags);
  EXPECT_EQ(L"<none>", ReadString(HKEY_CURRENT_USER, kHttpUserChoiceKey, L"Progid"));
  EXPECT_TRUE(shell_.calls().empty());
  EXPECT_TRUE(installation->IsRegisteredHandler(L"http", false));
}

TEST_F(InstallationImplTest, Windows7ExtensionNamesTheProgId) {
  WriteString(HKEY_CURRENT_USER, kHtmlUserChoiceKey, L"Progid", L"OtherBrowser");
  auto installation = Make(VERSION_WIN7);
  ASSERT_TRUE(installation->SetDefaultFor(L".html", false));
  EXPECT_EQ(L"Veltoquenn", ReadString(HKEY_CURRENT_USER, L"Software\\Classes\\.html", nullptr));
  EXPECT_EQ(L"<none>", ReadString(HKEY_CURRENT_USER, kHtmlUserChoiceKey, L"Progid"));

  // For all users the user's choice row does not apply.
  ASSERT_TRUE(installation->SetDefaultFor(L".htm", true));
  EXPECT_EQ(L"Veltoquenn", ReadString(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.htm", nullptr));
}

TEST_F(InstallationImplTest, Windows7AllUsersInstallationAsksTheShellForTheUser) {
  WriteString(HKEY_CURRENT_USER, kHttpUserChoiceKey, L"Progid", L"OtherBrowser");
  auto installation = Make(VERSION_WIN7, MakeStatus(true, ""));
  // The shell refuses: nothing is written.
  EXPECT_FALSE(installation->SetDefaultFor(L"http", false));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\http"));
  ASSERT_EQ(1u, shell_.calls().size());
  EXPECT_EQ(L"SetAppAsDefault Velto quenn http 1", shell_.calls()[0]);

  shell_.set_app_as_default_succeeds = true;
  EXPECT_TRUE(installation->SetDefaultFor(L".html", false));
  EXPECT_EQ(L"SetAppAsDefault Velto quenn .html 0", shell_.calls()[1]);
  ASSERT_TRUE(installation->SetDefaultFor(L"http", false));
  // The shell made the user's choice; it is left alone.
  EXPECT_EQ(L"OtherBrowser", ReadString(HKEY_CURRENT_USER, kHttpUserChoiceKey, L"Progid"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\http\\shell\\open\\command"));

  // Registering for all users never asks the shell.
  shell_.ClearCalls();
  EXPECT_TRUE(installation->SetDefaultFor(L"ftp", true));
  EXPECT_TRUE(shell_.calls().empty());
}

TEST_F(InstallationImplTest, Windows8ShowsTheOpenWithDialogBeforeWriting) {
  WriteString(HKEY_CURRENT_USER, kHttpUserChoiceKey, L"Progid", L"OtherBrowser");
  auto installation = Make(VERSION_WIN8);
  EXPECT_FALSE(installation->SetDefaultFor(L"http", true));
  EXPECT_TRUE(shell_.calls().empty());

  // The dialog fails: nothing is written.
  EXPECT_FALSE(installation->SetDefaultFor(L"http", false));
  EXPECT_EQ(std::vector<std::wstring>{L"ShowOpenWithDialog http"}, shell_.calls());
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\http"));

  shell_.open_with_succeeds = true;
  shell_.ClearCalls();
  ASSERT_TRUE(installation->SetDefaultFor(L"http", false));
  EXPECT_EQ((std::vector<std::wstring>{L"ShowOpenWithDialog http", L"NotifyAssociationsChanged"}),
            shell_.calls());
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\http\\shell\\open\\command"));
  EXPECT_EQ(L"OtherBrowser", ReadString(HKEY_CURRENT_USER, kHttpUserChoiceKey, L"Progid"));
}

TEST_F(InstallationImplTest, Windows81RegisteredHandlerSkipsTheDialog) {
  RegisterUserHandler(L"http", OurCommand());
  auto installation = Make(VERSION_WIN8_1);
  ASSERT_TRUE(installation->SetDefaultFor(L"http", false));
  EXPECT_TRUE(shell_.calls().empty());
}

TEST_F(InstallationImplTest, Windows10UsesTheAssociationRegistrationOrSettings) {
  auto installation = Make(VERSION_WIN10);
  EXPECT_FALSE(installation->SetDefaultFor(L"http", true));
  EXPECT_TRUE(shell_.calls().empty());

  // Without the registration the settings page opens at the right target.
  EXPECT_FALSE(installation->SetDefaultFor(L"HTTP", false));
  shell_.settings_open = true;
  EXPECT_TRUE(installation->SetDefaultFor(L"mailto", false));
  EXPECT_TRUE(installation->SetDefaultFor(L".html", false));
  EXPECT_EQ((std::vector<std::wstring>{
                L"SetDefaultThroughAssociationRegistration Velto quenn HTTP protocol",
                L"OpenDefaultAppsSettings SystemSettings_DefaultApps_Browser",
                L"SetDefaultThroughAssociationRegistration Velto quenn mailto protocol",
                L"OpenDefaultAppsSettings SystemSettings_DefaultApps_Email",
                L"SetDefaultThroughAssociationRegistration Velto quenn .html extension",
                L"OpenDefaultAppsSettings SettingsPageAppsDefaultsProtocolView"}),
            shell_.calls());

  shell_.has_association_registration = true;
  shell_.ClearCalls();
  EXPECT_TRUE(installation->SetDefaultFor(L"ftp", false));
  EXPECT_EQ(1u, shell_.calls().size());
  // Windows 10 keeps its associations to itself: no rows are written.
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\ftp"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\mailto"));
}

TEST_F(InstallationImplTest, Windows10AlreadyRegisteredHandlerOpensNothing) {
  RegisterUserHandler(L"http", OurCommand());
  shell_.has_association_registration = true;
  EXPECT_FALSE(Make(VERSION_WIN10)->SetDefaultFor(L"http", false));
  EXPECT_TRUE(shell_.calls().empty());
}

TEST_F(InstallationImplTest, StartMenuClientPerWindowsVersion) {
  EXPECT_FALSE(Make(VERSION_WIN8)->RegisterStartMenuClient(true));
  EXPECT_FALSE(Make(VERSION_WIN10)->RegisterStartMenuClient(true));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Clients\\StartMenuInternet"));

  auto win7 = Make(VERSION_WIN7);
  ASSERT_TRUE(win7->RegisterStartMenuClient(true));
  EXPECT_EQ(L"Veltoquenn",
            ReadString(HKEY_LOCAL_MACHINE, L"Software\\Clients\\StartMenuInternet", nullptr));
  ASSERT_TRUE(win7->RegisterStartMenuClient(false));
  EXPECT_TRUE(win7->IsDefaultClient());

  ASSERT_TRUE(Make(VERSION_WIN10)->RegisterStartMenuClient(false));
  EXPECT_TRUE(shell_.calls().empty());
}

TEST_F(InstallationImplTest, StartMenuClientOfAnAllUsersInstallationOnWindows7) {
  auto installation = Make(VERSION_WIN7, MakeStatus(true, ""));
  EXPECT_FALSE(installation->RegisterStartMenuClient(false));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Clients\\StartMenuInternet"));
  shell_.set_app_as_default_succeeds = true;
  EXPECT_TRUE(installation->RegisterStartMenuClient(false));
  EXPECT_EQ((std::vector<std::wstring>{L"SetAppAsDefault Velto quenn StartmenuInternet 2",
                                       L"SetAppAsDefault Velto quenn StartmenuInternet 2"}),
            shell_.calls());
  EXPECT_EQ(L"Veltoquenn",
            ReadString(HKEY_CURRENT_USER, L"Software\\Clients\\StartMenuInternet", nullptr));
}

TEST_F(InstallationImplTest, SingleProfileIsNeverTheDefaultBrowser) {
  WritePrefs(R"({"single_profile": true})");
  EXPECT_FALSE(Make(VERSION_WIN7)->SetAsDefaultBrowser(false));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\Veltoquenn"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\http"));
}

TEST_F(InstallationImplTest, Windows7DefaultBrowserTakesEveryTarget) {
  auto installation = Make(VERSION_WIN7);
  EXPECT_TRUE(installation->SetAsDefaultBrowser(false));
  for (const wchar_t* protocol : {L"http", L"https", L"ftp"}) {
    EXPECT_TRUE(installation->IsRegisteredHandler(protocol, false)) << protocol;
  }
  for (const wchar_t* extension : {L".crx", L".htm", L".html", L".nex", L".vldownload",
                                   L".shtml", L".xht", L".xhtml"}) {
    EXPECT_EQ(L"Veltoquenn",
              ReadString(HKEY_CURRENT_USER, std::wstring(L"Software\\Classes\\") + extension,
                         nullptr))
        << extension;
  }
  EXPECT_TRUE(installation->IsDefaultClient());
}

TEST_F(InstallationImplTest, Windows8DefaultBrowserTakesHttpOnly) {
  shell_.open_with_succeeds = true;
  auto installation = Make(VERSION_WIN8);
  RegisterUserHandler(L"https", OurCommand());
  EXPECT_TRUE(installation->SetAsDefaultBrowser(false));
  EXPECT_EQ((std::vector<std::wstring>{L"ShowOpenWithDialog http", L"NotifyAssociationsChanged"}),
            shell_.calls());
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\.html"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Clients\\StartMenuInternet"));
}

TEST_F(InstallationImplTest, Windows10DefaultBrowserTakesEveryTargetThroughTheRegistration) {
  auto without = Make(VERSION_WIN10);
  EXPECT_FALSE(without->SetAsDefaultBrowser(false));
  EXPECT_EQ(2u, shell_.calls().size());  // http: registration, then settings

  shell_.has_association_registration = true;
  shell_.ClearCalls();
  EXPECT_FALSE(Make(VERSION_WIN10)->SetAsDefaultBrowser(false));
  ASSERT_EQ(11u, shell_.calls().size());
  EXPECT_EQ(L"SetDefaultThroughAssociationRegistration Velto quenn .xhtml extension",
            shell_.calls()[10]);
  EXPECT_EQ(L"Veltoquenn",
            ReadString(HKEY_CURRENT_USER, L"Software\\Clients\\StartMenuInternet", nullptr));
}

}  // namespace
}  // namespace installer
