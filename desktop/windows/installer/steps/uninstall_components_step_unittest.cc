#include "desktop/windows/installer/steps/uninstall_components_step.h"

#include <windows.h>
#include <tlhelp32.h>

#include <memory>
#include <set>
#include <string>
#include <utility>

#include "base/base_paths.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/path_service.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/test_environment.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/test/signature_fixtures.h"
#include "desktop/windows/installer/steps/test/step_test.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// The program names (lower case) of the processes running now.
std::set<std::wstring> RunningProgramNames() {
  std::set<std::wstring> names;
  base::win::ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry = {sizeof(entry)};
  if (!snapshot.IsValid() || !::Process32FirstW(snapshot.Get(), &entry))
    return names;
  do {
    names.insert(base::ToLowerASCII(entry.szExeFile));
  } while (::Process32NextW(snapshot.Get(), &entry));
  return names;
}

class UninstallComponentsStepTest : public StepTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.CreateUniqueTempDir());
    host_.install_path = root_.GetPath().Append(L"Velto");
    details_.record = std::make_unique<InstallationStatus>(PRIMARY);
    ASSERT_TRUE(TrustTestRoots());
  }

  // Places |fixture| as the installer of |name| in |folder|; it sets a fresh
  // event when it runs, which the test gets back.
  base::win::ScopedHandle Place(const wchar_t* fixture, const base::FilePath& folder,
                                const std::string& name) {
    base::FilePath exe_dir;
    base::PathService::Get(base::DIR_EXE, &exe_dir);
    EXPECT_TRUE(base::CreateDirectory(folder));
    const base::FilePath installer = folder.AppendASCII(name + "_installer.exe");
    EXPECT_TRUE(base::CopyFile(
        exe_dir.DirName().Append(L"fixtures\\components").Append(fixture), installer));
    const std::wstring event_name = base::test::UniqueName(L"component_ran");
    EXPECT_TRUE(base::WriteFile(base::FilePath(installer.value() + L".exit"),
                                "signal " + base::WideToUTF8(event_name)));
    details_.record->components.push_back({name, folder.value()});
    return base::win::ScopedHandle(CreateEventW(nullptr, TRUE, FALSE, event_name.c_str()));
  }

  base::ScopedTempDir root_;
};

TEST_F(UninstallComponentsStepTest, StartsOnlySignedUninstallersInsideTheInstallation) {
  settings_.Set(ALL_USERS_FLAG, true);
  base::win::ScopedHandle outside =
      Place(L"expected_signer.exe", root_.GetPath().Append(L"elsewhere"), "tool");
  base::win::ScopedHandle badly_signed =
      Place(L"other_signer.exe", host_.install_path.Append(L"other"), "other");
  base::win::ScopedHandle good =
      Place(L"expected_signer.exe", host_.install_path.Append(L"suite"), "pomrel");
  {
    ScopedRealLocalMachine real_machine;
    UninstallComponentsStep step(&host_);
    EXPECT_EQ(0u, RunOnce(&step).code);
  }
  // The step does not wait for the uninstallers, but has made their
  // processes when it returns: one it started either still runs now or has
  // already set its event (it does so before it ends).
  const std::set<std::wstring> running = RunningProgramNames();
  for (const auto& [name, event] :
       {std::pair<const wchar_t*, HANDLE>{L"tool_installer.exe", outside.Get()},
        {L"other_installer.exe", badly_signed.Get()}}) {
    EXPECT_FALSE(running.count(name)) << name;
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(event, 0)) << name;
  }
  // The same holds for the one it did start.
  EXPECT_TRUE(running.count(L"pomrel_installer.exe") ||
              WaitForSingleObject(good.Get(), 0) == WAIT_OBJECT_0);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(good.Get(), 60000));
  std::string arguments;
  ASSERT_TRUE(base::ReadFileToString(
      host_.install_path.Append(L"suite\\pomrel_installer.exe.args"), &arguments));
  EXPECT_NE(std::string::npos, arguments.find("--uninstall --copyonly=0 --allusers=1"))
      << arguments;
}

}  // namespace
}  // namespace installer
