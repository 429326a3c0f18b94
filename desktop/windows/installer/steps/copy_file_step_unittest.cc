#include "desktop/windows/installer/steps/copy_file_step.h"

#include <windows.h>

#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/steps/copy_installer_helper_step.h"
#include "desktop/windows/installer/steps/copy_launcher_step.h"
#include "desktop/windows/installer/steps/copy_listed_file_step.h"
#include "desktop/windows/installer/steps/copy_pref_overrides_step.h"
#include "desktop/windows/installer/steps/copy_root_file_step.h"
#include "desktop/windows/installer/steps/copy_tracking_data_step.h"
#include "desktop/windows/installer/test/fake_step_host.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class CopyFileStepTest : public testing::Test {
 protected:
  void SetUp() override {
    base::FilePath root =
        base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"copy"));
    host_.package_folder = root.Append(L"package");
    host_.install_path = root.Append(L"install");
    host_.status.subfolder = L"1.0";
    ASSERT_TRUE(base::CreateDirectory(host_.package_folder.Append(L"sub")));
    ASSERT_TRUE(base::CreateDirectory(host_.install_path));
    ASSERT_TRUE(base::WriteFile(host_.package_folder.Append(L"sub\\a.txt"), "a"));
  }

  StepResult Run(InstallerStep* step, int attempt = 0) {
    StepResult result;
    step->Run(&result, attempt);
    return result;
  }

  FakeStepHost host_;
};

TEST_F(CopyFileStepTest, ListedFileGoesIntoTheVersionFolderAndIsRecorded) {
  CopyListedFileStep step(&host_, "sub\\a.txt");
  EXPECT_EQ(StepResult::CODE_DONE, Run(&step).code);
  std::string contents;
  EXPECT_TRUE(base::ReadFileToString(host_.install_path.Append(L"1.0\\sub\\a.txt"), &contents));
  EXPECT_EQ("a", contents);
  EXPECT_EQ(std::vector<std::wstring>{L"sub\\a.txt"}, host_.status.files);
  EXPECT_TRUE(host_.retries.empty());
  // The copy is part of the transaction.
  host_.transaction.Rollback();
  EXPECT_FALSE(base::PathExists(host_.install_path.Append(L"1.0")));
}

TEST_F(CopyFileStepTest, RootFileGoesIntoTheInstallFolderAndIsRecorded) {
  CopyRootFileStep step(&host_, "sub\\a.txt");
  EXPECT_EQ(StepResult::CODE_DONE, Run(&step).code);
  EXPECT_TRUE(base::PathExists(host_.install_path.Append(L"sub\\a.txt")));
  EXPECT_EQ(std::vector<std::wstring>{L"sub\\a.txt"}, host_.status.root_files);
}

