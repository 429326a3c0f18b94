#include "desktop/windows/installer/steps/write_installer_prefs_step.h"

#include "base/at_exit.h"
#include "base/files/file_util.h"
#include "base/json/json_reader.h"
#include "base/test/test_environment.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/test/fake_settings.h"
#include "desktop/windows/installer/test/fake_step_host.h"
#include "features/installer_features.h"
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
  ASSERT_TRUE(prefs.FindList("all-installer-experiments"));
  EXPECT_EQ(GetInstallerFeatureTable().size(), prefs.FindList("all-installer-experiments")->size());
  ASSERT_TRUE(prefs.FindList("installer-experiments"));
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
