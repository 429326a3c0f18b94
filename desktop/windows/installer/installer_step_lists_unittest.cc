#include "desktop/windows/installer/installer_step_lists.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <typeinfo>
#include <vector>

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

}  // namespace
}  // namespace installer
