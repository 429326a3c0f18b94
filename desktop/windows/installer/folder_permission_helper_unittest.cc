#include "desktop/windows/installer/folder_permission_helper.h"

#include <windows.h>

#include <thread>

#include "base/base_paths.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/path_service.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/test/test_environment.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/cleanup_batch_launch.h"
#include "desktop/windows/installer/installer_kernel_objects.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/test/installer_test_support.h"
#include "gtest/gtest.h"

namespace installer {

namespace {

class FolderPermissionHelperTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = base::FilePath(base::test::ScratchFolder())
                  .Append(base::test::UniqueName(L"permission folder"));
  }
  // The package's helper, a requester or a clean-up batch a test started
  // ends before the next test.
  void TearDown() override { EXPECT_TRUE(EndChildProcesses(60 * 1000)); }

  base::win::ScopedHandle MakeEvent(const wchar_t* base_name, bool global) {
    std::wstring name = GetKernelObjectName(folder_.value(), base_name, global);
    return base::win::ScopedHandle(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
  }

  base::CommandLine HelperCommandLine() {
    base::CommandLine command_line(base::FilePath(L"installer.exe"));
    command_line.AppendSwitchPath("set-folder-permission", folder_);
    command_line.AppendSwitchNative("permissions-for-user", L"root");
    return command_line;
  }

  base::FilePath folder_;
};

}  // namespace

TEST_F(FolderPermissionHelperTest, DoesNothingWithoutUser) {
  base::win::ScopedHandle granted =
      MakeEvent(kernel_objects::kGiveInstallPermissionEvent, false);
  base::win::ScopedHandle undo =
      MakeEvent(kernel_objects::kGiveInstallPermissionUndoEvent, false);
  base::CommandLine command_line(base::FilePath(L"installer.exe"));
  command_line.AppendSwitchPath("set-folder-permission", folder_);
  command_line.AppendSwitch("permanent-permissions");
  RunFolderPermissionHelper(command_line);
  EXPECT_FALSE(base::PathExists(folder_));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(granted.Get(), 0));
}

TEST_F(FolderPermissionHelperTest, GivesUpWhenTheInstallerIsNotWaiting) {
  // Only the first event exists: the helper must not touch the folder.
  base::win::ScopedHandle granted =
      MakeEvent(kernel_objects::kGiveInstallPermissionEvent, false);
  base::CommandLine command_line = HelperCommandLine();
  command_line.AppendSwitch("permanent-permissions");
  RunFolderPermissionHelper(command_line);
  EXPECT_FALSE(base::PathExists(folder_));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(granted.Get(), 0));
}

TEST_F(FolderPermissionHelperTest, PermanentGrantCreatesFolderAndSignals) {
  base::win::ScopedHandle granted =
      MakeEvent(kernel_objects::kGiveInstallPermissionEvent, false);
  base::win::ScopedHandle undo =
      MakeEvent(kernel_objects::kGiveInstallPermissionUndoEvent, false);
  base::CommandLine command_line = HelperCommandLine();
  command_line.AppendSwitch("permanent-permissions");
  RunFolderPermissionHelper(command_line);
  EXPECT_TRUE(base::DirectoryExists(folder_));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(granted.Get(), 0));
}

TEST_F(FolderPermissionHelperTest, WaitingForPackageEndsWhenInterrupted) {
  base::win::ScopedHandle ready = MakeEvent(kernel_objects::kPackageReadyEvent, true);
  base::win::ScopedHandle interrupted =
      MakeEvent(kernel_objects::kInstallationInterruptedEvent, true);
  ASSERT_TRUE(ready.IsValid());
  ASSERT_TRUE(interrupted.IsValid());
  base::CommandLine command_line = HelperCommandLine();
  base::FilePath package = folder_.Append(L"package");
  command_line.AppendSwitchPath("wait-for-package", package);
  command_line.AppendSwitchNative("initial-pid", std::to_wstring(GetCurrentProcessId()));
  std::thread helper([&] { RunFolderPermissionHelper(command_line); });
  SetEvent(interrupted.Get());
  helper.join();
  EXPECT_FALSE(base::PathExists(folder_));
}

