// Elevation paths of Installer, through the privileges seam: the "elevated"
// copy, the package's installer and the component installers are the fake
// back end, which follows a script and records what it was given. A fake that
// stands for a successful installer reports its success ("report-success").
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
#include "desktop/windows/installer/service/json_installation_status_writer.h"
#include "desktop/windows/installer/service/protected_folder.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/test/fake_privileges.h"
#include "desktop/windows/installer/service/test/kernel_object_test_util.h"
#include "desktop/windows/installer/steps/cleanup_after_uninstall_step.h"
#include "desktop/windows/installer/steps/installer_step.h"
#include "desktop/windows/installer/test/installer_test_support.h"
#include "gtest/gtest.h"
#include "product_config/product_config.h"
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
  // The fake processes end by themselves; this only bounds a faulty one.
  static constexpr DWORD kChildWaitMs = 60 * 1000;

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
  void TearDown() override {
    // A permission helper or a component installer that the run started
    // without waiting for it ends before the next test.
    EXPECT_TRUE(EndChildProcesses(kChildWaitMs));
    base::PathService::RemoveOverride(base::DIR_EXE);
  }

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
  Script(elevated_, "record-command-line\nreport-success\nexit 0\n");
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
  Script(elevated_, "report-success\nexit 0\n");
  Script(package_, "record-command-line\nreport-success\nexit 0\n");
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
  Script(elevated_, "report-success\nexit 0\n");
  Script(package_, "record-command-line\nreport-success\nexit 0\n");
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
  Script(elevated_, "report-success\nexit 0\n");
  Script(package_, "exit 1\n");
  base::win::ScopedHandle ready = CreatePackageReadyEvent();
  observer_.late_event = ready.Get();
  EXPECT_FALSE(Run());
  EXPECT_EQ(1, observer_.ends);
  EXPECT_EQ((std::vector<std::string>{
                "Error(0,,Installer process did not complete successfully.)"}),
            observer_.Errors());
}

// An elevated installer runs nothing from the user's package folder and
// copies nothing out of it unless it took the package into a folder of its
// own first (ProtectedPackage's tests take packages). The token decides, not
// the switches: one elevated from the start (run as administrator, by an
// administrator without UAC, as the system) has no "--run-elevated", and a
// folder its command line names is no more its own.
TEST_F(InstallerElevationTest, ElevatedRunRunsNothingFromAPackageFolderItCannotTake) {
  privileges_.elevated = true;
  command_line_.AppendSwitchPath(switches::kWaitForPackage, package_);
  Script(package_, "record-command-line\nreport-success\nexit 0\n");
  base::win::ScopedHandle ready = CreatePackageReadyEvent();
  ::SetEvent(ready.Get());
  EXPECT_FALSE(Run());
  EXPECT_EQ((std::vector<std::string>{
                "Error(0,,The package could not be verified for the elevated installation.)"}),
            observer_.Errors());
  EXPECT_EQ(1, observer_.ends);
  EXPECT_EQ("", Result(package_));
}

TEST_F(InstallerElevationTest, ElevatedRunInstallsNothingFromItsOwnFolderItCannotTake) {
  privileges_.elevated = true;
  bool steps_built = false;
  environment_.step_list_builder = base::BindRepeating(
      [](bool* built, InstallationOperation, const InstallerStepListInput&) {
        *built = true;
        return InstallerStepList();
      },
      &steps_built);
  EXPECT_FALSE(Run());
  EXPECT_FALSE(steps_built);
  EXPECT_EQ((std::vector<std::string>{
                "Error(0,,The package could not be verified for the elevated installation.)"}),
            observer_.Errors());
  // No version folder was made for files to be copied into.
  EXPECT_FALSE(base::PathExists(install_.AppendASCII(GetVersion())));
}

