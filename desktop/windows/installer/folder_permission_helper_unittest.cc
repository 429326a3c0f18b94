#include "desktop/windows/installer/folder_permission_helper.h"

#include <windows.h>
#include <sddl.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/base_paths.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/path_service.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/test/scoped_user_windows_folder.h"
#include "base/test/test_environment.h"
#include "base/win/scoped_handle.h"
#include "base/win/scoped_localalloc.h"
#include "desktop/windows/installer/cleanup_batch_launch.h"
#include "desktop/windows/installer/folder_rights.h"
#include "desktop/windows/installer/installer_kernel_objects.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/json_installation_status_writer.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/steps/cleanup_batch_file.h"
#include "desktop/windows/installer/test/installer_test_support.h"
#include "gtest/gtest.h"

namespace installer {

namespace {

// Grants as the real rights do and writes down whom each grant was for:
// Wine keeps no access lists to read back.
class RecordingFolderRights : public FolderRights {
 public:
  bool Grant(HANDLE folder, PSID user, std::vector<BYTE>* before,
             std::string* error) override {
    wchar_t* text = nullptr;
    if (::ConvertSidToStringSidW(user, &text)) {
      base::win::ScopedLocalAllocTyped<wchar_t> owner = base::win::TakeLocalAlloc(text);
      grantees.push_back(owner.get());
    }
    if (!grant_succeeds) {
      *error = "Refused by the test";
      return false;
    }
    return FolderRightsImpl::GetInstance()->Grant(folder, user, before, error);
  }
  bool Restore(HANDLE folder, const std::vector<BYTE>& before, std::string* error) override {
    ++restores;
    return FolderRightsImpl::GetInstance()->Restore(folder, before, error);
  }

  bool grant_succeeds = true;
  std::vector<std::wstring> grantees;
  int restores = 0;
};

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

  // The events of an installer that waits for the grant on |folder_|.
  struct GrantEvents {
    base::win::ScopedHandle granted;
    base::win::ScopedHandle undo;
  };
  GrantEvents MakeGrantEvents() {
    return {MakeEvent(kernel_objects::kGiveInstallPermissionEvent, false),
            MakeEvent(kernel_objects::kGiveInstallPermissionUndoEvent, false)};
  }

  base::CommandLine HelperCommandLine() {
    base::CommandLine command_line(base::FilePath(L"installer.exe"));
    command_line.AppendSwitchPath("set-folder-permission", folder_);
    command_line.AppendSwitchNative("permissions-for-user", L"root");
    return command_line;
  }

  FolderPermissionResult Run(const base::CommandLine& command_line,
                             const base::Process& requester) {
    return RunFolderPermissionHelper(command_line, requester, &rights_);
  }

  // Runs the helper for an installer that, once granted, lets
  // |while_granted| run and then ends; what the helper returned.
  FolderPermissionResult GrantUntilTheRequesterEnds(const base::CommandLine& command_line,
                                                    const std::function<void()>& while_granted);

  base::FilePath folder_;
  RecordingFolderRights rights_;
};

// The helper of a test runs on a thread of its own; a helper that never
// returns fails the test instead of hanging it.
class HelperThread {
 public:
  HelperThread(const base::CommandLine& command_line, const base::Process& requester,
               FolderRights* rights = FolderRightsImpl::GetInstance())
      : HelperThread([this, command_line, &requester, rights] {
          result_ = RunFolderPermissionHelper(command_line, requester, rights);
        }) {}
  // Runs |work| instead of the helper.
  explicit HelperThread(std::function<void()> work)
      : done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), thread_([this, work] {
          work();
          SetEvent(done_.Get());
        }) {}
  ~HelperThread() {
    if (WaitForSingleObject(done_.Get(), 0) == WAIT_OBJECT_0)
      thread_.join();
    else
      thread_.detach();  // The process ends with the failed test.
  }

  bool Returned() { return WaitForSingleObject(done_.Get(), kBoundMs) == WAIT_OBJECT_0; }
  // What the helper returned, once it has.
  const FolderPermissionResult& result() const { return result_; }

