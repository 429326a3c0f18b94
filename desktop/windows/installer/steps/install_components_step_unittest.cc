#include "desktop/windows/installer/steps/install_components_step.h"

#include <windows.h>
#include <tlhelp32.h>

#include <memory>
#include <string>

#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/test_environment.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/protected_folder.h"
#include "desktop/windows/installer/service/test/fake_privileges.h"
#include "desktop/windows/installer/service/test/signature_fixtures.h"
#include "desktop/windows/installer/settings_switches.h"
#include "desktop/windows/installer/steps/test/component_stand_in.h"
#include "desktop/windows/installer/steps/test/step_test.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class InstallComponentsStepTest : public StepTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.CreateUniqueTempDir());
    host_.package_folder = root_.GetPath().Append(L"package");
    host_.install_path = root_.GetPath().Append(L"install");
    ASSERT_TRUE(base::CreateDirectory(host_.package_folder));
    ASSERT_TRUE(base::CreateDirectory(host_.install_path));
    ASSERT_TRUE(TrustTestRoots());
    // Not elevated unless a test says so (under Wine every process is).
    host_.environment.privileges = &privileges_;
  }

  // Puts the fixture |fixture| beside the package as the installer of
  // |name| in |folder|, exiting as |exit_instruction| says.
  base::FilePath PlaceInstaller(const wchar_t* fixture, const std::wstring& folder,
                                const std::wstring& name, const std::string& exit_instruction) {
    base::FilePath dir = root_.GetPath().Append(folder);
    EXPECT_TRUE(base::CreateDirectory(dir));
    base::FilePath installer = dir.Append(name + L"_installer.exe");
    EXPECT_TRUE(PlaceComponentStandIn(fixture, installer, exit_instruction));
    return installer;
  }

  void SetComponents(const std::wstring& value) {
    host_.command_line.AppendSwitchNative(switches::kComponents, value);
  }

  void RunStep(DWORD wait_limit_ms = InstallComponentsStep::kDefaultWaitLimitMs) {
    // Signature checks read the system's providers from the real machine hive.
    ScopedRealLocalMachine real_machine;
    InstallComponentsStep step(&host_, wait_limit_ms);
    EXPECT_EQ(0u, RunOnce(&step).code);
  }

  base::ScopedTempDir root_;
  FakePrivileges privileges_;
};

// An elevated run starts no component installer from a folder that another
// account may have put a library beside it in.
TEST_F(InstallComponentsStepTest, ElevatedRunStartsNoInstallerOutsideAProtectedFolder) {
  privileges_.elevated = true;
  base::FilePath installer = PlaceInstaller(L"expected_signer.exe", L"suite", L"pomrel", "0");
  SetComponents(L"pomrel:suite");
  RunStep();
  EXPECT_TRUE(StandInArguments(installer).empty());
  EXPECT_TRUE(host_.status.components.empty());
}

TEST_F(InstallComponentsStepTest, ElevatedRunStartsAnInstallerInAProtectedFolder) {
  privileges_.elevated = true;
  std::string error;
  std::unique_ptr<ProtectedFolder> folder = ProtectedFolder::Create(root_.GetPath(), &error);
  ASSERT_TRUE(folder) << error;
  host_.package_folder = folder->path().Append(L"package");
  ASSERT_TRUE(base::CreateDirectory(host_.package_folder));
  const base::FilePath installer = folder->path().Append(L"suite\\pomrel_installer.exe");
  ASSERT_TRUE(base::CreateDirectory(installer.DirName()));
  ASSERT_TRUE(PlaceComponentStandIn(L"expected_signer.exe", installer, "0"));
  SetComponents(L"pomrel:suite");
  RunStep();
  EXPECT_FALSE(StandInArguments(installer).empty());
  ASSERT_EQ(1u, host_.status.components.size());
}

TEST_F(InstallComponentsStepTest, RunsSignedInstallersInOrderAndRecordsThem) {
  settings_.Set(ALL_USERS_FLAG, true);
  base::FilePath pomrel = PlaceInstaller(L"expected_signer.exe", L"suite", L"pomrel", "0");
  base::FilePath tool = PlaceInstaller(L"expected_signer.exe", L"tools", L"tool", "0");
  SetComponents(L"pomrel:suite|tool:tools");
  RunStep();

  std::string arguments = StandInArguments(pomrel);
  EXPECT_NE(std::string::npos,
            arguments.find("--installfolder=\"" +
                           host_.install_path.Append(L"suite").AsUTF8Unsafe() + "\""))
      << arguments;
  EXPECT_NE(std::string::npos, arguments.find("--copyonly=0")) << arguments;
  EXPECT_NE(std::string::npos, arguments.find("--allusers=1")) << arguments;
  ASSERT_EQ(2u, host_.status.components.size());
  EXPECT_EQ("pomrel", host_.status.components[0].name);
  EXPECT_EQ(host_.install_path.Append(L"suite").value(), host_.status.components[0].path);
  EXPECT_EQ("tool", host_.status.components[1].name);
  EXPECT_FALSE(StandInArguments(tool).empty());
}