TEST_F(FolderPermissionHelperTest, WaitingForPackageNeedsInitialProcess) {
  base::win::ScopedHandle ready = MakeEvent(kernel_objects::kPackageReadyEvent, true);
  base::win::ScopedHandle interrupted =
      MakeEvent(kernel_objects::kInstallationInterruptedEvent, true);
  SetEvent(ready.Get());
  base::CommandLine command_line = HelperCommandLine();
  command_line.AppendSwitchPath("wait-for-package", folder_);
  // No initial-pid, then one that is no number: both return at once.
  RunFolderPermissionHelper(command_line);
  command_line.AppendSwitchNative("initial-pid", L"12x");
  RunFolderPermissionHelper(command_line);
  EXPECT_FALSE(base::PathExists(folder_));
}

// The helper of a test runs on a thread of its own; a helper that never
// returns fails the test instead of hanging it.
class HelperThread {
 public:
  HelperThread(const base::CommandLine& command_line, const base::Process& requester)
      : done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        thread_([this, command_line, &requester] {
          RunFolderPermissionHelper(command_line, requester);
          SetEvent(done_.Get());
        }) {}
  ~HelperThread() {
    if (WaitForSingleObject(done_.Get(), 0) == WAIT_OBJECT_0)
      thread_.join();
    else
      thread_.detach();  // The process ends with the failed test.
  }

  bool Returned() { return WaitForSingleObject(done_.Get(), kBoundMs) == WAIT_OBJECT_0; }

 private:
  static constexpr DWORD kBoundMs = 60 * 1000;
  base::win::ScopedHandle done_;
  std::thread thread_;
};

// A process that stands for the installer asking for the grant.
base::Process StartRequester() {
  base::FilePath system;
  EXPECT_TRUE(base::PathService::Get(base::DIR_SYSTEM, &system));
  base::LaunchOptions options;
  options.start_hidden = true;
  options.creation_flags = CREATE_SUSPENDED;
  return base::LaunchProcess(
      base::CommandLine(system.Append(L"hostname.exe")).GetCommandLineString(), options);
}

TEST_F(FolderPermissionHelperTest, TemporaryGrantEndsWhenTheRequesterEndsWithoutSignalling) {
  base::win::ScopedHandle granted =
      MakeEvent(kernel_objects::kGiveInstallPermissionEvent, false);
  base::win::ScopedHandle undo =
      MakeEvent(kernel_objects::kGiveInstallPermissionUndoEvent, false);
  base::Process requester = StartRequester();
  ASSERT_TRUE(requester.IsValid());
  HelperThread helper(HelperCommandLine(), requester);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(granted.Get(), 60 * 1000));
  requester.Terminate(1, /*wait=*/true);
  EXPECT_TRUE(helper.Returned());
}

TEST_F(FolderPermissionHelperTest, NoTemporaryGrantWithoutARequester) {
  base::win::ScopedHandle granted =
      MakeEvent(kernel_objects::kGiveInstallPermissionEvent, false);
  base::win::ScopedHandle undo =
      MakeEvent(kernel_objects::kGiveInstallPermissionUndoEvent, false);
  HelperThread helper(HelperCommandLine(), base::Process());
  EXPECT_TRUE(helper.Returned());
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(granted.Get(), 0));
}

TEST_F(FolderPermissionHelperTest, RelativeFoldersAreRefused) {
  base::Process requester = StartRequester();
  ASSERT_TRUE(requester.IsValid());
  // The grant: events exist for the relative name, but nothing is granted.
  const base::FilePath relative(base::test::UniqueName(L"relative"));
  base::win::ScopedHandle granted(CreateEventW(
      nullptr, TRUE, FALSE,
      GetKernelObjectName(relative.value(), kernel_objects::kGiveInstallPermissionEvent, false)
          .c_str()));
  base::win::ScopedHandle undo(CreateEventW(
      nullptr, TRUE, FALSE,
      GetKernelObjectName(relative.value(), kernel_objects::kGiveInstallPermissionUndoEvent,
                          false)
          .c_str()));
  base::CommandLine grant(base::FilePath(L"installer.exe"));
  grant.AppendSwitchPath("set-folder-permission", relative);
  grant.AppendSwitchNative("permissions-for-user", L"root");
  grant.AppendSwitch("permanent-permissions");
  RunFolderPermissionHelper(grant, requester);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(granted.Get(), 0));
  EXPECT_FALSE(base::PathExists(relative));

  // Waiting for a package in a relative folder: the helper does not wait.
  base::win::ScopedHandle ready = MakeEvent(kernel_objects::kPackageReadyEvent, true);
  base::win::ScopedHandle interrupted =
      MakeEvent(kernel_objects::kInstallationInterruptedEvent, true);
  base::CommandLine wait = HelperCommandLine();
  wait.AppendSwitchPath("wait-for-package", base::FilePath(L"package"));
  wait.AppendSwitchNative("initial-pid", std::to_wstring(GetCurrentProcessId()));
  HelperThread helper(wait, requester);
  EXPECT_TRUE(helper.Returned());
  requester.Terminate(1, /*wait=*/true);
}

