#include "desktop/windows/installer/service/association_shell_impl.h"

#include <windows.h>

#include <shlwapi.h>

#include <memory>

#include "base/files/file_path.h"
#include "base/test/test_environment.h"
#include "base/win/registry.h"
#include "base/win/scoped_com_initializer.h"
#include "desktop/windows/installer/service/folder_installation.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/test/fake_windows_version_provider.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// The association registration refuses an application that registered
// nothing (and Wine implements neither call): every answer is a failure.
TEST(AssociationShellImplTest, UnregisteredApplicationIsRefused) {
  base::win::ScopedCOMInitializer com;
  AssociationShell* shell = AssociationShellImpl::GetInstance();
  EXPECT_EQ(shell, AssociationShellImpl::GetInstance());
  bool is_default = true;
  EXPECT_FALSE(shell->QueryAppIsDefault(L"StartmenuInternet", AT_STARTMENUCLIENT,
                                        L"Velto quenn", &is_default));
  EXPECT_TRUE(is_default);
  EXPECT_FALSE(shell->SetAppAsDefault(L"Velto quenn", L"http", AT_URLPROTOCOL));
}

// The installation model turns those refusals into false without writing.
TEST(AssociationShellImplTest, AllUsersInstallationFailsWhereTheShellRefuses) {
  base::win::ScopedCOMInitializer com;
  FakeWindowsVersionProvider win7(base::win::VERSION_WIN7);
  InstallationImpl::Platform platform = InstallationImpl::Platform::Real();
  platform.version = &win7;
  auto status = std::make_unique<InstallationStatus>(GENERATED);
  status->all_users = true;
  FolderInstallation installation(
      base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"shell")),
      std::move(status), platform);
  EXPECT_FALSE(installation.IsDefaultClient());
  EXPECT_FALSE(installation.SetDefaultFor(L"http", false));
  EXPECT_FALSE(installation.RegisterStartMenuClient(false));
  base::win::RegKey key;
  EXPECT_NE(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, L"Software\\Classes\\http", KEY_READ));
  EXPECT_NE(ERROR_SUCCESS,
            key.Open(HKEY_CURRENT_USER, L"Software\\Clients\\StartMenuInternet", KEY_READ));
}

}  // namespace
}  // namespace installer
