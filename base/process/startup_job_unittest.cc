#include "base/process/startup_job.h"

#include <tlhelp32.h>

#include "base/process/launch.h"
#include "base/process/process_handle.h"
#include "base/win/scoped_handle.h"
#include "gtest/gtest.h"

namespace base {
namespace {

bool IsInAJob(HANDLE process) {
  BOOL in_job = FALSE;
  EXPECT_TRUE(::IsProcessInJob(process, nullptr, &in_job));
  return in_job != FALSE;
}

// The first child of |parent| that a snapshot finds, waiting up to a minute
// for one to appear.
Process FirstChildOf(ProcessId parent) {
  for (int i = 0; i < 6000; ++i) {
    win::ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry)) {
      if (entry.th32ParentProcessID == parent)
        return Process::OpenWithAccess(
            entry.th32ProcessID, PROCESS_QUERY_INFORMATION | SYNCHRONIZE | PROCESS_TERMINATE);
    }
    ::Sleep(10);
  }
  return Process();
}

// A launcher that ends while its child has not been let run yet (as when it
// is killed inside CreateProcessW) closes the job's handle: the child ends
// with it instead of staying suspended.
TEST(StartupJobTest, ChildNotLetGoEndsWithTheJob) {
  Process child;
  {
    StartupJob job;
    LaunchOptions options;
    options.startup_job = &job;
    options.creation_flags = CREATE_SUSPENDED;
    child = LaunchProcess(L"cmd.exe /c exit 3", options);
    ASSERT_TRUE(child.IsValid());
    EXPECT_FALSE(child.WaitForExitWithTimeout(100, nullptr));
  }
  int exit_code = 3;
  EXPECT_TRUE(child.WaitForExitWithTimeout(60000, &exit_code));
  EXPECT_NE(3, exit_code);
  child.Terminate(1, true);
}

// Once running, the child lives on alone, and what it starts is outside the
// job.
TEST(StartupJobTest, ChildLetGoRunsOnAndWhatItStartsIsOutsideTheJob) {
  StartupJob job;
  LaunchOptions options;
  options.startup_job = &job;
  Process child = LaunchProcess(L"cmd.exe /c ping -n 30 127.0.0.1 >NUL", options);
  ASSERT_TRUE(child.IsValid());
  EXPECT_EQ(nullptr, job.Get());
  EXPECT_TRUE(IsInAJob(child.Handle()));
  Process grandchild = FirstChildOf(child.Pid());
  ASSERT_TRUE(grandchild.IsValid());
  EXPECT_FALSE(IsInAJob(grandchild.Handle()));
  EXPECT_TRUE(child.IsRunning());
  EXPECT_TRUE(grandchild.Terminate(1, true));
  EXPECT_TRUE(child.Terminate(1, true));
}

}  // namespace
}  // namespace base
