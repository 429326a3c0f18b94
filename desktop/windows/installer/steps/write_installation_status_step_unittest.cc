#include "desktop/windows/installer/steps/write_installation_status_step.h"

#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "desktop/windows/installer/service/installation_status_reader_factory.h"
#include "desktop/windows/installer/test/fake_step_host.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class WriteInstallationStatusStepTest : public testing::Test {
 protected:
  void SetUp() override {
    host_.install_path =
        base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"status"));
    ASSERT_TRUE(base::CreateDirectory(host_.install_path));
    host_.status.version = "48.0.1.2";
    host_.status.subfolder = L"48.0.1.2";
    host_.status.files = {L"velto.exe"};
  }
  base::FilePath StatusFile() const { return host_.install_path.Append(L"installation_status.json"); }

  FakeStepHost host_;
};

TEST_F(WriteInstallationStatusStepTest, WritesTheRunsRecord) {
  WriteInstallationStatusStep step(&host_);
  StepResult result;
  step.Run(&result, 0);
  EXPECT_EQ(StepResult::CODE_DONE, result.code);
  std::string error;
  std::unique_ptr<InstallationStatus> read = ReadInstallationStatusFile(StatusFile(), PRIMARY, &error);
  ASSERT_TRUE(read) << error;
  EXPECT_EQ(host_.status.files, read->files);
  EXPECT_EQ("48.0.1.2", read->version);
}

TEST_F(WriteInstallationStatusStepTest, RollbackPutsThePreviousFileBack) {
  ASSERT_TRUE(base::WriteFile(StatusFile(), "previous"));
  WriteInstallationStatusStep step(&host_);
  StepResult result;
  step.Run(&result, 0);
  ASSERT_EQ(StepResult::CODE_DONE, result.code);
  host_.transaction.Rollback();
  std::string contents;
  ASSERT_TRUE(base::ReadFileToString(StatusFile(), &contents));
  EXPECT_EQ("previous", contents);
  // Nothing else is left beside it.
  EXPECT_TRUE(base::DeleteFile(StatusFile()));
  EXPECT_TRUE(base::IsDirectoryEmpty(host_.install_path));
}

TEST_F(WriteInstallationStatusStepTest, UnwritableFolderFailsTheRun) {
  host_.install_path = host_.install_path.Append(L"missing");
  WriteInstallationStatusStep step(&host_);
  StepResult result;
  step.Run(&result, 0);
  EXPECT_EQ(StepResult::CODE_FAILED, result.code);
  EXPECT_EQ(ERROR_CATEGORY_INSTALLATION, result.category);
  EXPECT_EQ("Failed saving the installation status", result.message);
}

}  // namespace
}  // namespace installer
