#include "desktop/windows/installer/installer_step_lists.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <typeinfo>
#include <vector>

#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "desktop/windows/installer/steps/installer_step.h"
#include "desktop/windows/installer/test/fake_step_host.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

std::string ClassName(const InstallerStep& step) {
  int status = 0;
  char* name = abi::__cxa_demangle(typeid(step).name(), nullptr, nullptr, &status);
  std::string result = status == 0 ? name : typeid(step).name();
  std::free(name);
  const std::string prefix = "installer::";
  return result.rfind(prefix, 0) == 0 ? result.substr(prefix.size()) : result;
}

class InstallerStepListsTest : public testing::Test {
 protected:
  std::vector<std::string> Names(InstallationOperation operation) {
    input_.host = &host_;
    input_.files_list = &files_;
    input_.root_files_list = &roots_;
    input_.uninstall_key_name = &uninstall_key_;
    steps_ = BuildInstallerStepList(operation, input_);
    std::vector<std::string> names;
    for (const auto& step : steps_)
      names.push_back(ClassName(*step));
    return names;
  }

  FakeStepHost host_;
  std::vector<std::string> files_ = {"a", "b"};
  std::vector<std::string> roots_ = {"r"};
  std::wstring uninstall_key_;
  InstallerStepListInput input_;
  InstallerStepList steps_;
};

TEST_F(InstallerStepListsTest, InstallStepsInRunningOrder) {
  EXPECT_EQ((std::vector<std::string>{
                "CheckLocalizationDigestsStep", "CopyListedFileStep", "CopyListedFileStep",
                "CopyRootFileStep", "CopyLauncherStep", "CopyTrackingDataStep",
                "CopyPrefOverridesStep", "CopyInstallerHelperStep", "SetupRegistryStep",
                "InstallShortcutsStep", "WriteInstallerPrefsStep", "InstallComponentsStep",
                "WriteInstallationStatusStep", "SetupProtocolHandlersStep",
                "FinalizeInstallationStep"}),
            Names(INSTALLING));
}

TEST_F(InstallerStepListsTest, UpgradeStepsInRunningOrder) {
  EXPECT_EQ((std::vector<std::string>{
                "CheckLocalizationDigestsStep", "RemoveInstalledFilesStep", "CopyListedFileStep",
                "CopyListedFileStep", "RemoveOldRootFilesStep", "CopyRootFileStep",
                "CopyLauncherStep", "CopyTrackingDataStep", "CopyPrefOverridesStep",
                "CopyInstallerHelperStep", "CleanupRegistryStep", "SetupRegistryStep",
                "UpdateShortcutsStep", "WriteInstallerPrefsStep", "PreserveInstallerStatusStep",
                "InstallComponentsStep", "WriteInstallationStatusStep",
                "SetupProtocolHandlersStep", "FinalizeInstallationStep"}),
            Names(UPGRADING));
}

TEST_F(InstallerStepListsTest, UninstallAndProtocolHandlerRegistration) {
  EXPECT_EQ((std::vector<std::string>{"CleanupRegistryStep", "RemoveShortcutsStep",
                                      "FinalizeUninstallationStep", "RemoveInstalledFilesStep",
                                      "UninstallComponentsStep", "CleanupAfterUninstallStep"}),
            Names(UNINSTALLING));
  EXPECT_EQ((std::vector<std::string>{"RegisterProtocolHandlerStep", "WriteInstallerPrefsStep"}),
            Names(REGISTERING_PROTOCOL_HANDLER));
  EXPECT_TRUE(Names(INVALID_PATH).empty());
}

// One copy step per entry of each list, however long the lists.
TEST_F(InstallerStepListsTest, OneCopyStepPerListEntry) {
  files_.assign(100, "f");
  roots_.assign(3, "r");
  std::vector<std::string> install = Names(INSTALLING);
  EXPECT_EQ(100, std::count(install.begin(), install.end(), "CopyListedFileStep"));
  EXPECT_EQ(3, std::count(install.begin(), install.end(), "CopyRootFileStep"));
  EXPECT_EQ(115u, install.size());
  std::vector<std::string> upgrade = Names(UPGRADING);
  EXPECT_EQ(100, std::count(upgrade.begin(), upgrade.end(), "CopyListedFileStep"));
  EXPECT_EQ(3, std::count(upgrade.begin(), upgrade.end(), "CopyRootFileStep"));
  EXPECT_EQ(119u, upgrade.size());
}

// Out of a package folder the run owns, the listed files are moved, except
// what a later step reads from the package again (root files, the launcher,
// the helpers) and what the running installer is made of; a file listed
// twice is moved by its last copy only.
TEST_F(InstallerStepListsTest, ListedFilesALaterStepReadsAreCopiedNotMoved) {
  const base::FilePath package =
      base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"lists"));
  host_.package_folder = package.Append(L"package");
  host_.install_path = package.Append(L"install");
  host_.owns_package_folder = true;
  host_.status.subfolder = L"1.0";
  files_ = {"data\\x.bin",       "installer.exe", "Installer_Lib.dll",      "launcher.exe",
            "installer_helper.exe", "installer_helper_64.exe", "r", "twice", "twice"};
  roots_ = {"R"};
  for (const std::string& entry : files_) {
    const base::FilePath file = host_.package_folder.AppendASCII(entry);
    ASSERT_TRUE(base::CreateDirectory(file.DirName()));
    ASSERT_TRUE(base::WriteFile(file, entry));
  }
  Names(INSTALLING);
  for (const auto& step : steps_) {
    if (ClassName(*step) != "CopyListedFileStep")
      continue;
    StepResult result;
    step->Run(&result, 0);
    ASSERT_EQ(StepResult::CODE_DONE, result.code);
  }
  for (const std::string& entry : files_) {
    const bool moved = entry == "data\\x.bin" || entry == "twice";
    EXPECT_NE(moved, base::PathExists(host_.package_folder.AppendASCII(entry))) << entry;
    EXPECT_TRUE(base::PathExists(host_.install_path.Append(L"1.0").AppendASCII(entry))) << entry;
  }
  host_.transaction.Rollback();
  EXPECT_TRUE(base::PathExists(host_.package_folder.AppendASCII("twice")));
}

}  // namespace
}  // namespace installer
