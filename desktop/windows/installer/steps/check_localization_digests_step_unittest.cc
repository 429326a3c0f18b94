#include "desktop/windows/installer/steps/check_localization_digests_step.h"

#include "base/base64.h"
#include "base/files/file_util.h"
#include "base/path_service.h"
#include "base/test/test_environment.h"
#include "desktop/windows/installer/steps/file_digest.h"
#include "desktop/windows/installer/steps/localization_digests.h"
#include "desktop/windows/installer/test/fake_step_host.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class CheckLocalizationDigestsStepTest : public testing::Test {
 protected:
  void SetUp() override {
    host_.package_folder =
        base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"l10n"));
    ASSERT_TRUE(base::CreateDirectory(host_.package_folder.Append(L"localization")));
    base::FilePath exe_folder;
    ASSERT_TRUE(base::PathService::Get(base::DIR_EXE, &exe_folder));
    // The build's own localization files, from which the table was made.
    built_ = exe_folder.DirName().Append(L"localization");
    for (const wchar_t* code : {L"de", L"en-US", L"fr"}) {
      std::wstring name = std::wstring(code) + L".pak";
      ASSERT_TRUE(base::CopyFile(built_.Append(name),
                                 host_.package_folder.Append(L"localization").Append(name)));
    }
  }
  uint32_t Run() {
    CheckLocalizationDigestsStep step(&host_);
    StepResult result;
    step.Run(&result, 0);
    return result.code;
  }

  base::FilePath built_;
  FakeStepHost host_;
};

TEST_F(CheckLocalizationDigestsStepTest, TableHasEveryLanguage) {
  ASSERT_EQ(46u, GetLocalizationDigests().size());
  std::string path;
  ASSERT_TRUE(base::Base64Decode(GetLocalizationDigests()[0].path, &path));
  EXPECT_EQ("localization\\be.pak", path);
}

TEST_F(CheckLocalizationDigestsStepTest, MinimalPackageWithTheBuildsFilesPasses) {
  host_.minimal = true;
  EXPECT_EQ(StepResult::CODE_DONE, Run());
}

TEST_F(CheckLocalizationDigestsStepTest, OneChangedByteFailsAMinimalPackage) {
  base::FilePath german = host_.package_folder.Append(L"localization\\de.pak");
  std::string contents;
  ASSERT_TRUE(base::ReadFileToString(german, &contents));
  contents[0] ^= 1;
  ASSERT_TRUE(base::WriteFile(german, contents));
  host_.minimal = false;
  EXPECT_EQ(StepResult::CODE_DONE, Run());
  host_.minimal = true;
  EXPECT_EQ(StepResult::CODE_FAILED, Run());
}

}  // namespace
}  // namespace installer