TEST_F(InstallComponentsStepTest, SuiteRunsThePomrelInstallerOfItsFolder) {
  base::FilePath pomrel = PlaceInstaller(L"expected_signer.exe", L"suite", L"pomrel", "0");
  SetComponents(L"suite:suite");
  RunStep();
  EXPECT_FALSE(StandInArguments(pomrel).empty());
  ASSERT_EQ(1u, host_.status.components.size());
  EXPECT_EQ("suite", host_.status.components[0].name);
}

TEST_F(InstallComponentsStepTest, ComponentThatFailsIsNotRecorded) {
  base::FilePath installer = PlaceInstaller(L"expected_signer.exe", L"suite", L"pomrel", "3");
  SetComponents(L"pomrel:suite");
  RunStep();
  EXPECT_FALSE(StandInArguments(installer).empty());
  EXPECT_TRUE(host_.status.components.empty());
}

TEST_F(InstallComponentsStepTest, BadlySignedOrUnsignedInstallersNeverRun) {
  base::FilePath other = PlaceInstaller(L"other_signer.exe", L"a", L"other", "0");
  base::FilePath unsigned_file =
      PlaceInstaller(L"component_installer_stub.exe", L"b", L"plain", "0");
  SetComponents(L"other:a|plain:b|missing:c");
  RunStep();
  EXPECT_FALSE(base::PathExists(base::FilePath(other.value() + L".args")));
  EXPECT_FALSE(base::PathExists(base::FilePath(unsigned_file.value() + L".args")));
  EXPECT_TRUE(host_.status.components.empty());
}

TEST_F(InstallComponentsStepTest, UpgradeKeepsRecordedComponentsWithoutDuplicates) {
  settings_.operation = UPGRADING;
  details_.record = std::make_unique<InstallationStatus>(PRIMARY);
  details_.record->components.push_back({"pomrel", L"C:\\old\\suite"});
  PlaceInstaller(L"expected_signer.exe", L"suite", L"pomrel", "0");
  PlaceInstaller(L"expected_signer.exe", L"tools", L"tool", "0");
  SetComponents(L"pomrel:suite|tool:tools");
  RunStep();
  ASSERT_EQ(2u, host_.status.components.size());
  EXPECT_EQ(L"C:\\old\\suite", host_.status.components[0].path);
  EXPECT_EQ("tool", host_.status.components[1].name);
}

TEST_F(InstallComponentsStepTest, AnInstallerStillRunningAtTheBoundIsRecorded) {
  const std::wstring event_name = base::test::UniqueName(L"component_release");
  base::win::ScopedHandle release(CreateEventW(nullptr, TRUE, FALSE, event_name.c_str()));
  ASSERT_TRUE(release.IsValid());
  base::FilePath installer = PlaceInstaller(L"expected_signer.exe", L"suite", L"pomrel",
                                            "wait " + base::WideToUTF8(event_name));
  SetComponents(L"pomrel:suite");
  RunStep(500);
  SetEvent(release.Get());
  // It may still install its component: an uninstall must know of it.
  ASSERT_EQ(1u, host_.status.components.size());
  EXPECT_EQ("pomrel", host_.status.components[0].name);
  EXPECT_EQ(host_.install_path.Append(L"suite").value(), host_.status.components[0].path);
}

TEST_F(InstallComponentsStepTest, AStandInLeftWaitingEndsWithTheProcessThatStartedIt) {
  // A test process that is killed never releases the stand-in it started;
  // the stand-in must not keep the folder it runs from in use for good.
  const std::wstring event_name = base::test::UniqueName(L"component_never_released");
  base::win::ScopedHandle never_set(CreateEventW(nullptr, TRUE, FALSE, event_name.c_str()));
  ASSERT_TRUE(never_set.IsValid());
  const base::FilePath installer =
      PlaceInstaller(L"component_installer_stub.exe", L"left", base::test::UniqueName(L"left"),
                     "wait " + base::WideToUTF8(event_name));
  // The command processor starts it without waiting for it, and ends.
  wchar_t system[MAX_PATH];
  ASSERT_NE(0u, GetSystemDirectoryW(system, MAX_PATH));
  const base::Process starter = base::LaunchProcess(
      L"\"" + base::FilePath(system).Append(L"cmd.exe").value() + L"\" /c start \"\" \"" +
          installer.value() + L"\"",
      base::LaunchOptions());
  ASSERT_TRUE(starter.IsValid());
  ASSERT_TRUE(starter.WaitForExitWithTimeout(60 * 1000, nullptr));

  base::Process stand_in;
  base::win::ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = snapshot.IsValid() && Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    if (installer.BaseName().value() == entry.szExeFile)
      stand_in = base::Process::Open(entry.th32ProcessID);
  }
  ASSERT_TRUE(stand_in.IsValid());
  int exit_code = 0;
  const bool ended = stand_in.WaitForExitWithTimeout(60 * 1000, &exit_code);
  if (!ended)
    stand_in.Terminate(1, /*wait=*/true);
  EXPECT_TRUE(ended);
  EXPECT_EQ(102, exit_code);
}

}  // namespace
}  // namespace installer
