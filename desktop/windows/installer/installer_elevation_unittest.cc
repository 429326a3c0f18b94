// Elevation paths of Installer, through the privileges seam: the "elevated"
// copy and the package's installer are the fake back end, which follows a
// script and records what it was given.
#include <aclapi.h>

#include <memory>
#include <string>
#include <vector>

#include "base/at_exit.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/message_loop/message_loop.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/test_environment.h"
#include "desktop/windows/installer/installer.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/os_operations.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/test/fake_privileges.h"
#include "desktop/windows/installer/steps/installer_step.h"
#include "desktop/windows/installer/test/installer_test_support.h"
#include "gtest/gtest.h"
#include "desktop/windows/installer/installer_kernel_objects.h"

namespace installer {
namespace {

class NullOsOperations : public OsOperations {
 public:
  void SetUpDefaultBrowser(const Settings& settings, const InstallationStatus* status) override {}
};

// Sets the package-ready event once the elevated copy has returned, that is
// after the installer started waiting for the package.
class LatePackageObserver : public RunEndObserver {
 public:
  void OnReturnedToPreviousMainProcess() override {
    RunEndObserver::OnReturnedToPreviousMainProcess();
    if (late_event && !set_once) {
      set_once = true;
      HANDLE event = late_event;
      base::MessageLoop::current()->task_runner()->PostTask(
          FROM_HERE, base::BindOnce([](HANDLE event) { ::SetEvent(event); }, event));
    }
  }
  HANDLE late_event = nullptr;
  bool set_once = false;
};

class InstallerElevationTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"elev"));
    install_ = root_.Append(L"Velto");
    base::FilePath exe_folder;
    base::PathService::Get(base::DIR_EXE, &exe_folder);
    fake_ = exe_folder.DirName().Append(L"fixtures\\backend\\fixture_fake_backend.exe");
    elevated_ = MakeFakeFolder(L"elevated");
    package_ = MakeFakeFolder(L"package");
    ASSERT_TRUE(base::WriteFile(package_.Append(L"files_list"), "a.txt\n"));
    base::PathService::Override(base::DIR_EXE, package_);
    privileges_.elevated_program = elevated_.Append(L"installer.exe");
    environment_.privileges = &privileges_;
    environment_.command_line = &command_line_;
    environment_.step_retry_delay = base::TimeDelta();
    environment_.step_list_builder =
        base::BindRepeating([](InstallationOperation, const InstallerStepListInput&) {
          return InstallerStepList();
        });
    settings_.Analyse(install_, false);
  }
  void TearDown() override { base::PathService::RemoveOverride(base::DIR_EXE); }

  base::FilePath MakeFakeFolder(const std::wstring& name) {
    base::FilePath folder = root_.Append(name);
    EXPECT_TRUE(base::CreateDirectory(folder));
    EXPECT_TRUE(base::CopyFile(fake_, folder.Append(L"installer.exe")));
    return folder;
  }

  void Script(const base::FilePath& folder, const std::string& script) {
    ASSERT_TRUE(base::WriteFile(folder.Append(L"script.txt"), script));
  }

  std::string Result(const base::FilePath& folder) {
    std::string result;
    base::ReadFileToString(folder.Append(L"result.txt"), &result);
    return result;
  }

  bool Run() {
    Installer installer(std::make_unique<NullOsOperations>(), environment_);
    RunInstallerToEnd(&installer, &settings_, &observer_);
    return installer.succeeded();
  }

  base::win::ScopedHandle CreatePackageReadyEvent() {
    return base::win::ScopedHandle(::CreateEventW(
        nullptr, TRUE, FALSE,
        GetKernelObjectName(install_.value(), kernel_objects::kPackageReadyEvent, true).c_str()));
  }

  base::ShadowingAtExitManager at_exit_;
  base::MessageLoop loop_;
  base::FilePath root_;
  base::FilePath install_;
  base::FilePath fake_;
  base::FilePath elevated_;
  base::FilePath package_;
  FakePrivileges privileges_;
  base::CommandLine command_line_{base::CommandLine::NO_PROGRAM};
  InstallerEnvironment environment_;
  InstallerTestSettings settings_;
  LatePackageObserver observer_;
};

TEST_F(InstallerElevationTest, ElevatedCopySucceedingEndsTheRunOnce) {
  privileges_.elevated_administrator = false;
  settings_.Set(ALL_USERS_FLAG, true);
  Script(elevated_, "record-command-line\nexit 0\n");
  EXPECT_TRUE(Run());
  EXPECT_EQ((std::vector<std::string>{"StartingNewMainProcess(0)",
                                      "ReturnedToPreviousMainProcess", "Success"}),
            observer_.calls);
  EXPECT_EQ(1, observer_.ends);
  std::string command_line = Result(elevated_);
  EXPECT_NE(std::string::npos, command_line.find("--run-elevated"));
  EXPECT_NE(std::string::npos, command_line.find("--parent-pid="));
}

