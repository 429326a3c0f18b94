#include "desktop/windows/installer/steps/preserve_installer_status_step.h"

#include <windows.h>

#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "base/time/clock.h"
#include "base/win/scoped_handle.h"
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
  StepResult RunStep() {
    PreserveInstallerStatusStep step(&host_);
    StepResult result;
    step.Run(&result, 0);
    return result;
  }
  void Run() { EXPECT_EQ(StepResult::CODE_DONE, RunStep().code); }
  std::string Read(const std::wstring& name) {
    std::string contents;
    base::ReadFileToString(host_.install_path.Append(name), &contents);
    return contents;
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

// The status is the only record of the version folder it names: an upgrade
// that cannot keep it must not go on to replace it.
TEST_F(PreserveInstallerStatusStepTest, StatusThatCannotBeMovedFailsTheStep) {
  const base::FilePath status = host_.install_path.Append(L"installation_status.json");
  ASSERT_TRUE(base::WriteFile(status, "j"));
  base::win::ScopedHandle holder(::CreateFileW(status.value().c_str(), GENERIC_READ, 0, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder.IsValid());
  StepResult result = RunStep();
  holder.Close();
  EXPECT_EQ(StepResult::CODE_RETRY_THEN_FAIL, result.code);
  EXPECT_EQ(ERROR_CATEGORY_INSTALLATION, result.category);
  EXPECT_EQ("Failed preserving the previous installation status", result.message);
  EXPECT_EQ("j", Read(L"installation_status.json"));

  // Nor when its folder cannot be made.
  host_.transaction.Rollback();
  ASSERT_TRUE(base::WriteFile(host_.install_path.Append(L"old_status"), "a file"));
  EXPECT_EQ(StepResult::CODE_RETRY_THEN_FAIL, RunStep().code);
  EXPECT_EQ("j", Read(L"installation_status.json"));
}

// A status kept in the same second (by an upgrade a moment ago) keeps its
// name; this one takes the next free second.
TEST_F(PreserveInstallerStatusStepTest, KeptStatusOfTheSameSecondStays) {
  ASSERT_TRUE(base::CreateDirectory(host_.install_path.Append(L"old_status")));
  ASSERT_TRUE(base::WriteFile(
      host_.install_path.Append(L"old_status\\installation_status.json.1500000000"), "earlier"));
  ASSERT_TRUE(base::WriteFile(host_.install_path.Append(L"installation_status.json"), "j"));
  Run();
  host_.CommitTransaction();
  EXPECT_EQ("earlier", Read(L"old_status\\installation_status.json.1500000000"));
  EXPECT_EQ("j", Read(L"old_status\\installation_status.json.1500000001"));
}

TEST_F(PreserveInstallerStatusStepTest, NothingToKeepChangesNothing) {
  Run();
  EXPECT_TRUE(host_.transaction.empty());
  EXPECT_TRUE(base::IsDirectoryEmpty(host_.install_path));
}

}  // namespace
}  // namespace installer
