#include "desktop/windows/installer/steps/preserve_installer_status_step.h"

#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "base/time/clock.h"
#include "desktop/windows/installer/test/fake_step_host.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class FixedClock : public base::Clock {
 public:
  base::Time Now() const override { return base::Time::FromTimeT(1500000000); }
};

class PreserveInstallerStatusStepTest : public testing::Test {
 protected:
  void SetUp() override {
    host_.install_path =
        base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"keep"));
    ASSERT_TRUE(base::CreateDirectory(host_.install_path));
    host_.environment.clock = &clock_;
  }
  void Run() {
    PreserveInstallerStatusStep step(&host_);
    StepResult result;
    step.Run(&result, 0);
    EXPECT_EQ(StepResult::CODE_DONE, result.code);
  }

  FixedClock clock_;
  FakeStepHost host_;
};

TEST_F(PreserveInstallerStatusStepTest, MovesTheJsonStatusFirst) {
  ASSERT_TRUE(base::WriteFile(host_.install_path.Append(L"installation_status.json"), "j"));
  ASSERT_TRUE(base::WriteFile(host_.install_path.Append(L"velto_install_log.xml"), "x"));
  Run();
  EXPECT_TRUE(base::PathExists(
      host_.install_path.Append(L"old_status\\installation_status.json.1500000000")));
  EXPECT_TRUE(base::PathExists(host_.install_path.Append(L"velto_install_log.xml")));
  host_.transaction.Rollback();
  EXPECT_TRUE(base::PathExists(host_.install_path.Append(L"installation_status.json")));
  EXPECT_FALSE(base::PathExists(host_.install_path.Append(L"old_status")));
}

TEST_F(PreserveInstallerStatusStepTest, FormerEngineLogIsMovedWhenAlone) {
  ASSERT_TRUE(base::WriteFile(host_.install_path.Append(L"velto_install_log.xml"), "x"));
  Run();
  EXPECT_TRUE(base::PathExists(
      host_.install_path.Append(L"old_status\\velto_install_log.xml.1500000000")));
}

TEST_F(PreserveInstallerStatusStepTest, NothingToKeepChangesNothing) {
  Run();
  EXPECT_TRUE(host_.transaction.empty());
  EXPECT_TRUE(base::IsDirectoryEmpty(host_.install_path));
}

}  // namespace
}  // namespace installer
