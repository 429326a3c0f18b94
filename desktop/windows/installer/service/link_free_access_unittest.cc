#include "desktop/windows/installer/service/link_free_access.h"

#include <windows.h>

#include <cwctype>
#include <string>

#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// Junctions cannot be made under Wine (it knows no FSCTL_SET_REPARSE_POINT);
// the checks against a link on the way are base::PassesThroughReparsePoint
// and base::IsOpenAtPath, tested with Unix links (base/test/unix_link.h) in
// base/files/file_util_unittest.cc and end to end in
// tests/e2e/test_elevated_side.py.
class LinkFreeAccessTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"links"));
    ASSERT_TRUE(base::CreateDirectory(folder_.Append(L"sub\\deeper")));
    ASSERT_TRUE(base::WriteFile(folder_.Append(L"a.txt"), "alpha"));
    ASSERT_TRUE(base::WriteFile(folder_.Append(L"sub\\b.txt"), "beta"));
    ASSERT_TRUE(base::WriteFile(folder_.Append(L"sub\\deeper\\c.txt"), "gamma"));
  }

  base::FilePath folder_;
};

TEST_F(LinkFreeAccessTest, OpensFilesAndFoldersWhereThePathSays) {
  std::string reason;
  EXPECT_TRUE(OpenWithoutLinks(folder_, true, READ_CONTROL, FILE_SHARE_READ, &reason).IsValid())
      << reason;
  EXPECT_TRUE(OpenWithoutLinks(folder_.Append(L"sub\\b.txt"), false, GENERIC_READ,
                               FILE_SHARE_READ, &reason)
                  .IsValid())
      << reason;
  // Either case, and a trailing separator, name the same folder.
  std::wstring upper = folder_.value();
  for (wchar_t& c : upper)
    c = towupper(c);
  EXPECT_TRUE(OpenWithoutLinks(base::FilePath(upper).Append(L"SUB\\"), true, READ_CONTROL, FILE_SHARE_READ,
                               &reason)
                  .IsValid())
      << reason;
  EXPECT_FALSE(base::PassesThroughReparsePoint(folder_.Append(L"sub\\deeper\\c.txt")));
  EXPECT_FALSE(base::PassesThroughReparsePoint(folder_.Append(L"not\\there\\yet")));
}

TEST_F(LinkFreeAccessTest, RefusesTheOtherKindARelativePathAndWhatIsMissing) {
  std::string reason;
  EXPECT_FALSE(
      OpenWithoutLinks(folder_.Append(L"a.txt"), true, READ_CONTROL, FILE_SHARE_READ, &reason)
          .IsValid());
  EXPECT_NE(std::string::npos, reason.find("Not a folder")) << reason;
  // A folder does not even open as a file.
  EXPECT_FALSE(OpenWithoutLinks(folder_, false, GENERIC_READ, FILE_SHARE_READ, &reason).IsValid());
  EXPECT_FALSE(OpenWithoutLinks(base::FilePath(L"sub\\b.txt"), false, GENERIC_READ,
                                FILE_SHARE_READ, &reason)
                   .IsValid());
  EXPECT_FALSE(OpenWithoutLinks(folder_.Append(L"sub\\..\\a.txt"), false, GENERIC_READ,
                                FILE_SHARE_READ, &reason)
                   .IsValid());
  EXPECT_FALSE(OpenWithoutLinks(folder_.Append(L"missing.txt"), false, GENERIC_READ,
                                FILE_SHARE_READ, &reason)
                   .IsValid());
}

// A second name of a file the user could not read himself would hand it
// over: a file with more than one name is not read.
TEST_F(LinkFreeAccessTest, RefusesAFileWithTwoNames) {
  const base::FilePath link = folder_.Append(L"second name.txt");
  ASSERT_TRUE(::CreateHardLinkW(link.value().c_str(), folder_.Append(L"a.txt").value().c_str(),
                                nullptr));
  std::string contents;
  std::string reason;
  EXPECT_FALSE(ReadFileWithoutLinks(link, 1024, &contents, &reason));
  EXPECT_NE(std::string::npos, reason.find("more than one name")) << reason;
  EXPECT_FALSE(CopyFileWithoutLinks(link, folder_.Append(L"copy.txt"), &reason));
  EXPECT_FALSE(base::PathExists(folder_.Append(L"copy.txt")));
}

