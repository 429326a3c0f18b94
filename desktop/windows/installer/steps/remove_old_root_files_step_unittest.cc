#include "desktop/windows/installer/steps/remove_old_root_files_step.h"

#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "desktop/windows/installer/test/fake_step_host.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(RemoveOldRootFilesStepTest, RemovesRecordedRootFilesInsideTheFolderOnly) {
  base::FilePath root =
      base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"roots"));
  FakeStepHost host;
  host.install_path = root.Append(L"install");
  ASSERT_TRUE(base::CreateDirectory(host.install_path));
  ASSERT_TRUE(base::WriteFile(host.install_path.Append(L"license.txt"), "l"));
  ASSERT_TRUE(base::WriteFile(root.Append(L"outside.txt"), "o"));
  InstallationStatus record(PRIMARY);
  record.root_files = {L"license.txt", L"missing.txt", L"..\\outside.txt",
                       root.Append(L"outside.txt").value()};
  host.record = &record;
  RemoveOldRootFilesStep step(&host);
  StepResult result;
  step.Run(&result, 0);
  EXPECT_EQ(StepResult::CODE_DONE, result.code);
  EXPECT_FALSE(base::PathExists(host.install_path.Append(L"license.txt")));
  EXPECT_TRUE(base::PathExists(root.Append(L"outside.txt")));
  host.transaction.Rollback();
  EXPECT_TRUE(base::PathExists(host.install_path.Append(L"license.txt")));
}

}  // namespace
}  // namespace installer