 private:
  static constexpr DWORD kBoundMs = 60 * 1000;
  base::win::ScopedHandle done_;
  FolderPermissionResult result_;
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

FolderPermissionResult FolderPermissionHelperTest::GrantUntilTheRequesterEnds(
    const base::CommandLine& command_line, const std::function<void()>& while_granted) {
  const GrantEvents events = MakeGrantEvents();
  base::Process requester = StartRequester();
  EXPECT_TRUE(requester.IsValid());
  HelperThread helper(command_line, requester, &rights_);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(events.granted.Get(), 60 * 1000));
  while_granted();
  requester.Terminate(1, /*wait=*/true);
  EXPECT_TRUE(helper.Returned());
  return helper.result();
}

}  // namespace

TEST_F(FolderPermissionHelperTest, DoesNothingWithoutUser) {
  const GrantEvents events = MakeGrantEvents();
  base::CommandLine command_line(base::FilePath(L"installer.exe"));
  command_line.AppendSwitchPath("set-folder-permission", folder_);
  command_line.AppendSwitch("permanent-permissions");
  RunFolderPermissionHelper(command_line);
  EXPECT_FALSE(base::PathExists(folder_));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(events.granted.Get(), 0));
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
  base::CommandLine command_line = HelperCommandLine();
  command_line.AppendSwitch("permanent-permissions");
  EXPECT_FALSE(GrantUntilTheRequesterEnds(command_line, [this] {
                 EXPECT_TRUE(base::DirectoryExists(folder_));
                 // The grant stands while the installer that asked runs.
                 EXPECT_EQ(0, rights_.restores);
               }).refused);
}

// A permanent grant outlives only a run that installed there: once the
// installer that asked has ended, a folder without an installation gets its
// old rights back, and the folders made for it go, with what was put there.
TEST_F(FolderPermissionHelperTest, PermanentGrantEndsWithARunThatInstalledNothing) {
  folder_ = folder_.Append(L"Common Files\\X");
  base::CommandLine command_line = HelperCommandLine();
  command_line.AppendSwitch("permanent-permissions");
  GrantUntilTheRequesterEnds(command_line, [this] {
    ASSERT_TRUE(base::CreateDirectory(folder_.Append(L"plugins")));
    ASSERT_TRUE(base::WriteFile(folder_.Append(L"plugins\\x.dll"), "x"));
  });
  EXPECT_EQ(1, rights_.restores);
  EXPECT_FALSE(base::PathExists(folder_.DirName().DirName()));
  EXPECT_TRUE(base::DirectoryExists(folder_.DirName().DirName().DirName()));
}

TEST_F(FolderPermissionHelperTest, PermanentGrantStaysWithTheInstallationOfTheRunThatAsked) {
  base::CommandLine command_line = HelperCommandLine();
  command_line.AppendSwitch("permanent-permissions");
  GrantUntilTheRequesterEnds(command_line, [this] {
    InstallationStatus status(GENERATED);
    status.app_id = "1234";
    status.path = folder_.value();
    ASSERT_TRUE(
        WriteInstallationStatusFile(status, folder_.Append(kInstallationStatusFileName)));
  });
  EXPECT_EQ(0, rights_.restores);
  EXPECT_TRUE(base::PathExists(folder_.Append(kInstallationStatusFileName)));
}

