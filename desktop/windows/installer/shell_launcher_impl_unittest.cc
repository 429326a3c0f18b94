#include "desktop/windows/installer/shell_launcher_impl.h"

#include <windows.h>

#include "base/test/child_test_process.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// The program's path is expanded by the shell: unexpanded, it names nothing.
TEST(ShellLauncherImplTest, OpensAProgramNamedWithEnvironmentStrings) {
  EXPECT_TRUE(
      ShellLauncherImpl::GetInstance()->Open(L"%SystemRoot%\\system32\\cmd.exe", L"/c exit 0"));
}

// Run by AMissingProgramIsReportedNotShown in a process of its own.
TEST(ShellLauncherImplChildProcess, ReportsAMissingProgram) {
  if (!base::test::IsChildTestProcess())
    GTEST_SKIP() << "runs only as the child of AMissingProgramIsReportedNotShown";
  ::SetLastError(ERROR_SUCCESS);
  EXPECT_FALSE(ShellLauncherImpl::GetInstance()->Open(
      base::test::ScratchFolder() + L"\\missing.exe", std::wstring()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), ::GetLastError());
}

// A program that cannot be started comes back as an error; the shell's error
// box would stop the window's thread until it is answered.
TEST(ShellLauncherImplTest, AMissingProgramIsReportedNotShown) {
  EXPECT_TRUE(base::test::RunTestInChildProcess("ShellLauncherImplChildProcess.ReportsAMissingProgram",
                                                60 * 1000));
}

}  // namespace
}  // namespace installer
