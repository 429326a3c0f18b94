#include "desktop/windows/installer/os_operations_impl.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/test/fake_association_shell.h"
#include "desktop/windows/installer/service/test/fake_windows_version_provider.h"
#include "desktop/windows/installer/service/test/registry_test_helpers.h"
#include "desktop/windows/installer/test/fake_settings.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr wchar_t kProgIdKey[] = L"Software\\Classes\\Veltoquenn";
constexpr wchar_t kProductKey[] = L"Software\\Velto Software";
constexpr wchar_t kNotifications[] = L"BroadcastSettingChange Software\\Clients\\StartMenuInternet";

class OsOperationsImplTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = base::FilePath(base::test::ScratchFolder())
                  .Append(base::test::UniqueName(L"os_operations"));
    ASSERT_TRUE(base::CreateDirectory(folder_));
    ASSERT_TRUE(classes_root_.overridden());
    choices_.install_path = folder_;
  }

  void TearDown() override {
    base::DeletePathRecursively(folder_);
  }

  void Run(const InstallationStatus* status = nullptr) {
    InstallationImpl::Platform platform;
    platform.version = &version_;
    platform.shell = &shell_;
    OsOperationsImpl operations(platform);
    operations.SetUpDefaultBrowserWithChoices(choices_, status);
  }

  std::vector<std::wstring> Notifications() {
    return {kNotifications, L"NotifyAssociationsChanged"};
  }

  base::FilePath folder_;
  ScopedUserClassesRoot classes_root_;
  DefaultBrowserChoices choices_;
  FakeWindowsVersionProvider version_{base::win::VERSION_WIN7};
  FakeAssociationShell shell_;
};

TEST_F(OsOperationsImplTest, CopyOnlyChangesNothing) {
  choices_.copy_only = true;
  choices_.default_browser = true;
  Run();
  EXPECT_TRUE(shell_.calls().empty());
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kProgIdKey));
}

TEST_F(OsOperationsImplTest, WithoutDefaultBrowserOnlyTheUserClassesAreRegistered) {
  Run();
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kProgIdKey));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProgIdKey));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\http"));
  EXPECT_EQ(Notifications(), shell_.calls());
}

TEST_F(OsOperationsImplTest, DefaultBrowserForAllUsersRegistersMachineThenUser) {
  WriteString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\http\\shell\\open\\command", nullptr,
              L"machine.exe \"%1\"");
  WriteString(HKEY_CURRENT_USER, L"Software\\Classes\\http\\shell\\open\\command", nullptr,
              L"user.exe \"%1\"");
  choices_.default_browser = true;
  choices_.all_users = true;
  Run();
  EXPECT_EQ(L"machine.exe \"%1\"",
            ReadString(HKEY_LOCAL_MACHINE, kProductKey, L"Previous Default Browser"));
  EXPECT_EQ(L"user.exe \"%1\"",
            ReadString(HKEY_CURRENT_USER, kProductKey, L"Previous Default Browser"));
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    EXPECT_TRUE(KeyExists(root, kProgIdKey));
    EXPECT_EQ(L"Veltoquenn", ReadString(root, L"Software\\Classes\\.html", nullptr));
    EXPECT_EQ(L"Veltoquenn", ReadString(root, L"Software\\Clients\\StartMenuInternet", nullptr));
  }
  EXPECT_EQ(L"\"" + folder_.value() + L"\\launcher.exe\" -noautoupdate -- \"%1\"",
            ReadString(HKEY_CURRENT_USER, L"Software\\Classes\\http\\shell\\open\\command",
                       nullptr));
  EXPECT_EQ(Notifications(), shell_.calls());
}

TEST_F(OsOperationsImplTest, DefaultBrowserForTheUserLeavesTheMachineAlone) {
  choices_.default_browser = true;
  Run();
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\https"));
  EXPECT_EQ(Notifications(), shell_.calls());
}

TEST_F(OsOperationsImplTest, GivenStatusIsCopiedIntoTheInstallation) {
  InstallationStatus status(GENERATED);
  status.all_users = true;
  choices_.default_browser = true;
  shell_.set_app_as_default_succeeds = true;
  Run(&status);
  // A per-user registration of an all-users installation goes through the
  // shell on Windows 7; the caller's record is untouched.
  ASSERT_FALSE(shell_.calls().empty());
  EXPECT_EQ(L"SetAppAsDefault Velto quenn http 1", shell_.calls()[0]);
  EXPECT_TRUE(status.hkcu_keys.empty());
  EXPECT_EQ(GENERATED, status.source);
}

TEST_F(OsOperationsImplTest, Windows10WithoutRegistrationSkipsSilentOrSettledInstalls) {
  version_.set_version(base::win::VERSION_WIN10);
  choices_.default_browser = true;
  choices_.silent = true;
  Run();
  choices_.silent = false;
  choices_.is_http_handler = true;
  Run();
  EXPECT_TRUE(shell_.calls().empty());
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kProgIdKey));

  // An interactive install that is not yet the handler opens the settings.
  choices_.is_http_handler = false;
  shell_.settings_open = true;
  Run();
  EXPECT_EQ((std::vector<std::wstring>{
                L"SetDefaultThroughAssociationRegistration Velto quenn http protocol",
                L"OpenDefaultAppsSettings SystemSettings_DefaultApps_Browser", kNotifications,
                L"NotifyAssociationsChanged"}),
            shell_.calls());
}

TEST_F(OsOperationsImplTest, Windows10WithRegistrationRunsSilently) {
  version_.set_version(base::win::VERSION_WIN10);
  shell_.has_association_registration = true;
  choices_.default_browser = true;
  choices_.silent = true;
  Run();
  EXPECT_EQ(11u + 2u, shell_.calls().size());
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kProgIdKey));
}

}  // namespace
TEST(DefaultBrowserChoicesTest, TakenFromSettings) {
  FakeSettings settings;
  settings.Set(DEFAULT_BROWSER, true);
  settings.Set(ALL_USERS_FLAG, true);
  settings.Set(SILENT, true);
  DefaultBrowserChoices choices = DefaultBrowserChoices::FromSettings(settings);
  EXPECT_FALSE(choices.copy_only);
  EXPECT_TRUE(choices.silent);
  EXPECT_TRUE(choices.default_browser);
  EXPECT_TRUE(choices.all_users);
  // No folder analysis yet: the settings' own path, and no handler.
  EXPECT_EQ(settings.install_path, choices.install_path);
  EXPECT_FALSE(choices.is_http_handler);

  settings.Set(COPY_ONLY, true);
  settings.Set(DEFAULT_BROWSER, false);
  choices = DefaultBrowserChoices::FromSettings(settings);
  EXPECT_TRUE(choices.copy_only);
  EXPECT_FALSE(choices.default_browser);
}

}  // namespace installer
