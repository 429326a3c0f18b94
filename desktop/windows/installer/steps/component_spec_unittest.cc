#include "desktop/windows/installer/steps/component_spec.h"

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(ComponentSpecTest, ParsesNamesAndFoldersInOrder) {
  std::vector<ComponentSpec> specs = ParseComponentSpecs(L" pomrel : suite | | tool:extras\\tool ");
  ASSERT_EQ(2u, specs.size());
  EXPECT_EQ("pomrel", specs[0].name);
  EXPECT_EQ(L"suite", specs[0].folder.value());
  EXPECT_EQ(L"pomrel : suite", specs[0].text);
  EXPECT_EQ("tool", specs[1].name);
  EXPECT_EQ(L"extras\\tool", specs[1].folder.value());
}

TEST(ComponentSpecTest, DropsSpecificationsThatLeaveTheirFolder) {
  EXPECT_TRUE(ParseComponentSpecs(L"a:C:\\Windows").empty());
  EXPECT_TRUE(ParseComponentSpecs(L"a:\\Windows").empty());
  EXPECT_TRUE(ParseComponentSpecs(L"a:\\\\server\\share").empty());
  EXPECT_TRUE(ParseComponentSpecs(L"a:..\\..\\x").empty());
  EXPECT_TRUE(ParseComponentSpecs(L"a:x\\..\\..").empty());
  EXPECT_TRUE(ParseComponentSpecs(L"..\\a:x").empty());
  EXPECT_TRUE(ParseComponentSpecs(L"onlyname").empty());
  ASSERT_EQ(1u, ParseComponentSpecs(L"bad:..|good:ok").size());
}

TEST(ComponentSpecTest, SuiteFallsBackToThePomrelInstaller) {
  base::ScopedTempDir dir;
  ASSERT_TRUE(dir.CreateUniqueTempDir());
  EXPECT_EQ(dir.GetPath().Append(L"pomrel_installer.exe"),
            GetComponentInstallerPath(dir.GetPath(), "suite"));
  EXPECT_EQ(dir.GetPath().Append(L"tool_installer.exe"),
            GetComponentInstallerPath(dir.GetPath(), "tool"));
  ASSERT_TRUE(base::WriteFile(dir.GetPath().Append(L"suite_installer.exe"), "x"));
  EXPECT_EQ(dir.GetPath().Append(L"suite_installer.exe"),
            GetComponentInstallerPath(dir.GetPath(), "suite"));
}

}  // namespace
}  // namespace installer