// A package fetched into a protected folder that the front end made is run
// from there as it is, and the folder handed on to its installer: it is
// fetched and unpacked once.
TEST_F(InstallerElevationTest, ElevatedBackEndRunsThePackageOfAProtectedFolderAsItIs) {
  privileges_.elevated = true;
  std::string error;
  std::unique_ptr<ProtectedFolder> fetched = ProtectedFolder::Create(root_, &error);
  ASSERT_TRUE(fetched) << error;
  const base::FilePath package = fetched->path().Append(L"velto_package.exe_20240101101010");
  ASSERT_TRUE(base::CreateDirectory(package));
  ASSERT_TRUE(base::CopyFile(fake_, package.Append(L"installer.exe")));
  Script(package, "record-command-line\nreport-success\nexit 0\n");
  command_line_.AppendSwitchPath(switches::kWaitForPackage, package);
  base::win::ScopedHandle ready = CreatePackageReadyEvent();
  ::SetEvent(ready.Get());
  EXPECT_TRUE(Run());
  EXPECT_NE(std::string::npos, Result(package).find("--protected-folder=")) << Result(package);
}

// A standard user's all-users install whose elevated copy, started through
// the privileges seam, is the real installer.exe. Run by the end-to-end suite
// (tests/e2e/test_elevated_side.py), which lays out the user's package folder
// as the fetcher leaves it, changes it, checks what was installed and takes
// away what the install put on the machine: the elevated copy is a process of
// its own, outside this test's scratch registry and folders.
std::wstring EnvironmentVariable(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH);
  return length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

