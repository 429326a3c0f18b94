#include "desktop/windows/installer/steps/write_installer_prefs_step.h"

#include "base/at_exit.h"
#include "base/files/file_util.h"
#include "base/json/json_reader.h"
#include "base/test/test_environment.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/test/fake_settings.h"
#include "desktop/windows/installer/test/fake_step_host.h"
#include "features/feature_registry.h"
#include "features/feature_table.h"
#include "features/features.h"
#include "features/installer_features.h"
#include "features/list_value_feature_reader.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class WriteInstallerPrefsStepTest : public testing::Test {
 protected:
  void SetUp() override {
    base::FilePath root =
        base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"prefs"));
    host_.install_path = root.Append(L"install");
    host_.package_folder = root.Append(L"package");
    ASSERT_TRUE(base::CreateDirectory(host_.install_path));
    ASSERT_TRUE(base::CreateDirectory(host_.package_folder));
    host_.settings = &settings_;
    settings_.language = L"de";
    settings_.niuid = "niuid-1";
    settings_.Set(IMPORT_BROWSER_DATA, true);
  }

  base::Value::Dict Written() {
    WriteInstallerPrefsStep step(&host_);
    StepResult result;
    step.Run(&result, 0);
    EXPECT_EQ(StepResult::CODE_DONE, result.code);
    std::string contents;
    EXPECT_TRUE(base::ReadFileToString(host_.install_path.Append(L"installer_prefs.json"),
                                       &contents));
    std::optional<base::Value::Dict> dict = base::JSONReader::ReadDict(contents);
    return dict ? std::move(*dict) : base::Value::Dict();
  }

  base::ShadowingAtExitManager at_exit_;
  FakeSettings settings_;
  FakeStepHost host_;
};

TEST_F(WriteInstallerPrefsStepTest, WritesTheSettingsAndEveryExperiment) {
  ASSERT_TRUE(base::WriteFile(host_.package_folder.Append(L"installer_prefs_include.json"),
                              "{\"welcome-url\": \"https://w.example/\"}"));
  host_.command_line.AppendSwitchASCII(switches::kTempFolder, "C:\\t");
  base::Value::Dict prefs = Written();
  EXPECT_EQ("https://w.example/", *prefs.FindString("welcome-url"));
  EXPECT_EQ("de", *prefs.FindString("language"));
  EXPECT_EQ("niuid-1", *prefs.FindString("installer_id"));
  EXPECT_EQ("C:\\t", *prefs.FindString("temp_folder"));
  EXPECT_EQ(false, prefs.FindBool("single_profile"));
  EXPECT_EQ(false, prefs.FindBool("autoupdate"));
  EXPECT_EQ(true, prefs.FindBool("import_browser_data"));
  EXPECT_EQ(false, prefs.FindBool("enable_stats"));
  EXPECT_FALSE(prefs.Find("profile_path"));
}

TEST_F(WriteInstallerPrefsStepTest, ExperimentsListEveryRowAndTheChangedOnes) {
  RegisterInstallerFeatures(GetFeatureRegistry());
  base::Value::Dict prefs = Written();
  const base::Value::List* all = prefs.FindList("all-installer-experiments");
  ASSERT_TRUE(all);
  ASSERT_EQ(GetInstallerFeatureTable().size(), all->size());
  for (size_t i = 0; i < all->size(); ++i) {
    const FeatureTableRow& row = GetInstallerFeatureTable()[i];
    EXPECT_EQ(std::string(row.switch_name) + (IsFeatureEnabledByDefault(row) ? "@1" : "@2"),
              (*all)[i].GetString());
  }
  ASSERT_TRUE(prefs.FindList("installer-experiments"));
  EXPECT_TRUE(prefs.FindList("installer-experiments")->empty());

  base::Value::List stored;
  stored.Append("installer-experiment-test@1");
  GetFeatureRegistry()->ApplyReader(ListValueFeatureReader(stored));
  prefs = Written();
  ASSERT_TRUE(prefs.FindList("installer-experiments"));
  EXPECT_EQ(stored, *prefs.FindList("installer-experiments"));
  EXPECT_EQ("installer-experiment-test@1", (*prefs.FindList("all-installer-experiments"))[0]);
}

TEST_F(WriteInstallerPrefsStepTest, AutoupdateKeepsImportAndStatsAsTheyWere) {
  ASSERT_TRUE(base::WriteFile(host_.install_path.Append(L"installer_prefs.json"),
                              "{\"enable_stats\": true, \"other\": 5}"));
  settings_.Set(AUTOUPDATE, true);
  base::Value::Dict prefs = Written();
  EXPECT_EQ(true, prefs.FindBool("autoupdate"));
  EXPECT_EQ(true, prefs.FindBool("enable_stats"));
  EXPECT_FALSE(prefs.Find("import_browser_data"));
  EXPECT_EQ(5, prefs.FindInt("other"));
}

TEST_F(WriteInstallerPrefsStepTest, NonStringWelcomeUrlIsNotWritten) {
  ASSERT_TRUE(base::WriteFile(host_.package_folder.Append(L"installer_prefs_include.json"),
                              "{\"welcome-url\": 3}"));
  EXPECT_FALSE(Written().Find("welcome-url"));
}

TEST_F(WriteInstallerPrefsStepTest, RollbackLeavesThePreviousFile) {
  base::FilePath path = host_.install_path.Append(L"installer_prefs.json");
  ASSERT_TRUE(base::WriteFile(path, "{\"language\": \"fr\"}"));
  Written();
  host_.transaction.Rollback();
  std::string contents;
  ASSERT_TRUE(base::ReadFileToString(path, &contents));
  EXPECT_EQ("{\"language\": \"fr\"}", contents);
}

}  // namespace
}  // namespace installer
