#include "desktop/windows/installer/steps/component_entry.h"

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(ComponentEntryTest, ParsesNamesAndFoldersInOrder) {
  std::vector<ComponentEntry> entries = ParseComponentEntries(L" pomrel : suite | | tool:extras\\tool ");
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ("pomrel", entries[0].name);
  EXPECT_EQ(L"suite", entries[0].folder.value());
  EXPECT_EQ(L"pomrel : suite", entries[0].text);
  EXPECT_EQ("tool", entries[1].name);
  EXPECT_EQ(L"extras\\tool", entries[1].folder.value());
}

TEST(ComponentEntryTest, DropsEntriesThatLeaveTheirFolder) {
  EXPECT_TRUE(ParseComponentEntries(L"a:C:\\Windows").empty());
  EXPECT_TRUE(ParseComponentEntries(L"a:\\Windows").empty());
  EXPECT_TRUE(ParseComponentEntries(L"a:\\\\server\\share").empty());
  EXPECT_TRUE(ParseComponentEntries(L"a:..\\..\\x").empty());
  EXPECT_TRUE(ParseComponentEntries(L"a:x\\..\\..").empty());
  EXPECT_TRUE(ParseComponentEntries(L"..\\a:x").empty());
  EXPECT_TRUE(ParseComponentEntries(L"onlyname").empty());
  ASSERT_EQ(1u, ParseComponentEntries(L"bad:..|good:ok").size());
}

TEST(ComponentEntryTest, SuiteFallsBackToThePomrelInstaller) {
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
