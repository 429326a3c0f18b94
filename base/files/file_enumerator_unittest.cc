#include "base/files/file_enumerator.h"

#include <set>

#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace base {
namespace {

class FileEnumeratorTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = FilePath(test::ScratchFolder()).Append(test::UniqueName(L"enum"));
    // root: a.txt b.lnk sub\ c.txt deeper\ d.lnk ; sub.lnk\ (a folder named like a match)
    ASSERT_TRUE(CreateDirectory(root_.Append(L"sub\\deeper")));
    ASSERT_TRUE(CreateDirectory(root_.Append(L"sub.lnk")));
    ASSERT_TRUE(WriteFile(root_.Append(L"a.txt"), "aaa"));
    ASSERT_TRUE(WriteFile(root_.Append(L"b.lnk"), "b"));
    ASSERT_TRUE(WriteFile(root_.Append(L"sub\\c.txt"), "c"));
    ASSERT_TRUE(WriteFile(root_.Append(L"sub\\deeper\\d.lnk"), "d"));
  }
  void TearDown() override { DeletePathRecursively(root_); }

  // Relative paths of everything the enumerator returns.
  std::set<std::wstring> Collect(bool recursive, int types, const std::wstring& pattern = {}) {
    FileEnumerator enumerator(root_, recursive, types, pattern);
    std::set<std::wstring> found;
    for (FilePath path = enumerator.Next(); !path.empty(); path = enumerator.Next()) {
      FilePath relative;
      EXPECT_TRUE(root_.AppendRelativePath(path, &relative));
      EXPECT_EQ(path.BaseName(), enumerator.GetInfo().GetName());
      EXPECT_TRUE(found.insert(relative.value()).second) << "twice: " << path.AsUTF8Unsafe();
    }
    return found;
  }

  FilePath root_;
};

TEST_F(FileEnumeratorTest, TopLevelFilesAndFolders) {
  EXPECT_EQ((std::set<std::wstring>{L"a.txt", L"b.lnk"}), Collect(false, FileEnumerator::FILES));
  EXPECT_EQ((std::set<std::wstring>{L"sub", L"sub.lnk"}),
            Collect(false, FileEnumerator::DIRECTORIES));
}

TEST_F(FileEnumeratorTest, RecursionWalksFoldersThatDoNotMatchThePattern) {
  EXPECT_EQ((std::set<std::wstring>{L"a.txt", L"b.lnk", L"sub", L"sub.lnk", L"sub\\c.txt",
                                    L"sub\\deeper", L"sub\\deeper\\d.lnk"}),
            Collect(true, FileEnumerator::FILES | FileEnumerator::DIRECTORIES));
  EXPECT_EQ((std::set<std::wstring>{L"b.lnk", L"sub\\deeper\\d.lnk"}),
            Collect(true, FileEnumerator::FILES, L"*.lnk"));
  EXPECT_EQ((std::set<std::wstring>{L"b.lnk", L"sub.lnk", L"sub\\deeper\\d.lnk"}),
            Collect(true, FileEnumerator::FILES | FileEnumerator::DIRECTORIES, L"*.lnk"));
  EXPECT_EQ((std::set<std::wstring>{L"b.lnk"}), Collect(false, FileEnumerator::FILES, L"*.lnk"));
}

TEST_F(FileEnumeratorTest, InfoDescribesTheEntry) {
  FileEnumerator enumerator(root_, false, FileEnumerator::FILES, L"a.*");
  FilePath path = enumerator.Next();
  ASSERT_EQ(root_.Append(L"a.txt"), path);
  FileEnumerator::FileInfo info = enumerator.GetInfo();
  EXPECT_EQ(3, info.GetSize());
  EXPECT_FALSE(info.IsDirectory());
  EXPECT_GT(info.GetLastModifiedTime(), 0);
  EXPECT_TRUE(enumerator.Next().empty());
  EXPECT_TRUE(enumerator.Next().empty());  // Stays at the end.
}

TEST_F(FileEnumeratorTest, MissingRootYieldsNothing) {
  FileEnumerator enumerator(root_.Append(L"missing"), true,
                            FileEnumerator::FILES | FileEnumerator::DIRECTORIES);
  EXPECT_TRUE(enumerator.Next().empty());
}

}  // namespace
}  // namespace base