TEST_F(InstallerElevationTest, ElevatedCopyFailingFailsTheRun) {
  privileges_.elevated_administrator = false;
  settings_.Set(ALL_USERS_FLAG, true);
  Script(elevated_, "exit 1\n");
  EXPECT_FALSE(Run());
  EXPECT_EQ((std::vector<std::string>{
                "Error(0,,Installer process did not complete successfully.)"}),
            observer_.Errors());
  EXPECT_EQ(1, observer_.ends);
}

TEST_F(InstallerElevationTest, AlreadyElevatedProcessDoesNotElevateAgain) {
  privileges_.elevated_administrator = false;
  settings_.Set(ALL_USERS_FLAG, true);
  command_line_.AppendSwitch(switches::kRunElevated);
  EXPECT_FALSE(Run());
  EXPECT_TRUE(privileges_.elevated_launches.empty());
  EXPECT_EQ((std::vector<std::string>{"Error(6,,Elevated installation failed.)"}),
            observer_.Errors());
}

TEST_F(InstallerElevationTest, PackageReadyBeforeTheWaitRunsThePackageOnce) {
  privileges_.elevated_administrator = false;
  settings_.Set(ALL_USERS_FLAG, true);
  command_line_.AppendSwitchPath(switches::kWaitForPackage, package_);
  Script(elevated_, "exit 0\n");
  Script(package_, "record-command-line\nexit 0\n");
  base::win::ScopedHandle ready = CreatePackageReadyEvent();
  ::SetEvent(ready.Get());
  EXPECT_TRUE(Run());
  EXPECT_EQ(1, observer_.ends);
  // Two hand-overs (the elevated copy, the package's installer), one end.
  EXPECT_EQ((std::vector<std::string>{"StartingNewMainProcess(0)",
                                      "ReturnedToPreviousMainProcess",
                                      "StartingNewMainProcess(0)",
                                      "ReturnedToPreviousMainProcess", "Success"}),
            observer_.calls);
  std::string command_line = Result(package_);
  EXPECT_NE(std::string::npos, command_line.find("--post-elevated-install-tasks"));
  // The package's installer joins this process's crash reporter.
  EXPECT_NE(std::string::npos, command_line.find("--crash-reporter-pid="));
}

TEST_F(InstallerElevationTest, PackageReadyAfterTheWaitRunsThePackageOnce) {
  privileges_.elevated_administrator = false;
  settings_.Set(ALL_USERS_FLAG, true);
  command_line_.AppendSwitchPath(switches::kWaitForPackage, package_);
  Script(elevated_, "exit 0\n");
  Script(package_, "record-command-line\nexit 0\n");
  base::win::ScopedHandle ready = CreatePackageReadyEvent();
  observer_.late_event = ready.Get();
  EXPECT_TRUE(Run());
  EXPECT_EQ(1, observer_.ends);
  EXPECT_EQ((std::vector<std::string>{"StartingNewMainProcess(0)",
                                      "ReturnedToPreviousMainProcess",
                                      "StartingNewMainProcess(0)",
                                      "ReturnedToPreviousMainProcess", "Success"}),
            observer_.calls);
  // The package's installer ran, in the user's context after elevation.
  EXPECT_NE(std::string::npos, Result(package_).find("--post-elevated-install-tasks"));
}

TEST_F(InstallerElevationTest, PackageInstallerFailingFailsTheRunOnce) {
  privileges_.elevated_administrator = false;
  settings_.Set(ALL_USERS_FLAG, true);
  command_line_.AppendSwitchPath(switches::kWaitForPackage, package_);
  Script(elevated_, "exit 0\n");
  Script(package_, "exit 1\n");
  base::win::ScopedHandle ready = CreatePackageReadyEvent();
  observer_.late_event = ready.Get();
  EXPECT_FALSE(Run());
  EXPECT_EQ(1, observer_.ends);
  EXPECT_EQ((std::vector<std::string>{
                "Error(0,,Installer process did not complete successfully.)"}),
            observer_.Errors());
}

// A standard user whose folder needs rights the installer cannot grant itself.
class FolderPermissionTest : public InstallerElevationTest {
 protected:
  void SetUp() override {
    InstallerElevationTest::SetUp();
    privileges_.elevated_administrator = false;
    privileges_.administrator = false;
    privileges_.file_access = false;
    privileges_.grant_succeeds = false;
  }