// Wine keeps no access lists, so whom the rights go to is seen at the grant:
// the user of the installer that asked, whatever account the command line
// names.
TEST_F(FolderPermissionHelperTest, GrantsTheRequestersUserNotTheNamedAccount) {
  base::CommandLine command_line(base::FilePath(L"installer.exe"));
  command_line.AppendSwitchPath("set-folder-permission", folder_);
  command_line.AppendSwitchNative("permissions-for-user", L"Everyone");
  GrantUntilTheRequesterEnds(command_line, [] {});
  // The requester runs as this process's user.
  HANDLE token_handle = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token_handle));
  base::win::ScopedHandle token(token_handle);
  BYTE buffer[256];
  DWORD size = 0;
  ASSERT_TRUE(GetTokenInformation(token.Get(), TokenUser, buffer, sizeof(buffer), &size));
  wchar_t* text = nullptr;
  ASSERT_TRUE(ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text));
  base::win::ScopedLocalAllocTyped<wchar_t> own = base::win::TakeLocalAlloc(text);
  ASSERT_NE(std::wstring(L"S-1-1-0"), own.get());
  EXPECT_EQ(std::vector<std::wstring>{own.get()}, rights_.grantees);
}

// A grant that cannot be made leaves nothing behind: the folders made for it
// go again.
TEST_F(FolderPermissionHelperTest, FailedGrantRemovesTheFoldersItMade) {
  folder_ = folder_.Append(L"inner");
  const GrantEvents events = MakeGrantEvents();
  rights_.grant_succeeds = false;
  base::CommandLine command_line = HelperCommandLine();
  command_line.AppendSwitch("permanent-permissions");
  base::Process requester = StartRequester();
  ASSERT_TRUE(requester.IsValid());
  Run(command_line, requester);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(events.granted.Get(), 0));
  EXPECT_FALSE(base::PathExists(folder_.DirName()));
  requester.Terminate(1, /*wait=*/true);
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

TEST_F(FolderPermissionHelperTest, TemporaryGrantEndsWhenTheRequesterEndsWithoutSignalling) {
  const GrantEvents events = MakeGrantEvents();
  base::Process requester = StartRequester();
  ASSERT_TRUE(requester.IsValid());
  HelperThread helper(HelperCommandLine(), requester);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(events.granted.Get(), 60 * 1000));
  requester.Terminate(1, /*wait=*/true);
  ASSERT_TRUE(helper.Returned());
  // The result names the folder whose rights went back, as it truly lies.
  base::FilePath true_folder;
  ASSERT_TRUE(base::NormalizeFilePath(folder_, &true_folder));
  EXPECT_EQ(true_folder, helper.result().restored_folder);
}

TEST_F(FolderPermissionHelperTest, NoTemporaryGrantWithoutARequester) {
  const GrantEvents events = MakeGrantEvents();
  const base::Process no_requester;
  HelperThread helper(HelperCommandLine(), no_requester);
  EXPECT_TRUE(helper.Returned());
  EXPECT_TRUE(helper.result().refused);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(events.granted.Get(), 0));
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
  Run(grant, requester);
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

// Once the package is ready the helper grants the rights itself: the package
// folder, which the user can change, holds nothing it runs.
TEST_F(FolderPermissionHelperTest, WaitingHelperGrantsItselfAndRunsNothingFromThePackage) {
  base::win::ScopedHandle ready = MakeEvent(kernel_objects::kPackageReadyEvent, true);
  base::win::ScopedHandle interrupted =
      MakeEvent(kernel_objects::kInstallationInterruptedEvent, true);
  const GrantEvents events = MakeGrantEvents();
  ASSERT_TRUE(SetEvent(ready.Get()));
  const base::FilePath package = base::FilePath(base::test::ScratchFolder())
                                     .Append(base::test::UniqueName(L"package"));
  ASSERT_TRUE(base::CreateDirectory(package));
  base::FilePath exe_folder;
  ASSERT_TRUE(base::PathService::Get(base::DIR_EXE, &exe_folder));
  ASSERT_TRUE(base::CopyFile(
      exe_folder.DirName().Append(L"fixtures\\backend\\fixture_fake_backend.exe"),
      package.Append(L"installer.exe")));
  ASSERT_TRUE(base::WriteFile(package.Append(L"script.txt"), "record-command-line\nexit 0\n"));
  base::CommandLine command_line = HelperCommandLine();
  command_line.AppendSwitchPath("wait-for-package", package);
  command_line.AppendSwitchNative("initial-pid", std::to_wstring(GetCurrentProcessId()));
  command_line.AppendSwitch("permanent-permissions");
  base::Process requester = StartRequester();
  ASSERT_TRUE(requester.IsValid());
  HelperThread helper(command_line, requester);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(events.granted.Get(), 60 * 1000));
  EXPECT_TRUE(base::DirectoryExists(folder_));
  requester.Terminate(1, /*wait=*/true);
  ASSERT_TRUE(helper.Returned());
  EXPECT_FALSE(helper.result().refused);
  // Had the helper started the package's installer, it would have written
  // down its command line by the time it ended.
  EXPECT_TRUE(EndChildProcesses(60 * 1000));
  EXPECT_FALSE(base::PathExists(package.Append(L"result.txt")));
}

