#include "base/process/launch.h"

#include "base/files/file_util.h"
#include "base/process/process_handle.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace base {
namespace {

TEST(LaunchTest, WaitAndExitCode) {
  Process process = LaunchProcess(L"cmd.exe /c exit 3", LaunchOptions());
  ASSERT_TRUE(process.IsValid());
  EXPECT_NE(0u, process.Pid());
  int exit_code = -1;
  ASSERT_TRUE(process.WaitForExit(&exit_code));
  EXPECT_EQ(3, exit_code);
  EXPECT_FALSE(process.IsRunning());

  LaunchOptions options;
  options.wait = true;
  options.start_hidden = true;
  Process waited = LaunchProcess(L"cmd.exe /c exit 7", options);
  ASSERT_TRUE(waited.IsValid());
  EXPECT_FALSE(waited.IsRunning());
  ASSERT_TRUE(waited.WaitForExitWithTimeout(0, &exit_code));
  EXPECT_EQ(7, exit_code);
}

TEST(LaunchTest, MissingProgramGivesInvalidProcess) {
  Process process = LaunchProcess(L"\"C:\\no\\such\\program.exe\"", LaunchOptions());
  EXPECT_FALSE(process.IsValid());
  EXPECT_EQ(0u, process.Pid());
  EXPECT_FALSE(process.WaitForExit(nullptr));
}

TEST(LaunchTest, GetAppOutputCapturesStdoutAndExitCode) {
  std::string output;
  ASSERT_TRUE(GetAppOutput(L"cmd.exe /c echo hello", &output));
  EXPECT_EQ("hello", output.substr(0, 5));
  int exit_code = 0;
  ASSERT_TRUE(GetAppOutputWithExitCode(L"cmd.exe /c echo out&& exit 4", &output, &exit_code));
  EXPECT_EQ(4, exit_code);
  EXPECT_EQ("out", output.substr(0, 3));
  EXPECT_FALSE(GetAppOutput(L"cmd.exe /c exit 1", &output));
  EXPECT_FALSE(GetAppOutput(L"\"C:\\no\\such\\program.exe\"", &output));
}

TEST(LaunchTest, GetAppOutputWithTimeoutCollectsWhatFits) {
  std::string output;
  int exit_code = -1;
  ASSERT_TRUE(GetAppOutputWithTimeout(L"cmd.exe /c echo 2631.23&& exit 5", 100, 60000, &output,
                                      &exit_code));
  EXPECT_EQ("2631.23\r\n", output);
  EXPECT_EQ(5, exit_code);
  // Longer output is cut at the limit, and the child still runs to its end.
  ASSERT_TRUE(GetAppOutputWithTimeout(L"cmd.exe /c echo 0123456789abcdef", 10, 60000, &output,
                                      &exit_code));
  EXPECT_EQ("0123456789", output);
  EXPECT_EQ(0, exit_code);
  EXPECT_FALSE(GetAppOutputWithTimeout(L"\"C:\\no\\such\\program.exe\"", 10, 60000, &output,
                                       &exit_code));
}

TEST(LaunchTest, GetAppOutputWithTimeoutEndsAChildThatTakesTooLong) {
  std::string output;
  int exit_code = -1;
  const ULONGLONG start = ::GetTickCount64();
  // The command processor itself loops for ever, so ending it leaves nothing.
  EXPECT_FALSE(GetAppOutputWithTimeout(L"cmd.exe /c echo started&& for /l %i in (0,0,1) do @rem",
                                       100, 300, &output, &exit_code));
  EXPECT_LT(::GetTickCount64() - start, 60000u);
}

TEST(LaunchTest, CurrentDirectoryIsApplied) {
  FilePath folder = FilePath(test::ScratchFolder()).Append(test::UniqueName(L"cwd"));
  ASSERT_TRUE(CreateDirectory(folder));
  ASSERT_TRUE(WriteFile(folder.Append(L"marker.txt"), "x"));
  LaunchOptions options;
  options.current_directory = folder;
  options.wait = true;
  Process process = LaunchProcess(L"cmd.exe /c if exist marker.txt (exit 0) else (exit 9)",
                                  options);
  int exit_code = -1;
  ASSERT_TRUE(process.WaitForExit(&exit_code));
  EXPECT_EQ(0, exit_code);
  DeletePathRecursively(folder);
}

TEST(ProcessTest, TerminateOpenAndParent) {
  // A child that would run for a long time.
  Process child = LaunchProcess(L"cmd.exe /c ping -n 30 127.0.0.1 >NUL", LaunchOptions());
  ASSERT_TRUE(child.IsValid());
  EXPECT_TRUE(child.IsRunning());
  EXPECT_EQ(GetCurrentProcId(), GetParentProcessId(child.Pid()));

  Process opened = Process::Open(child.Pid());
  ASSERT_TRUE(opened.IsValid());
  EXPECT_EQ(child.Pid(), opened.Pid());
  Process copy = opened.Duplicate();
  ASSERT_TRUE(copy.IsValid());

  int exit_code = 0;
  EXPECT_FALSE(opened.WaitForExitWithTimeout(10, &exit_code));
  EXPECT_TRUE(opened.Terminate(42, true));
  ASSERT_TRUE(child.WaitForExitWithTimeout(5000, &exit_code));
  EXPECT_EQ(42, exit_code);
  EXPECT_TRUE(copy.Terminate(1, true));  // Already ended: still a success.
}

TEST(ProcessTest, CurrentProcess) {
  Process current = Process::Current();
  EXPECT_TRUE(current.IsValid());
  EXPECT_TRUE(current.is_current());
  EXPECT_EQ(GetCurrentProcId(), current.Pid());
  EXPECT_TRUE(current.IsRunning());
  EXPECT_EQ(GetCurrentProcId(), GetProcId(GetCurrentProcessHandle()));
  Process moved(std::move(current));
  EXPECT_TRUE(moved.is_current());
  EXPECT_FALSE(current.IsValid());
  EXPECT_FALSE(Process::Open(0xFFFFFFF0).IsValid());
}

}  // namespace
}  // namespace base