  std::string EventName(const wchar_t* base_name) {
    return base::WideToUTF8(GetKernelObjectName(install_.value(), base_name, false));
  }
};

TEST_F(FolderPermissionTest, UacOffStandardUserIsRefusedWithoutAPrompt) {
  privileges_.uac_enabled = false;
  EXPECT_FALSE(Run());
  EXPECT_TRUE(privileges_.elevated_launches.empty());
  EXPECT_EQ((std::vector<std::string>{
                "Error(6,,Failed to elevate the process to give us write permissions to "
                "installation folder)"}),
            observer_.Errors());
}

TEST_F(InstallerElevationTest, UacOffStandardUserIsNotElevatedForAllUsers) {
  privileges_.elevated_administrator = false;
  privileges_.administrator = false;
  privileges_.uac_enabled = false;
  settings_.Set(ALL_USERS_FLAG, true);
  EXPECT_FALSE(Run());
  EXPECT_TRUE(privileges_.elevated_launches.empty());
  EXPECT_EQ((std::vector<std::string>{"Error(6,,Elevated installation failed.)"}),
            observer_.Errors());
}

TEST_F(FolderPermissionTest, HelperEndingWithoutGrantingFailsTheRun) {
  Script(elevated_, "exit 0\n");
  EXPECT_FALSE(Run());
  ASSERT_EQ(1u, privileges_.elevated_launches.size());
  EXPECT_EQ((std::vector<std::string>{
                "Error(0,,The process for giving us write permission to the installer folder "
                "didn't complete successfully)"}),
            observer_.Errors());
}

TEST_F(FolderPermissionTest, GrantIsAskedForTheUserAndTakenBackWhenTheRunEnds) {
  std::wstring finished_name = L"Local\\" + base::test::UniqueName(L"helper-finished");
  base::win::ScopedHandle finished(::CreateEventW(nullptr, TRUE, FALSE, finished_name.c_str()));
  ASSERT_TRUE(finished.IsValid());
  // The run may end and close the undo event before the helper would open
  // it, so the helper holds it from the start.
  Script(elevated_, "record-command-line\nhold-event " +
                        EventName(kernel_objects::kGiveInstallPermissionUndoEvent) +
                        "\nset-event " + EventName(kernel_objects::kGiveInstallPermissionEvent) +
                        "\nwait-event " +
                        EventName(kernel_objects::kGiveInstallPermissionUndoEvent) +
                        "\nset-event " + base::WideToUTF8(finished_name) + "\nexit 0\n");
  EXPECT_FALSE(Run());
  // The helper granted; the fake user still has no access, so the run checks
  // again and fails, and its end releases the temporary grant.
  EXPECT_EQ((std::vector<std::string>{
                "Error(5,,No write access to installation folder after attempting to get it "
                "via elevated process)"}),
            observer_.Errors());
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(finished.Get(), 90 * 1000));
  std::string result = Result(elevated_);
  SCOPED_TRACE(result);
  EXPECT_NE(std::string::npos, result.find("event"));
  size_t folder_switch = result.find("--set-folder-permission=");
  ASSERT_NE(std::string::npos, folder_switch);
  EXPECT_NE(std::string::npos, result.find(base::WideToUTF8(install_.value()), folder_switch));
  EXPECT_NE(std::string::npos, result.find("--permissions-for-user="));
  EXPECT_NE(std::string::npos, result.find("--crash-reporter-pid="));
  EXPECT_NE(std::string::npos, result.find("--initial-pid"));
  EXPECT_EQ(std::string::npos, result.find("--permanent-permissions"));
  EXPECT_EQ(std::string::npos, result.find("--run-uninstall-bat"));
}

TEST(InstallerFixEventAclTest, GivesAdministratorsFullAccess) {
  base::win::ScopedHandle event(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
  ASSERT_TRUE(event.IsValid());
  ASSERT_TRUE(Installer::FixEventACL(event.Get()));
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
            ::GetSecurityInfo(event.Get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &descriptor));
  SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  ASSERT_TRUE(::AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                         DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                         &administrators));
  bool granted = false;
  for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!::GetAce(dacl, i, &ace))
      continue;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    if (allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
        ::EqualSid(&allowed->SidStart, administrators) &&
        (allowed->Mask == GENERIC_ALL ||
         (allowed->Mask & EVENT_ALL_ACCESS) == EVENT_ALL_ACCESS)) {
      granted = true;
    }
  }
  ::FreeSid(administrators);
  ::LocalFree(descriptor);
  EXPECT_TRUE(granted);
}