// Whatever the command line names: no rights on the Windows folder or in it
// (made new or not), on drive roots, or on the roots of Program Files and
// ProgramData; and none on a folder reached through a path with "..".
TEST_F(FolderPermissionHelperTest, RefusesSystemFoldersAndRoots) {
  base::Process requester = StartRequester();
  ASSERT_TRUE(requester.IsValid());
  std::vector<base::FilePath> refused;
  for (int key : {base::DIR_WINDOWS, base::DIR_SYSTEM, base::DIR_PROGRAM_FILES,
                  base::DIR_PROGRAM_FILESX86, base::DIR_COMMON_APP_DATA}) {
    base::FilePath folder;
    ASSERT_TRUE(base::PathService::Get(key, &folder));
    refused.push_back(folder);
  }
  refused.push_back(refused[1].Append(base::test::UniqueName(L"new")));
  refused.push_back(base::FilePath(refused[0].GetComponents()[0]));
  refused.push_back(base::FilePath(base::test::ScratchFolder()).Append(L"..\\x"));
  for (const base::FilePath& folder : refused) {
    SCOPED_TRACE(folder.value());
    folder_ = folder;
    const GrantEvents events = MakeGrantEvents();
    base::CommandLine command_line(base::FilePath(L"installer.exe"));
    command_line.AppendSwitchPath("set-folder-permission", folder);
    command_line.AppendSwitchNative("permissions-for-user", L"Everyone");
    command_line.AppendSwitch("permanent-permissions");
    EXPECT_TRUE(Run(command_line, requester).refused);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(events.granted.Get(), 0));
  }
  EXPECT_FALSE(base::PathExists(refused[5]));
  requester.Terminate(1, /*wait=*/true);
}

// A Remote Desktop host may tell a process that is not marked Terminal Server
// aware a Windows folder of its user's: the system's stays refused.
TEST_F(FolderPermissionHelperTest, RefusesTheSystemsWindowsFolderWhateverTheProcessIsTold) {
  base::Process requester = StartRequester();
  ASSERT_TRUE(requester.IsValid());
  base::test::ScopedUserWindowsFolder user_windows;
  folder_ = base::FilePath(base::test::ScopedUserWindowsFolder::SystemFolder())
                .Append(base::test::UniqueName(L"new"));
  const GrantEvents events = MakeGrantEvents();
  base::CommandLine command_line = HelperCommandLine();
  command_line.AppendSwitch("permanent-permissions");
  EXPECT_TRUE(Run(command_line, requester).refused);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(events.granted.Get(), 0));
  EXPECT_FALSE(base::PathExists(folder_));
  base::DeletePathRecursively(folder_);
  requester.Terminate(1, /*wait=*/true);
}