TEST(ElevatedInstallThroughTheSeamTest, HandsTheInstallToTheRealElevatedCopy) {
  const std::wstring installer = EnvironmentVariable(L"VELTO_ELEVATED_INSTALLER");
  const std::wstring package = EnvironmentVariable(L"VELTO_USER_PACKAGE");
  const std::wstring install = EnvironmentVariable(L"VELTO_ALL_USERS_FOLDER");
  if (installer.empty() || package.empty() || install.empty())
    GTEST_SKIP() << "run by tests/e2e/test_elevated_side.py";
  base::ShadowingAtExitManager at_exit;
  base::MessageLoop loop;
  FakePrivileges privileges;
  privileges.elevated_administrator = false;
  privileges.elevated_program = base::FilePath(installer);
  base::CommandLine command_line(base::CommandLine::NO_PROGRAM);
  command_line.AppendSwitchNative(switches::kWaitForPackage, package);
  InstallerEnvironment environment;
  environment.privileges = &privileges;
  environment.command_line = &command_line;
  InstallerTestSettings settings;
  settings.Analyse(base::FilePath(install), false);
  settings.Set(ALL_USERS_FLAG, true);
  // What the settings of a quiet all-users install write.
  settings.written_switches = {
      {"backend", L""}, {"install", L""}, {"allusers", L"1"}, {"installfolder", install},
      {"initial-pid", std::to_wstring(::GetCurrentProcessId())}, {"launchvelto", L"0"},
      {"desktopshortcut", L"0"}, {"startmenushortcut", L"0"}, {"quicklaunchshortcut", L"0"},
      {"pintotaskbar", L"0"}, {"setdefaultbrowser", L"0"}, {"enable-installer-stats", L"0"},
      {"v", L"2"}};
  // The fetcher has the package.
  base::win::ScopedHandle ready(::CreateEventW(
      nullptr, TRUE, TRUE,
      GetKernelObjectName(install, kernel_objects::kPackageReadyEvent, true).c_str()));
  ASSERT_TRUE(ready.IsValid());
  Installer run(std::make_unique<NullOsOperations>(), environment);
  RunEndObserver observer;
  RunInstallerToEnd(&run, &settings, &observer);
  EXPECT_TRUE(run.succeeded()) << (observer.Errors().empty() ? "" : observer.Errors()[0]);
  EXPECT_EQ(1u, privileges.elevated_launches.size());
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

// The helper runs elevated, possibly as another administrator account
// (over-the-shoulder elevation): the events let the Administrators in, and
// nobody but them, the user and the system.
TEST_F(FolderPermissionTest, PermissionEventsLetInTheAdministrators) {
  const std::wstring release_name = L"Local\\" + base::test::UniqueName(L"helper-release");
  base::win::ScopedHandle release(::CreateEventW(nullptr, TRUE, FALSE, release_name.c_str()));
  ASSERT_TRUE(release.IsValid());
  const std::string granted = EventName(kernel_objects::kGiveInstallPermissionEvent);
  const std::string undo = EventName(kernel_objects::kGiveInstallPermissionUndoEvent);
  Script(elevated_, "hold-event " + granted + "\nhold-event " + undo + "\nset-event " + granted +
                        "\nwait-event " + base::WideToUTF8(release_name) + "\nexit 0\n");
  EXPECT_FALSE(Run());
  ASSERT_EQ(1u, privileges_.elevated_launches.size());
  for (const std::string& name : {granted, undo}) {
    base::win::ScopedHandle event(
        ::OpenEventW(READ_CONTROL, FALSE, base::UTF8ToWide(name).c_str()));
    ASSERT_TRUE(event.IsValid()) << name;
    EXPECT_EQ(test::ExpectedAccessList(), test::AccessListOf(event.Get(), EVENT_ALL_ACCESS))
        << name;
  }
  ::SetEvent(release.Get());
}

// Another account that made the helper's event first, set, cannot make the
// installer take a grant that never happened.
TEST_F(FolderPermissionTest, PermissionEventMadeByAnotherAccountIsRefused) {
  base::win::ScopedHandle foreign = test::CreateForeignEvent(
      base::UTF8ToWide(EventName(kernel_objects::kGiveInstallPermissionEvent)), true);
  ASSERT_TRUE(foreign.IsValid());
  Script(elevated_, "exit 0\n");
  EXPECT_FALSE(Run());
  EXPECT_TRUE(privileges_.elevated_launches.empty());
  EXPECT_EQ((std::vector<std::string>{
                "Error(0,,Error when setting up the process to give us write permissions to "
                "installation folder)"}),
            observer_.Errors());
}

// A standard user's uninstallation of an installation whose folder he may
// not write: the helper that the privileges seam starts is the real
// installer.exe of that installation, and finishes the uninstallation once
// this process (the uninstaller) has ended. Run by the end-to-end suite
// (tests/e2e/test_elevated_side.py), which lays out the installation, and
// checks once the helper has ended that no program of it is left.
TEST(UninstallThroughTheSeamTest, HandsTheCleanUpToTheInstallationsOwnHelper) {
  const std::wstring install = EnvironmentVariable(L"VELTO_UNINSTALL_FOLDER");
  const std::wstring helper_temp = EnvironmentVariable(L"VELTO_HELPER_TEMP");
  if (install.empty() || helper_temp.empty())
    GTEST_SKIP() << "run by tests/e2e/test_elevated_side.py";
  // The helper outlives this test's scratch folders: it logs where the
  // suite reads the logs.
  ::SetEnvironmentVariableW(L"TEMP", helper_temp.c_str());
  ::SetEnvironmentVariableW(L"TMP", helper_temp.c_str());
  // The user may write the folder once the helper has started (granted).
  class GrantingPrivileges : public FakePrivileges {
   public:
    bool CheckFileAccess(const base::FilePath& path, ACCESS_MASK access) override {
      return !elevated_launches.empty();
    }
  };
  base::ShadowingAtExitManager at_exit;
  base::MessageLoop loop;
  GrantingPrivileges privileges;
  privileges.elevated_administrator = false;
  privileges.administrator = false;
  privileges.grant_succeeds = false;
  privileges.elevated_program = base::FilePath(install).Append(L"installer.exe");
  base::CommandLine command_line(base::CommandLine::NO_PROGRAM);
  InstallerEnvironment environment;
  environment.privileges = &privileges;
  environment.command_line = &command_line;
  environment.step_list_builder = base::BindRepeating(
      [](InstallationOperation, const InstallerStepListInput& input) {
        InstallerStepList steps;
        steps.push_back(std::make_unique<CleanupAfterUninstallStep>(input.host));
        return steps;
      });
  InstallerTestSettings settings;
  settings.Analyse(base::FilePath(install), true);
  Installer run(std::make_unique<NullOsOperations>(), environment);
  RunEndObserver observer;
  RunInstallerToEnd(&run, &settings, &observer);
  EXPECT_TRUE(run.succeeded()) << (observer.Errors().empty() ? "" : observer.Errors()[0]);
  ASSERT_EQ(1u, privileges.elevated_launches.size());
  EXPECT_NE(std::wstring::npos, privileges.elevated_launches[0].find(L"--run-uninstall-bat"));
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

// Wine gives exit code 0 to a process killed by a signal: an installer that
// ends with 0 but never reported success did not succeed.
TEST_F(InstallerElevationTest, ElevatedCopyEndingWithZeroWithoutReportingSuccessFails) {
  privileges_.elevated_administrator = false;
  settings_.Set(ALL_USERS_FLAG, true);
  Script(elevated_, "exit 0\n");
  EXPECT_FALSE(Run());
  EXPECT_EQ(1, observer_.ends);
  EXPECT_EQ((std::vector<std::string>{
                "Error(0,,Installer process did not complete successfully.)"}),
            observer_.Errors());
}

TEST_F(InstallerElevationTest, PackageInstallerEndingWithZeroWithoutReportingSuccessFails) {
  command_line_.AppendSwitchPath(switches::kWaitForPackage, package_);
  Script(package_, "exit 0\n");
  base::win::ScopedHandle ready = CreatePackageReadyEvent();
  ::SetEvent(ready.Get());
  EXPECT_FALSE(Run());
  EXPECT_EQ(1, observer_.ends);
  EXPECT_EQ((std::vector<std::string>{
                "Error(0,,Installer process did not complete successfully.)"}),
            observer_.Errors());
}

TEST_F(InstallerElevationTest, InterruptWhileWaitingForThePackageCancelsWithoutStartingIt) {
  command_line_.AppendSwitchPath(switches::kWaitForPackage, package_);
  Script(package_, "record-command-line\nreport-success\nexit 0\n");
  base::win::ScopedHandle ready = CreatePackageReadyEvent();
  base::win::ScopedHandle interrupted = CreateInterruptedEvent(install_);
  // The front end gives up once the run waits for the package ("Run" is
  // posted by the start, before this).
  base::MessageLoop::current()->task_runner()->PostTask(
      FROM_HERE, base::BindOnce([](HANDLE event) { ::SetEvent(event); }, interrupted.Get()));
  EXPECT_FALSE(Run());
  EXPECT_EQ(1, observer_.ends);
  EXPECT_TRUE(observer_.Errors().empty());
  EXPECT_EQ("Terminated(0)", observer_.calls.back());
  // A package that comes after the end starts nothing.
  ::SetEvent(ready.Get());
  base::RunLoop().RunUntilIdle();
  EXPECT_EQ("", Result(package_));
  EXPECT_FALSE(base::PathExists(install_));
}

// The tasks that run in the user's own context after an elevated installer
// did the work: components started again, default browser, profile.
class PostElevationTest : public InstallerElevationTest {
 protected:
  void SetUp() override {
    InstallerElevationTest::SetUp();
    known_folders_ = std::make_unique<ScopedKnownFolders>(root_.Append(L"known"));
  }
  void TearDown() override {
    InstallerElevationTest::TearDown();
    known_folders_.reset();
  }

  // Writes the status of an installation of |subfolder| with |components|,
  // its preferences, and, when |partner_files|, the partner files of that
  // version.
  void PlaceInstallation(const std::wstring& subfolder,
                         std::vector<InstallationStatus::Component> components,
                         bool partner_files) {
    InstallationStatus status(PRIMARY);
    status.version = base::WideToUTF8(subfolder);
    status.subfolder = subfolder;
    status.app_id = "1500000000";
    status.path = install_.value();
    status.components = std::move(components);
    const base::FilePath resources = install_.Append(subfolder).Append(L"resources");
    ASSERT_TRUE(base::CreateDirectory(resources));
    ASSERT_TRUE(WriteInstallationStatusFile(status, install_.Append(kInstallationStatusFileName)));
    ASSERT_TRUE(base::WriteFile(install_.Append(L"installer_prefs.json"), "{}"));
    if (partner_files) {
      ASSERT_TRUE(base::WriteFile(resources.Append(L"custom_partner_content.json"), "{\"new\":1}"));
      ASSERT_TRUE(base::WriteFile(resources.Append(L"tracking_user_agent.json"), "{\"new\":1}"));
    }
  }

  // The profile of the analysed installation, holding the user's partner
  // files.
  base::FilePath PlaceProfile() {
    base::FilePath profile = settings_.GetFolderDetails()->GetProfilePath();
    EXPECT_FALSE(profile.empty());
    EXPECT_TRUE(base::CreateDirectory(profile));
    EXPECT_TRUE(base::WriteFile(profile.Append(L"Local State"), "{}"));
    EXPECT_TRUE(base::WriteFile(profile.Append(L"custom_partner_content.json"), "{\"user\":1}"));
    EXPECT_TRUE(base::WriteFile(profile.Append(L"tracking_user_agent.json"), "{\"user\":1}"));
    return profile;
  }

  // A "suite" component folder holding only the pomrel installer, a fake
  // that records its command line.
  base::FilePath PlaceSuiteComponent() {
    base::FilePath suite = install_.Append(L"suite");
    EXPECT_TRUE(base::CreateDirectory(suite));
    EXPECT_TRUE(base::CopyFile(fake_, suite.Append(L"pomrel_installer.exe")));
    Script(suite, "record-command-line\nexit 0\n");
    return suite;
  }

  // What a component installer that the run started without waiting for
  // it recorded, once it has ended.
  std::string AwaitResult(const base::FilePath& folder) {
    EXPECT_TRUE(EndChildProcesses(kChildWaitMs));
    return Result(folder);
  }

  std::unique_ptr<ScopedKnownFolders> known_folders_;
};

TEST_F(PostElevationTest, ElevatedUpgradeKeepsTheUsersPartnerFilesAndStartsTheNewComponents) {
  PlaceInstallation(L"46.0.0.1", {}, false);
  settings_.Analyse(install_, false);
  ASSERT_EQ(UPGRADING, settings_.operation);
  const base::FilePath profile = PlaceProfile();
  // What the elevated copy leaves: the new version with its partner files
  // and a component, recorded after this process analysed the folder.
  const base::FilePath suite = PlaceSuiteComponent();
  PlaceInstallation(L"47.0.0.2", {{"suite", suite.value()}}, true);
  privileges_.elevated_administrator = false;
  settings_.Set(ALL_USERS_FLAG, true);
  Script(elevated_, "report-success\nexit 0\n");
  EXPECT_TRUE(Run());
  EXPECT_TRUE(base::PathExists(profile.Append(L"custom_partner_content.json")));
  EXPECT_TRUE(base::PathExists(profile.Append(L"tracking_user_agent.json")));
  const std::string component = AwaitResult(suite);
  EXPECT_NE(std::string::npos, component.find("--post-elevated-install-tasks")) << component;
  EXPECT_NE(std::string::npos, component.find("--installfolder=")) << component;
}

TEST_F(PostElevationTest, PackageInstallerAfterElevationKeepsTheUsersPartnerFiles) {
  // The package's installer started with post-elevated-install-tasks finds
  // the installation the elevated copy made.
  const base::FilePath suite = PlaceSuiteComponent();
  PlaceInstallation(L"47.0.0.2", {{"suite", suite.value()}}, true);
  settings_.Analyse(install_, false);
  const base::FilePath profile = PlaceProfile();
  command_line_.AppendSwitch(switches::kPostElevatedInstallTasks);
  EXPECT_TRUE(Run());
  EXPECT_TRUE(base::PathExists(profile.Append(L"custom_partner_content.json")));
  EXPECT_TRUE(base::PathExists(profile.Append(L"tracking_user_agent.json")));
  EXPECT_NE(std::string::npos, AwaitResult(suite).find("--post-elevated-install-tasks"));
}

}  // namespace
}  // namespace installer
