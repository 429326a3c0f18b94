#include "features/installer_features.h"

#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/values.h"
#include "features/command_line_feature_reader.h"
#include "features/feature_registry.h"
#include "features/list_value_feature_reader.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// A registry as the installer sets it up at start, with the shipped product
// configuration (edition "VLO", channel 3: masks 0x4 and 0x4).
class InstallerFeaturesTest : public testing::Test {
 protected:
  InstallerFeaturesTest() { RegisterInstallerFeatures(&registry_); }

  void ApplyCommandLine(const wchar_t* text) {
    base::CommandLine command_line = base::CommandLine::FromString(text);
    registry_.ApplyReader(CommandLineFeatureReader(command_line));
  }

  FeatureRegistry registry_;
};

TEST_F(InstallerFeaturesTest, TableOrderAndShippedDefaults) {
  std::vector<std::string> names;
  for (const FeatureTableRow& row : GetInstallerFeatureTable())
    names.push_back(row.switch_name);
  EXPECT_EQ((std::vector<std::string>{
                "installer-experiment-test", "installer-download-sfx-package",
                "installer-use-minimal-package", "installer-pref-default-overrides-support",
                "installer-hide-from-program-and-features", "installer-support-x64-download"}),
            names);

  ASSERT_EQ(6u, registry_.features().size());
  for (size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(names[i], registry_.features()[i].name);

  EXPECT_TRUE(registry_.IsEnabled(kInstallerPrefDefaultOverridesSupportFeature));
  EXPECT_TRUE(registry_.IsEnabled(kInstallerSupportX64DownloadFeature));
  EXPECT_FALSE(registry_.IsEnabled(kInstallerHideFromProgramAndFeaturesFeature));
  EXPECT_FALSE(registry_.IsEnabled(kInstallerExperimentTestFeature));
  EXPECT_FALSE(registry_.IsEnabled(kInstallerDownloadSfxPackageFeature));
  EXPECT_FALSE(registry_.IsEnabled(kInstallerUseMinimalPackageFeature));
  EXPECT_FALSE(registry_.features()[4].overridable);
  EXPECT_TRUE(registry_.features()[0].overridable);
}

TEST_F(InstallerFeaturesTest, SwitchesOverrideAllButTheFixedFeature) {
  ApplyCommandLine(
      L"installer.exe --with-feature:installer-download-sfx-package "
      L"--with-feature:installer-support-x64-download=off "
      L"--with-feature:installer-hide-from-program-and-features=on "
      L"--with-feature:installer-experiment-test=yes");
  EXPECT_TRUE(registry_.IsEnabled(kInstallerDownloadSfxPackageFeature));
  EXPECT_FALSE(registry_.IsEnabled(kInstallerSupportX64DownloadFeature));
  EXPECT_FALSE(registry_.IsEnabled(kInstallerHideFromProgramAndFeaturesFeature));
  EXPECT_FALSE(registry_.IsEnabled(kInstallerExperimentTestFeature));
}

TEST_F(InstallerFeaturesTest, SwitchesWinOverStoredExperiments) {
  base::Value::List stored;
  stored.Append("installer-experiment-test@1");
  stored.Append("installer-use-minimal-package@1");
  stored.Append("installer-pref-default-overrides-support@2");
  registry_.ApplyReader(ListValueFeatureReader(stored));
  EXPECT_TRUE(registry_.IsEnabled(kInstallerExperimentTestFeature));
  EXPECT_FALSE(registry_.IsEnabled(kInstallerPrefDefaultOverridesSupportFeature));

  ApplyCommandLine(L"installer.exe --with-feature:installer-experiment-test=off");
  EXPECT_FALSE(registry_.IsEnabled(kInstallerExperimentTestFeature));
  EXPECT_TRUE(registry_.IsEnabled(kInstallerUseMinimalPackageFeature));
}

}  // namespace
}  // namespace installer