// A folder that exists gets rights only when it holds an installation, and
// not when that installation is for all users: the system runs its programs.
TEST_F(FolderPermissionHelperTest, GrantsOnAnExistingFolderOnlyWhenItHoldsAnInstallation) {
  ASSERT_TRUE(base::CreateDirectory(folder_));
  const GrantEvents events = MakeGrantEvents();
  base::Process requester = StartRequester();
  ASSERT_TRUE(requester.IsValid());
  base::CommandLine command_line = HelperCommandLine();
  command_line.AppendSwitch("permanent-permissions");
  EXPECT_TRUE(Run(command_line, requester).refused);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(events.granted.Get(), 0));

  InstallationStatus status(GENERATED);
  status.app_id = "1234";
  status.path = folder_.value();
  status.all_users = true;
  ASSERT_TRUE(WriteInstallationStatusFile(status, folder_.Append(kInstallationStatusFileName)));
  EXPECT_TRUE(Run(command_line, requester).refused);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(events.granted.Get(), 0));
  EXPECT_TRUE(rights_.grantees.empty());

  status.all_users = false;
  ASSERT_TRUE(WriteInstallationStatusFile(status, folder_.Append(kInstallationStatusFileName)));
  requester.Terminate(1, /*wait=*/true);
  EXPECT_FALSE(GrantUntilTheRequesterEnds(command_line, [] {}).refused);
  EXPECT_TRUE(base::PathExists(folder_.Append(kInstallationStatusFileName)));
}

class UninstallBatchTest : public FolderPermissionHelperTest {
 protected:
  void SetUp() override {
    FolderPermissionHelperTest::SetUp();
    ASSERT_TRUE(base::CreateDirectory(folder_));
    ASSERT_TRUE(base::NormalizeFilePath(folder_, &taken_back_.restored_folder));
    left_ = folder_.Append(L"left behind.dll");
    ASSERT_TRUE(base::WriteFile(left_, "x"));
    batch_ = folder_.Append(kCleanupBatchFileName);
  }

  // The batch an uninstallation writes to delete what it left.
  std::string WrittenBatch() {
    CleanupBatchFile batch(folder_);
    batch.SetProcessIds(EndedProcessId(), 0, 0);
    EXPECT_TRUE(batch.AddFile(left_));
    return batch.GetText();
  }

  // Whether the batch was acted on: what was left is deleted, and the batch.
  bool Ran(bool acted) {
    if (!acted)
      return false;
    EXPECT_FALSE(base::PathExists(batch_));
    return !base::PathExists(left_);
  }

  FolderPermissionResult taken_back_;
  base::FilePath left_;
  base::FilePath batch_;
};

TEST_F(UninstallBatchTest, UninstallBatchRunsOnlyWhenPresent) {
  EXPECT_FALSE(RunUninstallBatch(taken_back_, folder_));
  ASSERT_TRUE(base::WriteFile(batch_, WrittenBatch()));
  EXPECT_TRUE(Ran(RunUninstallBatch(taken_back_, folder_)));
}

// The user could write the batch while he had the rights: it runs only after
// this helper's own grant on that very folder was taken back.
TEST_F(UninstallBatchTest, RunsOnlyAfterTheHelpersGrantOnItsFolderWasTakenBack) {
  ASSERT_TRUE(base::WriteFile(batch_, WrittenBatch()));
  EXPECT_FALSE(RunUninstallBatch(FolderPermissionResult(), folder_));
  FolderPermissionResult elsewhere;
  elsewhere.restored_folder = taken_back_.restored_folder.DirName();
  EXPECT_FALSE(RunUninstallBatch(elsewhere, folder_));
  EXPECT_FALSE(RunUninstallBatch(taken_back_, folder_.DirName()));
  EXPECT_TRUE(base::PathExists(left_));
  EXPECT_TRUE(Ran(RunUninstallBatch(taken_back_, folder_)));
}