TEST_F(LinkFreeAccessTest, ReadsUpToItsLimit) {
  std::string contents;
  std::string reason;
  ASSERT_TRUE(ReadFileWithoutLinks(folder_.Append(L"a.txt"), 5, &contents, &reason)) << reason;
  EXPECT_EQ("alpha", contents);
  EXPECT_FALSE(ReadFileWithoutLinks(folder_.Append(L"a.txt"), 4, &contents, &reason));
}

TEST_F(LinkFreeAccessTest, DeletesFilesAndEmptyFoldersOfTheirKind) {
  std::string reason;
  EXPECT_FALSE(DeleteWithoutLinks(folder_.Append(L"sub\\b.txt"), true, &reason));
  EXPECT_FALSE(DeleteWithoutLinks(folder_.Append(L"sub\\deeper"), false, &reason));
  EXPECT_FALSE(DeleteWithoutLinks(folder_.Append(L"sub\\deeper"), true, &reason))
      << "not empty";
  EXPECT_TRUE(DeleteWithoutLinks(folder_.Append(L"sub\\deeper\\c.txt"), false, &reason))
      << reason;
  EXPECT_TRUE(DeleteWithoutLinks(folder_.Append(L"sub\\deeper"), true, &reason)) << reason;
  EXPECT_FALSE(base::PathExists(folder_.Append(L"sub\\deeper")));
  EXPECT_TRUE(base::PathExists(folder_.Append(L"sub\\b.txt")));
  EXPECT_FALSE(DeleteWithoutLinks(folder_.Append(L"missing.txt"), false, &reason));
  EXPECT_FALSE(DeleteWithoutLinks(base::FilePath(L"a.txt"), false, &reason));
}

// A file another program holds without sharing its deletion stays.
TEST_F(LinkFreeAccessTest, LeavesAFileInUse) {
  const base::FilePath file = folder_.Append(L"a.txt");
  HANDLE held = CreateFileW(file.value().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  std::string reason;
  EXPECT_FALSE(DeleteWithoutLinks(file, false, &reason));
  CloseHandle(held);
  EXPECT_TRUE(base::PathExists(file));
  EXPECT_TRUE(DeleteWithoutLinks(file, false, &reason)) << reason;
  EXPECT_FALSE(base::PathExists(file));
}

TEST_F(LinkFreeAccessTest, CopiesIntoNewFilesOnly) {
  std::string reason;
  const base::FilePath copy = folder_.Append(L"copy.txt");
  ASSERT_TRUE(CopyFileWithoutLinks(folder_.Append(L"sub\\b.txt"), copy, &reason)) << reason;
  std::string contents;
  ASSERT_TRUE(base::ReadFileToString(copy, &contents));
  EXPECT_EQ("beta", contents);
  EXPECT_FALSE(CopyFileWithoutLinks(folder_.Append(L"a.txt"), copy, &reason));
  ASSERT_TRUE(base::ReadFileToString(copy, &contents));
  EXPECT_EQ("beta", contents);
}

TEST_F(LinkFreeAccessTest, CopiesAFolderWithEverythingBelowIt) {
  std::string reason;
  const base::FilePath copy = folder_.DirName().Append(base::test::UniqueName(L"copy"));
  ASSERT_TRUE(CopyFolderWithoutLinks(folder_, copy, &reason)) << reason;
  std::string contents;
  ASSERT_TRUE(base::ReadFileToString(copy.Append(L"sub\\deeper\\c.txt"), &contents));
  EXPECT_EQ("gamma", contents);
  ASSERT_TRUE(base::ReadFileToString(copy.Append(L"a.txt"), &contents));
  EXPECT_EQ("alpha", contents);
}

}  // namespace
}  // namespace installer
