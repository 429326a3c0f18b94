// The fixture of single-step tests: a FakeStepHost whose settings and folder
// analysis are fakes the test fills.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_TEST_STEP_TEST_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_TEST_STEP_TEST_H_

#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/steps/installer_step.h"
#include "desktop/windows/installer/test/fake_installation_folder_details.h"
#include "desktop/windows/installer/test/fake_settings.h"
#include "desktop/windows/installer/test/fake_step_host.h"
#include "features/features.h"
#include "gtest/gtest.h"
#include "product_config/product_config.h"

namespace installer {

class StepTest : public testing::Test {
 protected:
  StepTest() {
    // Steps read the process-wide features, which earlier tests of this
    // process may have registered or overridden.
    ResetFeatureRegistryForTesting();
    host_.settings = &settings_;
    host_.details = &details_;
  }

  // The placeholders of the registration table as the installer resolves
  // them, for the install path of |host|.
  static void SetProductVariables(FakeStepHost* host) {
    host->variables[L"InstallFolder"] = host->install_path.value();
    host->variables[L"Product"] = base::UTF8ToWide(GetProductName());
    host->variables[L"Stream"] = base::UTF8ToWide(GetStreamName());
    host->variables[L"Version"] = base::UTF8ToWide(GetVersion());
    host->variables[L"Executable"] = base::UTF8ToWide(GetBrowserExecutableName());
  }

  // Runs |step| once and returns its result.
  static StepResult RunOnce(InstallerStep* step) {
    StepResult result;
    step->Run(&result, 0);
    return result;
  }

  FakeSettings settings_;
  FakeInstallationFolderDetails details_;
  FakeStepHost host_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_TEST_STEP_TEST_H_
