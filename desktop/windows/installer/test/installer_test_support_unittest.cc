#include "desktop/windows/installer/test/installer_test_support.h"

#include <windows.h>

#include <thread>

#include "base/process/process_handle.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(EndChildProcessesTest, LeavesTheDesktopProcessThatTheSystemStartsForAWindow) {
  // A desktop of its own, so that its desktop process is started by this
  // process whatever ran before in the machine: under Wine, the first window
  // made on a desktop starts "explorer.exe /desktop" as a child of the
  // process that made it.
  HDESK desktop = ::CreateDesktopW(base::test::UniqueName(L"desktop").c_str(), nullptr, nullptr,
                                   0, GENERIC_ALL, nullptr);
  ASSERT_TRUE(desktop);
  DWORD desktop_process = 0;
  base::Process desktop_owner;
  bool all_ended = false;
  bool desktop_process_runs = false;
  std::thread on_desktop([&] {
    ASSERT_TRUE(::SetThreadDesktop(desktop));
    HWND window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr,
                                    nullptr, nullptr);
    ASSERT_TRUE(window);
    ::GetWindowThreadProcessId(::GetDesktopWindow(), &desktop_process);
    desktop_owner = base::Process::Open(desktop_process);
    all_ended = EndChildProcesses(1000);
    desktop_process_runs = desktop_owner.IsValid() && desktop_owner.IsRunning();
    ::DestroyWindow(window);
  });
  on_desktop.join();
  const bool started_here =
      base::GetParentProcessId(desktop_process) == ::GetCurrentProcessId();
  ::CloseDesktop(desktop);
  EXPECT_TRUE(all_ended);
  EXPECT_TRUE(desktop_process_runs);
  // The desktop process ends once its desktop is closed; later tests of this
  // process must not find it among their children.
  if (started_here)
    EXPECT_TRUE(desktop_owner.WaitForExitWithTimeout(60 * 1000, nullptr));
}

}  // namespace
}  // namespace installer