// A fake that does not end until the test releases it; the wait limits of
// the run are short, so the run ends first.
class InstallerWaitLimitTest : public InstallerElevationTest {
 protected:
  void SetUp() override {
    InstallerElevationTest::SetUp();
    environment_.package_wait_limit = base::TimeDelta::FromMilliseconds(200);
    environment_.installer_process_wait_limit = base::TimeDelta::FromMilliseconds(200);
    release_name_ = base::test::UniqueName(L"Local\\release");
    release_.Set(::CreateEventW(nullptr, TRUE, FALSE, release_name_.c_str()));
  }
  void TearDown() override {
    ::SetEvent(release_.Get());
    InstallerElevationTest::TearDown();
  }

  // A script that waits (at most 60 s) for the release, then exits with 0.
  std::string WaitForRelease() {
    return "wait-event " + base::WideToUTF8(release_name_) + "\nexit 0\n";
  }

  std::wstring release_name_;
  base::win::ScopedHandle release_;
};

TEST_F(InstallerWaitLimitTest, ElevatedCopyThatDoesNotEndFailsTheRunAtTheLimit) {
  privileges_.elevated_administrator = false;
  settings_.Set(ALL_USERS_FLAG, true);
  Script(elevated_, WaitForRelease());
  EXPECT_FALSE(Run());
  EXPECT_EQ(1, observer_.ends);
  EXPECT_EQ((std::vector<std::string>{
                "Error(0,,Installer process did not complete successfully.)"}),
            observer_.Errors());
  // The copy was still waiting when the run ended.
  EXPECT_EQ("", Result(elevated_));
}

TEST_F(InstallerWaitLimitTest, PackageThatNeverComesFailsTheRunAtTheLimit) {
  command_line_.AppendSwitchPath(switches::kWaitForPackage, package_);
  Script(package_, "record-command-line\nexit 0\n");
  base::win::ScopedHandle ready = CreatePackageReadyEvent();
  EXPECT_FALSE(Run());
  EXPECT_EQ(1, observer_.ends);
  EXPECT_EQ((std::vector<std::string>{"Error(0,,Timed out waiting for the package)"}),
            observer_.Errors());
  // The package's installer was never started, not even when the event
  // comes after the run.
  ::SetEvent(ready.Get());
  base::RunLoop().RunUntilIdle();
  EXPECT_EQ("", Result(package_));
}

TEST_F(InstallerWaitLimitTest, PackageInTimeIsNotCutShortByTheLimit) {
  environment_.package_wait_limit = base::TimeDelta::FromSeconds(60);
  command_line_.AppendSwitchPath(switches::kWaitForPackage, package_);
  Script(package_, "exit 0\n");
  base::win::ScopedHandle ready = CreatePackageReadyEvent();
  // Ready once the run is waiting ("Run" is posted by the start, before this).
  base::MessageLoop::current()->task_runner()->PostDelayedTask(
      FROM_HERE, base::BindOnce([](HANDLE event) { ::SetEvent(event); }, ready.Get()),
      base::TimeDelta::FromMilliseconds(300));
  EXPECT_TRUE(Run());
  EXPECT_EQ(1, observer_.ends);
  EXPECT_TRUE(observer_.Errors().empty());
}

TEST_F(InstallerWaitLimitTest, PackageInstallerThatDoesNotEndFailsTheRunAtTheLimit) {
  command_line_.AppendSwitchPath(switches::kWaitForPackage, package_);
  Script(package_, WaitForRelease());
  base::win::ScopedHandle ready = CreatePackageReadyEvent();
  ::SetEvent(ready.Get());
  EXPECT_FALSE(Run());
  EXPECT_EQ(1, observer_.ends);
  EXPECT_EQ((std::vector<std::string>{
                "Error(0,,Installer process did not complete successfully.)"}),
            observer_.Errors());
  EXPECT_EQ("", Result(package_));
}

TEST_F(InstallerWaitLimitTest, PermissionHelperThatNeverGrantsFailsTheRunAtTheLimit) {
  privileges_.elevated_administrator = false;
  privileges_.administrator = false;
  privileges_.file_access = false;
  privileges_.grant_succeeds = false;
  Script(elevated_, WaitForRelease());
  EXPECT_FALSE(Run());
  EXPECT_EQ(1, observer_.ends);
  EXPECT_EQ((std::vector<std::string>{
                "Error(0,,The process for giving us write permission to the installer folder "
                "didn't complete successfully)"}),
            observer_.Errors());
  EXPECT_TRUE(privileges_.elevated_launches.size() == 1);
}

}  // namespace
}  // namespace installer