// What the processes the batch names hold stays in use until they end: the
// helper waits for them, as the batch would, but not for itself.
TEST_F(UninstallBatchTest, WaitsForTheProcessesItNamesButItself) {
  base::Process holder = StartRequester();
  ASSERT_TRUE(holder.IsValid());
  CleanupBatchFile batch(folder_);
  batch.SetProcessIds(holder.Pid(), 0, GetCurrentProcessId());
  ASSERT_TRUE(batch.AddFile(left_));
  ASSERT_TRUE(base::WriteFile(batch_, batch.GetText()));
  // Held, without its deletion shared, for as long as the process lives: a
  // helper that did not wait would find it in use.
  HANDLE held = CreateFileW(left_.value().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  bool acted = false;
  HelperThread helper([this, &acted] { acted = RunUninstallBatch(taken_back_, folder_); });
  CloseHandle(held);
  holder.Terminate(1, /*wait=*/true);
  ASSERT_TRUE(helper.Returned());
  EXPECT_TRUE(Ran(acted));
}

// A process started after the batch was written only got the id of one the
// batch waited for, which has ended.
TEST_F(UninstallBatchTest, DoesNotWaitForALaterProcessWithAnEndedOnesId) {
  base::Process later = StartRequester();
  ASSERT_TRUE(later.IsValid());
  CleanupBatchFile batch(folder_);
  batch.SetProcessIds(later.Pid(), 0, 0);
  ASSERT_TRUE(batch.AddFile(left_));
  ASSERT_TRUE(base::WriteFile(batch_, batch.GetText()));
  FILETIME started, unused1, unused2, unused3;
  ASSERT_TRUE(GetProcessTimes(later.Handle(), &started, &unused1, &unused2, &unused3));
  ULARGE_INTEGER before = {{started.dwLowDateTime, started.dwHighDateTime}};
  before.QuadPart -= 10 * 1000 * 1000;  // a second earlier
  const FILETIME written = {before.LowPart, before.HighPart};
  {
    base::win::ScopedHandle file(CreateFileW(batch_.value().c_str(), FILE_WRITE_ATTRIBUTES, 0,
                                             nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file.IsValid());
    ASSERT_TRUE(SetFileTime(file.Get(), nullptr, nullptr, &written));
  }
  bool acted = false;
  HelperThread helper([this, &acted] { acted = RunUninstallBatch(taken_back_, folder_); });
  const bool returned = helper.Returned();
  later.Terminate(1, /*wait=*/true);
  ASSERT_TRUE(returned);
  EXPECT_TRUE(Ran(acted));
}

TEST_F(UninstallBatchTest, RemovesItsFoldersInnermostFirstAndTheBatch) {
  const base::FilePath inner = folder_.Append(L"47.0\\locales");
  ASSERT_TRUE(base::CreateDirectory(inner));
  const base::FilePath locale = inner.Append(L"en.pak");
  ASSERT_TRUE(base::WriteFile(locale, "x"));
  CleanupBatchFile batch(folder_);
  batch.SetProcessIds(EndedProcessId(), 0, 0);
  ASSERT_TRUE(batch.AddFile(left_));
  ASSERT_TRUE(batch.AddFile(locale));
  ASSERT_TRUE(batch.AddFolderWithAncestors(inner));
  ASSERT_TRUE(base::WriteFile(batch_, batch.GetText()));
  EXPECT_TRUE(Ran(RunUninstallBatch(taken_back_, folder_)));
  EXPECT_FALSE(base::PathExists(folder_));
}

TEST_F(UninstallBatchTest, RunsOnlyWhatTheUninstallationWrites) {
  const std::string written = WrittenBatch();
  for (const std::string& text :
       {std::string("echo ran> ran.txt\r\n"), "calc.exe\n" + written,
        written + "del \"..\\x.txt\"\n"}) {
    ASSERT_TRUE(base::WriteFile(batch_, text));
    EXPECT_FALSE(RunUninstallBatch(taken_back_, folder_)) << text;
    EXPECT_TRUE(base::PathExists(left_));
  }
  // A batch with a second name elsewhere is not one the uninstallation wrote.
  const base::FilePath elsewhere = folder_.DirName().Append(base::test::UniqueName(L"k.bat"));
  ASSERT_TRUE(base::WriteFile(elsewhere, written));
  ASSERT_TRUE(base::DeleteFile(batch_));
  ASSERT_TRUE(::CreateHardLinkW(batch_.value().c_str(), elsewhere.value().c_str(), nullptr));
  EXPECT_FALSE(RunUninstallBatch(taken_back_, folder_));
  EXPECT_TRUE(base::PathExists(left_));
}

}  // namespace installer
