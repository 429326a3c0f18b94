#include "desktop/windows/installer/steps/uninstall_process_launcher_impl.h"

#include <windows.h>

#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/test_environment.h"
#include "base/win/scoped_com_initializer.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/steps/test/component_stand_in.h"
#include "desktop/windows/installer/test/installer_test_support.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class UninstallProcessLauncherImplTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.CreateUniqueTempDir()); }

  // A copy of the component installer stand-in following |instruction|.
  base::FilePath PlaceProgram(const std::string& instruction) {
    const base::FilePath program = folder_.GetPath().Append(L"program.exe");
    EXPECT_TRUE(PlaceComponentStandIn(L"component_installer_stub.exe", program, instruction));
    return program;
  }

  base::win::ScopedCOMInitializer com_;
  base::ScopedTempDir folder_;
};

TEST_F(UninstallProcessLauncherImplTest, RunsTheProgramWithItsParametersToItsEnd) {
  const base::FilePath program = PlaceProgram("3");
  // The program is named through an environment string, as reinstall
  // commands are.
  wchar_t temp[MAX_PATH];
  ASSERT_NE(0u, ::GetEnvironmentVariableW(L"TMP", temp, MAX_PATH));
  const std::wstring temp_folder(temp);
  ASSERT_EQ(0u, program.value().find(temp_folder));
  UninstallProcessLauncherImpl launcher;
  ASSERT_TRUE(launcher.RunAndWait(L"%TMP%" + program.value().substr(temp_folder.size()),
                                  L"--reinstall --hide"));
  // Recorded before it ended.
  EXPECT_NE(std::string::npos, StandInArguments(program).find("--reinstall --hide"));
}

TEST_F(UninstallProcessLauncherImplTest, StartsACommandThroughWmi) {
  const std::wstring started_name = base::test::UniqueName(L"wmi_started");
  base::win::ScopedHandle started(::CreateEventW(nullptr, TRUE, FALSE, started_name.c_str()));
  ASSERT_TRUE(started.IsValid());
  const base::FilePath program = PlaceProgram("signal " + base::WideToUTF8(started_name));
  UninstallProcessLauncherImpl launcher;
  // Wine's Win32_Process.Create starts the process but leaves its
  // ReturnValue empty, which reads as a failure; the start is what is
  // checked here.
  launcher.StartThroughWmi(L"\"" + program.value() + L"\" --survey");
  EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(started.Get(), 60 * 1000));
  EXPECT_NE(std::string::npos, StandInArguments(program).find("--survey"));
  // Under Wine the program is a child of this process; it ends before its
  // folder goes.
  EXPECT_TRUE(EndChildProcesses(60 * 1000));
}

}  // namespace
}  // namespace installer