TEST_F(FolderPermissionHelperTest, WaitingForPackageEndsWithTheRequestingInstaller) {
  base::win::ScopedHandle ready = MakeEvent(kernel_objects::kPackageReadyEvent, true);
  base::win::ScopedHandle interrupted =
      MakeEvent(kernel_objects::kInstallationInterruptedEvent, true);
  base::CommandLine command_line = HelperCommandLine();
  command_line.AppendSwitchPath("wait-for-package", folder_.Append(L"package"));
  // The initial process (this one) lives on and no event is ever set.
  command_line.AppendSwitchNative("initial-pid", std::to_wstring(GetCurrentProcessId()));
  base::Process requester = StartRequester();
  ASSERT_TRUE(requester.IsValid());
  HelperThread helper(command_line, requester);
  requester.Terminate(1, /*wait=*/true);
  EXPECT_TRUE(helper.Returned());
  EXPECT_FALSE(base::PathExists(folder_));
}

TEST_F(FolderPermissionHelperTest, PackageHelperIsLeftWhenTheRequestingInstallerEnds) {
  base::win::ScopedHandle ready = MakeEvent(kernel_objects::kPackageReadyEvent, true);
  base::win::ScopedHandle interrupted =
      MakeEvent(kernel_objects::kInstallationInterruptedEvent, true);
  ASSERT_TRUE(SetEvent(ready.Get()));
  // The package's installer.exe: the fake back end, waiting (twice at most
  // 60 s, longer than the test waits for the helper) for an event that the
  // test sets only at the end.
  const base::FilePath package = base::FilePath(base::test::ScratchFolder())
                                     .Append(base::test::UniqueName(L"package"));
  ASSERT_TRUE(base::CreateDirectory(package));
  base::FilePath exe_folder;
  ASSERT_TRUE(base::PathService::Get(base::DIR_EXE, &exe_folder));
  ASSERT_TRUE(base::CopyFile(
      exe_folder.DirName().Append(L"fixtures\\backend\\fixture_fake_backend.exe"),
      package.Append(L"installer.exe")));
  const std::wstring started_name = base::test::UniqueName(L"Local\\started");
  const std::wstring release_name = base::test::UniqueName(L"Local\\release");
  base::win::ScopedHandle started(CreateEventW(nullptr, TRUE, FALSE, started_name.c_str()));
  base::win::ScopedHandle release(CreateEventW(nullptr, TRUE, FALSE, release_name.c_str()));
  const std::string release_utf8(release_name.begin(), release_name.end());
  ASSERT_TRUE(base::WriteFile(package.Append(L"script.txt"),
                              "set-event " + std::string(started_name.begin(), started_name.end()) +
                                  "\nwait-event " + release_utf8 + "\nwait-event " +
                                  release_utf8 + "\nexit 0\n"));
  base::CommandLine command_line = HelperCommandLine();
  command_line.AppendSwitchPath("wait-for-package", package);
  command_line.AppendSwitchNative("initial-pid", std::to_wstring(GetCurrentProcessId()));
  base::Process requester = StartRequester();
  ASSERT_TRUE(requester.IsValid());
  HelperThread helper(command_line, requester);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(started.Get(), 60 * 1000));
  // The installer that asked has gone: the package's helper, whose temporary
  // grant lasts while this helper lives, is no longer waited for.
  requester.Terminate(1, /*wait=*/true);
  EXPECT_TRUE(helper.Returned());
  EXPECT_FALSE(base::PathExists(package.Append(L"result.txt")));
  SetEvent(release.Get());
}

TEST_F(FolderPermissionHelperTest, UninstallBatchRunsOnlyWhenPresent) {
  ASSERT_TRUE(base::CreateDirectory(folder_));
  EXPECT_FALSE(RunUninstallBatch(folder_).IsValid());
  ASSERT_TRUE(base::WriteFile(folder_.Append(kCleanupBatchFileName), "echo ran> ran.txt\r\n"));
  base::Process batch = RunUninstallBatch(folder_);
  ASSERT_TRUE(batch.IsValid());
  ASSERT_TRUE(batch.WaitForExitWithTimeout(60 * 1000, nullptr));
  EXPECT_TRUE(base::PathExists(folder_.Append(L"ran.txt")));
}

}  // namespace installer