TEST_F(CopyFileStepTest, LockedDestinationAsksForARetryWithTheDestination) {
  base::FilePath destination = host_.install_path.Append(L"1.0\\sub\\a.txt");
  ASSERT_TRUE(base::CreateDirectory(destination.DirName()));
  ASSERT_TRUE(base::WriteFile(destination, "old"));
  base::win::ScopedHandle lock(::CreateFileW(destination.value().c_str(), GENERIC_READ, 0,
                                             nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(lock.IsValid());
  CopyListedFileStep step(&host_, "sub\\a.txt");
  StepResult result = Run(&step, 2);
  EXPECT_EQ(StepResult::CODE_RETRY_THEN_FAIL, result.code);
  EXPECT_EQ(ERROR_CATEGORY_FILE_COPY, result.category);
  EXPECT_EQ(destination.value(), result.detail);
  EXPECT_EQ("Failed copying sub\\a.txt", result.message);
  EXPECT_EQ(std::vector<std::string>{"file_copy_retry"}, host_.retries);
  EXPECT_TRUE(host_.status.files.empty());
  lock.Close();
  std::string contents;
  ASSERT_TRUE(base::ReadFileToString(destination, &contents));
  EXPECT_EQ("old", contents);
}

TEST_F(CopyFileStepTest, MissingOptionalFileIsPassedOverWithoutRetry) {
  host_.tracking_data = "no_such_file";
  CopyTrackingDataStep tracking(&host_);
  EXPECT_EQ(StepResult::CODE_DONE, Run(&tracking).code);
  EXPECT_FALSE(base::PathExists(host_.install_path.Append(L"server_tracking_data")));
  CopyPrefOverridesStep overrides(&host_);
  EXPECT_EQ(StepResult::CODE_DONE, Run(&overrides).code);
  EXPECT_TRUE(host_.transaction.empty());
}

TEST_F(CopyFileStepTest, TrackingDataIsCopiedUnderItsFixedName) {
  ASSERT_TRUE(base::WriteFile(host_.package_folder.Append(L"t.json"), "{}"));
  host_.tracking_data = "t.json";
  CopyTrackingDataStep step(&host_);
  EXPECT_EQ(StepResult::CODE_DONE, Run(&step).code);
  EXPECT_TRUE(base::PathExists(host_.install_path.Append(L"server_tracking_data")));
}

TEST_F(CopyFileStepTest, PrefOverridesThatAreNotJsonAreLeftOut) {
  ASSERT_TRUE(base::WriteFile(host_.package_folder.Append(L"pref_default_overrides"), "{nope"));
  CopyPrefOverridesStep step(&host_);
  EXPECT_EQ(StepResult::CODE_DONE, Run(&step).code);
  EXPECT_FALSE(base::PathExists(host_.install_path.Append(L"pref_default_overrides")));
  ASSERT_TRUE(base::WriteFile(host_.package_folder.Append(L"pref_default_overrides"), "[1]"));
  EXPECT_EQ(StepResult::CODE_DONE, Run(&step).code);
  EXPECT_TRUE(base::PathExists(host_.install_path.Append(L"pref_default_overrides")));
}

TEST_F(CopyFileStepTest, FailedOptionalCopyGoesOnAfterItsRetries) {
  // The package carries the helper, but its destination folder is a file.
  ASSERT_TRUE(base::WriteFile(host_.package_folder.Append(L"installer_helper_64.exe"), "h"));
  ASSERT_TRUE(base::WriteFile(host_.package_folder.Append(L"installer_helper.exe"), "h"));
  ASSERT_TRUE(base::WriteFile(host_.install_path.Append(L"1.0"), "not a folder"));
  CopyInstallerHelperStep step(&host_);
  StepResult result = Run(&step);
  EXPECT_EQ(StepResult::CODE_RETRY_THEN_CONTINUE, result.code);
  EXPECT_EQ(ERROR_CATEGORY_FILE_COPY, result.category);
  EXPECT_TRUE(host_.status.files.empty());
}

TEST_F(CopyFileStepTest, InstallerHelperOfTheSystemsArchitectureIsCopiedAndRecorded) {
  ASSERT_TRUE(base::WriteFile(host_.package_folder.Append(L"installer_helper_64.exe"), "64"));
  ASSERT_TRUE(base::WriteFile(host_.package_folder.Append(L"installer_helper.exe"), "32"));
  CopyInstallerHelperStep step(&host_);
  EXPECT_EQ(StepResult::CODE_DONE, Run(&step).code);
  // A 64-bit test runs on 64-bit Windows only.
  EXPECT_EQ(std::vector<std::wstring>{L"installer_helper_64.exe"}, host_.status.files);
  std::string contents;
  ASSERT_TRUE(base::ReadFileToString(
      host_.install_path.Append(L"1.0").Append(L"installer_helper_64.exe"), &contents));
  EXPECT_EQ("64", contents);
  EXPECT_FALSE(base::PathExists(host_.install_path.Append(L"1.0").Append(L"installer_helper.exe")));
}

// The launcher procedure on its own, after the launcher's copy into the
// install folder.
class LauncherProcedure : public CopyLauncherStep {
 public:
  using CopyLauncherStep::CopyLauncherStep;
  using CopyLauncherStep::OnFileCopied;
};

TEST_F(CopyFileStepTest, LauncherThatCannotTakeTheBrowserNameLeavesTheBrowserInPlace) {
  // The package's launcher cannot be read any more: the copy under the
  // browser's name fails after the browser was moved aside.
  ASSERT_TRUE(base::WriteFile(host_.install_path.Append(L"velto.exe"), "previous"));
  ASSERT_TRUE(base::WriteFile(host_.install_path.Append(L"velto.old"), "older"));
  LauncherProcedure step(&host_);
  step.OnFileCopied();
  std::string contents;
  ASSERT_TRUE(base::ReadFileToString(host_.install_path.Append(L"velto.exe"), &contents));
  EXPECT_EQ("previous", contents);
  ASSERT_TRUE(base::ReadFileToString(host_.install_path.Append(L"velto.old"), &contents));
  EXPECT_EQ("older", contents);
  EXPECT_TRUE(host_.transaction.empty());
}

TEST_F(CopyFileStepTest, LauncherAloneLeavesTheBrowserAlone) {
  ASSERT_TRUE(base::WriteFile(host_.package_folder.Append(L"launcher.exe"), "new launcher"));
  ASSERT_TRUE(base::WriteFile(host_.install_path.Append(L"velto.exe"), "browser"));
  CopyLauncherStep step(&host_);
  EXPECT_EQ(StepResult::CODE_DONE, Run(&step).code);
  std::string contents;
  ASSERT_TRUE(base::ReadFileToString(host_.install_path.Append(L"velto.exe"), &contents));
  EXPECT_EQ("browser", contents);
  EXPECT_TRUE(base::PathExists(host_.install_path.Append(L"launcher.exe")));
}

TEST_F(CopyFileStepTest, NameLeavingTheFoldersFailsWithoutCopying) {
  CopyRootFileStep step(&host_, "..\\package\\sub\\a.txt");
  EXPECT_EQ(StepResult::CODE_FAILED, Run(&step).code);
  EXPECT_TRUE(host_.transaction.empty());
}

// No tracking data given, or tracking data named outside the package: the
// optional file is left out and the run goes on.
TEST_F(CopyFileStepTest, OptionalFileNotGivenOrOutsideThePackageIsLeftOut) {
  for (const char* name : {"", "..\\install\\x", "C:\\Windows\\win.ini"}) {
    host_.tracking_data = name;
    CopyTrackingDataStep step(&host_);
    EXPECT_EQ(StepResult::CODE_DONE, Run(&step).code) << name;
    EXPECT_FALSE(base::PathExists(host_.install_path.Append(L"server_tracking_data")));
  }
  EXPECT_TRUE(host_.transaction.empty());
  EXPECT_TRUE(host_.retries.empty());
}

}  // namespace
}  // namespace installer
