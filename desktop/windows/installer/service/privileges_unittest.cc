#include "desktop/windows/installer/service/privileges.h"

#include <windows.h>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/test/child_test_process.h"
#include "base/test/test_environment.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/object_security.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr wchar_t kPoliciesSystemKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";

base::FilePath CommandProcessor() {
  wchar_t system[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  EXPECT_TRUE(length > 0 && length < MAX_PATH);
  return base::FilePath(system).Append(L"cmd.exe");
}

TEST(PrivilegesImplTest, UacIsOffOnlyWhereThePolicySwitchesItOff) {
  PrivilegesImpl privileges;
  // Nothing to read: it is on.
  EXPECT_TRUE(privileges.IsUacEnabled());
  base::win::RegKey policy;
  ASSERT_EQ(ERROR_SUCCESS, policy.Create(HKEY_LOCAL_MACHINE, kPoliciesSystemKey, KEY_SET_VALUE));
  EXPECT_TRUE(privileges.IsUacEnabled());
  ASSERT_EQ(ERROR_SUCCESS, policy.WriteValue(L"EnableLUA", static_cast<DWORD>(0)));
  EXPECT_FALSE(privileges.IsUacEnabled());
  ASSERT_EQ(ERROR_SUCCESS, policy.WriteValue(L"EnableLUA", static_cast<DWORD>(1)));
  EXPECT_TRUE(privileges.IsUacEnabled());
}

TEST(PrivilegesImplTest, AnElevatedAdministratorIsAnAdministrator) {
  PrivilegesImpl privileges;
  if (privileges.IsElevatedAdministrator()) {
    EXPECT_TRUE(privileges.IsAdministrator());
  }
}

TEST(PrivilegesImplTest, AnElevatedAdministratorRunsElevated) {
  // The Wine user is one; on Windows a test run from a filtered token has
  // nothing to check here.
  PrivilegesImpl privileges;
  if (privileges.IsElevatedAdministrator()) {
    EXPECT_TRUE(privileges.IsElevated());
  }
}

TEST(PrivilegesImplTest, ElevatedLaunchHandsOutTheProcessOfTheProgram) {
  // Under Wine the user is an elevated administrator: no prompt is shown.
  PrivilegesImpl privileges;
  base::win::ScopedHandle process;
  DWORD error = 0;
  ASSERT_TRUE(privileges.LaunchElevated(CommandProcessor(), L"/c exit 7", &process, &error));
  ASSERT_TRUE(process.IsValid());
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.Get(), 60 * 1000));
  DWORD exit_code = 0;
  ASSERT_TRUE(::GetExitCodeProcess(process.Get(), &exit_code));
  EXPECT_EQ(7u, exit_code);
}

// Run by AnElevatedLaunchOfAMissingProgramIsReportedNotShown in a process of
// its own.
TEST(PrivilegesImplChildProcess, ReportsAMissingProgram) {
  if (!base::test::IsChildTestProcess())
    GTEST_SKIP() << "runs only as the child of AnElevatedLaunchOfAMissingProgramIsReportedNotShown";
  PrivilegesImpl privileges;
  base::win::ScopedHandle process;
  DWORD error = ERROR_SUCCESS;
  EXPECT_FALSE(privileges.LaunchElevated(
      base::FilePath(base::test::ScratchFolder()).Append(L"missing.exe"), L"--run-elevated",
      &process, &error));
  EXPECT_FALSE(process.IsValid());
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), error);
}

// A program that cannot be started comes back as an error; the shell's error
// box, which nobody answers for a silent installer, would hold it.
TEST(PrivilegesImplTest, AnElevatedLaunchOfAMissingProgramIsReportedNotShown) {
  EXPECT_TRUE(base::test::RunTestInChildProcess("PrivilegesImplChildProcess.ReportsAMissingProgram",
                                                60 * 1000));
}

TEST(PrivilegesImplTest, FolderAccessIsCheckedGrantedAndPutBack) {
  base::ScopedTempDir folder;
  ASSERT_TRUE(folder.CreateUniqueTempDir());
  PrivilegesImpl privileges;
  EXPECT_TRUE(privileges.CheckFileAccess(folder.GetPath(), FILE_GENERIC_READ));
  SavedObjectSecurity saved;
  ASSERT_TRUE(privileges.GrantFileAccess(folder.GetPath(), FILE_ALL_ACCESS, false, &saved));
  EXPECT_FALSE(saved.empty());
  EXPECT_TRUE(privileges.CheckFileAccess(folder.GetPath(), FILE_ALL_ACCESS));
  EXPECT_TRUE(privileges.RestoreFileAccess(&saved));
  EXPECT_TRUE(saved.empty());
}

}  // namespace
}  // namespace installer
