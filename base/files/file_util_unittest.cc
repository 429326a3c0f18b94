#include "base/files/file_util.h"

#include <string>

#include "base/test/test_environment.h"
#include "base/test/unix_link.h"
#include "base/win/scoped_handle.h"
#include "gtest/gtest.h"

namespace base {
namespace {

class FileUtilTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = FilePath(test::ScratchFolder()).Append(test::UniqueName(L"file_util"));
    ASSERT_TRUE(CreateDirectory(root_));
  }
  void TearDown() override { DeletePathRecursively(root_); }

  FilePath root_;
};

std::string Read(const FilePath& path) {
  std::string contents;
  EXPECT_TRUE(ReadFileToString(path, &contents)) << path.AsUTF8Unsafe();
  return contents;
}

TEST_F(FileUtilTest, CreateDirectoryMakesParentsAndRefusesAFileInTheWay) {
  FilePath deep = root_.Append(L"a\\b\\c");
  EXPECT_TRUE(CreateDirectory(deep));
  EXPECT_TRUE(DirectoryExists(deep));
  EXPECT_TRUE(CreateDirectory(deep));  // Already there.

  FilePath file = root_.Append(L"file");
  ASSERT_TRUE(WriteFile(file, "x"));
  DWORD error = 0;
  EXPECT_FALSE(CreateDirectoryAndGetError(file.Append(L"below"), &error));
  EXPECT_NE(0u, error);
  EXPECT_FALSE(CreateDirectoryAndGetError(file, &error));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), error);
}

TEST_F(FileUtilTest, ExistenceQueries) {
  FilePath file = root_.Append(L"f.txt");
  EXPECT_FALSE(PathExists(file));
  ASSERT_TRUE(WriteFile(file, "data"));
  EXPECT_TRUE(PathExists(file));
  EXPECT_FALSE(DirectoryExists(file));
  EXPECT_TRUE(DirectoryExists(root_));
  EXPECT_TRUE(PathIsWritable(root_));
  EXPECT_TRUE(PathIsWritable(file));
  EXPECT_FALSE(PathIsWritable(root_.Append(L"missing")));
  // The probe file must not stay behind.
  EXPECT_TRUE(DeleteFile(file));
  EXPECT_TRUE(IsDirectoryEmpty(root_));
}

TEST_F(FileUtilTest, DeleteFileHandlesMissingReadOnlyAndNonEmptyFolders) {
  EXPECT_TRUE(DeleteFile(root_.Append(L"missing")));
  FilePath file = root_.Append(L"ro.txt");
  ASSERT_TRUE(WriteFile(file, "x"));
  ASSERT_TRUE(SetFileReadOnly(file, true));
  EXPECT_TRUE(DeleteFile(file));
  EXPECT_FALSE(PathExists(file));

  FilePath folder = root_.Append(L"folder");
  ASSERT_TRUE(CreateDirectory(folder));
  ASSERT_TRUE(WriteFile(folder.Append(L"inside"), "x"));
  EXPECT_FALSE(DeleteFile(folder));
  EXPECT_TRUE(PathExists(folder));
  ASSERT_TRUE(DeleteFile(folder.Append(L"inside")));
  EXPECT_TRUE(DeleteFile(folder));
  EXPECT_FALSE(PathExists(folder));
}

TEST_F(FileUtilTest, DeleteFileWithWildcardDeletesEveryMatchingFile) {
  for (const wchar_t* name :
       {L"Velto Tallimer.lnk", L"Velto 2 Tallimer.lnk", L"Velto.lnk", L"Other Tallimer.lnk"}) {
    ASSERT_TRUE(WriteFile(root_.Append(name), "x"));
  }
  ASSERT_TRUE(SetFileReadOnly(root_.Append(L"Velto 2 Tallimer.lnk"), true));
  ASSERT_TRUE(CreateDirectory(root_.Append(L"Velto dir Tallimer.lnk")));

  EXPECT_TRUE(DeleteFile(root_.Append(L"Velto*Tallimer.lnk")));
  EXPECT_FALSE(PathExists(root_.Append(L"Velto Tallimer.lnk")));
  EXPECT_FALSE(PathExists(root_.Append(L"Velto 2 Tallimer.lnk")));
  EXPECT_TRUE(PathExists(root_.Append(L"Velto.lnk")));
  EXPECT_TRUE(PathExists(root_.Append(L"Other Tallimer.lnk")));
  EXPECT_TRUE(DirectoryExists(root_.Append(L"Velto dir Tallimer.lnk")));
  // Nothing matches any more: still a success, as for a missing file.
  EXPECT_TRUE(DeleteFile(root_.Append(L"Velto*Tallimer.lnk")));
  EXPECT_TRUE(DeleteFile(root_.Append(L"missing\\V?lto.lnk")));
}

TEST_F(FileUtilTest, DeleteFileRefusesLongPaths) {
  // A path of exactly MAX_PATH characters; Wine's file system takes it.
  FilePath file = root_.Append(std::wstring(MAX_PATH - root_.value().size() - 1, L'x'));
  ASSERT_EQ(static_cast<size_t>(MAX_PATH), file.value().size());
  ASSERT_TRUE(WriteFile(FilePath(L"\\\\?\\" + file.value()), "x"));
  EXPECT_FALSE(DeleteFile(file));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), ::GetLastError());
  const FilePath long_form(L"\\\\?\\" + file.value());
  EXPECT_TRUE(PathExists(long_form));
  EXPECT_TRUE(::DeleteFileW(long_form.value().c_str()));
}

TEST_F(FileUtilTest, DeletePathRecursivelyRemovesTreeWithReadOnlyEntries) {
  FilePath tree = root_.Append(L"tree");
  ASSERT_TRUE(CreateDirectory(tree.Append(L"sub\\deeper")));
  ASSERT_TRUE(WriteFile(tree.Append(L"top.txt"), "1"));
  ASSERT_TRUE(WriteFile(tree.Append(L"sub\\ro.txt"), "2"));
  ASSERT_TRUE(WriteFile(tree.Append(L"sub\\deeper\\ro2.txt"), "3"));
  ASSERT_TRUE(SetFileReadOnly(tree.Append(L"sub\\ro.txt"), true));
  ASSERT_TRUE(SetFileReadOnly(tree.Append(L"sub\\deeper\\ro2.txt"), true));
  ASSERT_TRUE(SetFileReadOnly(tree.Append(L"sub\\deeper"), true));

  EXPECT_TRUE(DeletePathRecursively(tree));
  EXPECT_FALSE(PathExists(tree));
  EXPECT_TRUE(DeletePathRecursively(tree));  // Already gone.
  // A single file works as well.
  FilePath file = root_.Append(L"single");
  ASSERT_TRUE(WriteFile(file, "x"));
  EXPECT_TRUE(DeletePathRecursively(file));
  EXPECT_FALSE(PathExists(file));
}

TEST_F(FileUtilTest, CopyFileReplacesReadOnlyDestination) {
  FilePath from = root_.Append(L"from.txt");
  FilePath to = root_.Append(L"to.txt");
  ASSERT_TRUE(WriteFile(from, "new"));
  ASSERT_TRUE(WriteFile(to, "old contents"));
  ASSERT_TRUE(SetFileReadOnly(to, true));
  EXPECT_TRUE(CopyFile(from, to));
  EXPECT_EQ("new", Read(to));
  EXPECT_TRUE(ContentsEqual(from, to));
  EXPECT_FALSE(CopyFile(root_.Append(L"missing"), to));
}

TEST_F(FileUtilTest, CopyFileRefusesParentReferencesAndLongPathsAndDropsReadOnly) {
  FilePath from = root_.Append(L"from.txt");
  ASSERT_TRUE(WriteFile(from, "data"));
  ASSERT_TRUE(CreateDirectory(root_.Append(L"sub")));
  // Would land in root_ itself.
  EXPECT_FALSE(CopyFile(from, root_.Append(L"sub\\..\\to.txt")));
  EXPECT_FALSE(CopyFile(root_.Append(L"sub\\..\\from.txt"), root_.Append(L"to.txt")));
  EXPECT_FALSE(PathExists(root_.Append(L"to.txt")));

  const std::wstring padding(MAX_PATH - root_.value().size(), L'x');
  EXPECT_FALSE(CopyFile(from, root_.Append(padding)));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), ::GetLastError());

  ASSERT_TRUE(SetFileReadOnly(from, true));
  FilePath to = root_.Append(L"to.txt");
  ASSERT_TRUE(CopyFile(from, to));
  EXPECT_FALSE(::GetFileAttributesW(to.value().c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ("data", Read(to));
  ASSERT_TRUE(SetFileReadOnly(from, false));
}

TEST_F(FileUtilTest, CopyDirectoryCopiesTreeOrTopLevelOnly) {
  FilePath from = root_.Append(L"from");
  ASSERT_TRUE(CreateDirectory(from.Append(L"sub\\empty")));
  ASSERT_TRUE(WriteFile(from.Append(L"a.txt"), "a"));
  ASSERT_TRUE(WriteFile(from.Append(L"sub\\b.txt"), "b"));

  FilePath to = root_.Append(L"to");
  EXPECT_TRUE(CopyDirectory(from, to, true));
  EXPECT_EQ("a", Read(to.Append(L"a.txt")));
  EXPECT_EQ("b", Read(to.Append(L"sub\\b.txt")));
  EXPECT_TRUE(DirectoryExists(to.Append(L"sub\\empty")));
  // The source is untouched.
  EXPECT_EQ("b", Read(from.Append(L"sub\\b.txt")));

  // Into an existing folder: files are replaced, contents land directly in it.
  ASSERT_TRUE(WriteFile(from.Append(L"a.txt"), "changed"));
  EXPECT_TRUE(CopyDirectory(from, to, true));
  EXPECT_EQ("changed", Read(to.Append(L"a.txt")));
  EXPECT_FALSE(PathExists(to.Append(L"from")));

  FilePath flat = root_.Append(L"flat");
  EXPECT_TRUE(CopyDirectory(from, flat, false));
  EXPECT_TRUE(PathExists(flat.Append(L"a.txt")));
  EXPECT_FALSE(PathExists(flat.Append(L"sub")));

  // Never into itself.
  EXPECT_FALSE(CopyDirectory(from, from.Append(L"sub\\inner"), true));
  EXPECT_FALSE(PathExists(from.Append(L"sub\\inner")));
}

TEST_F(FileUtilTest, MoveReplacesFilesAndMovesFolders) {
  FilePath from = root_.Append(L"from.txt");
  FilePath to = root_.Append(L"to.txt");
  ASSERT_TRUE(WriteFile(from, "moved"));
  ASSERT_TRUE(WriteFile(to, "old"));
  EXPECT_TRUE(Move(from, to));
  EXPECT_FALSE(PathExists(from));
  EXPECT_EQ("moved", Read(to));

  FilePath folder = root_.Append(L"folder");
  ASSERT_TRUE(CreateDirectory(folder.Append(L"sub")));
  ASSERT_TRUE(WriteFile(folder.Append(L"sub\\x"), "x"));
  FilePath moved = root_.Append(L"moved");
  EXPECT_TRUE(Move(folder, moved));
  EXPECT_FALSE(PathExists(folder));
  EXPECT_EQ("x", Read(moved.Append(L"sub\\x")));

  EXPECT_FALSE(Move(root_.Append(L"missing"), root_.Append(L"anything")));
}

TEST_F(FileUtilTest, MoveRefusesParentReferencesAndLongPaths) {
  FilePath from = root_.Append(L"from.txt");
  ASSERT_TRUE(WriteFile(from, "data"));
  ASSERT_TRUE(CreateDirectory(root_.Append(L"sub")));
  EXPECT_FALSE(Move(from, root_.Append(L"sub\\..\\to.txt")));
  EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_PATHNAME), ::GetLastError());
  EXPECT_FALSE(Move(root_.Append(L"sub\\..\\from.txt"), root_.Append(L"to.txt")));
  EXPECT_FALSE(PathExists(root_.Append(L"to.txt")));

  const std::wstring padding(MAX_PATH - root_.value().size(), L'x');
  EXPECT_FALSE(Move(from, root_.Append(padding)));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), ::GetLastError());
  EXPECT_EQ("data", Read(from));
}

TEST_F(FileUtilTest, ReplaceFileSwapsContentAndReportsErrors) {
  FilePath from = root_.Append(L"new");
  FilePath to = root_.Append(L"current");
  ASSERT_TRUE(WriteFile(from, "fresh"));
  ASSERT_TRUE(WriteFile(to, "stale"));
  DWORD error = 0;
  EXPECT_TRUE(ReplaceFile(from, to, &error));
  EXPECT_EQ("fresh", Read(to));
  EXPECT_FALSE(PathExists(from));
  EXPECT_FALSE(ReplaceFile(from, to, &error));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), error);
}

TEST_F(FileUtilTest, ReadWriteAppendAndSizes) {
  FilePath file = root_.Append(L"data.bin");
  std::string binary("a\0b\r\n\xff", 6);
  ASSERT_TRUE(WriteFile(file, binary));
  EXPECT_EQ(binary, Read(file));
  ASSERT_TRUE(AppendToFile(file, "tail"));
  EXPECT_EQ(binary + "tail", Read(file));
  EXPECT_FALSE(AppendToFile(root_.Append(L"missing"), "x"));

  int64_t size = 0;
  EXPECT_TRUE(GetFileSize(file, &size));
  EXPECT_EQ(10, size);
  EXPECT_FALSE(GetFileSize(root_, &size));

  std::string limited;
  EXPECT_FALSE(ReadFileToStringWithMaxSize(file, &limited, 4));
  EXPECT_EQ(binary.substr(0, 4), limited);
  EXPECT_TRUE(ReadFileToStringWithMaxSize(file, &limited, 10));
  EXPECT_EQ(10u, limited.size());
  EXPECT_TRUE(ReadFileToString(file, nullptr));
  EXPECT_FALSE(ReadFileToString(root_.Append(L"missing"), &limited));

  // Writing an empty string truncates.
  ASSERT_TRUE(WriteFile(file, ""));
  EXPECT_EQ("", Read(file));
  EXPECT_FALSE(WriteFile(root_.Append(L"no\\such\\folder\\f"), "x"));
}

TEST_F(FileUtilTest, ReadLargeFileAcrossBufferBoundaries) {
  FilePath file = root_.Append(L"large");
  std::string data(200 * 1024 + 17, '\0');
  for (size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<char>(i * 31);
  ASSERT_TRUE(WriteFile(file, data));
  EXPECT_EQ(data, Read(file));
  FilePath copy = root_.Append(L"copy");
  ASSERT_TRUE(CopyFile(file, copy));
  EXPECT_TRUE(ContentsEqual(file, copy));
  data.back() ^= 1;
  ASSERT_TRUE(WriteFile(copy, data));
  EXPECT_FALSE(ContentsEqual(file, copy));
  EXPECT_FALSE(ContentsEqual(file, root_.Append(L"missing")));
}

TEST_F(FileUtilTest, GetFileInfoReportsKindSizeAndTime) {
  FilePath file = root_.Append(L"info");
  ASSERT_TRUE(WriteFile(file, "12345"));
  File::Info info;
  ASSERT_TRUE(GetFileInfo(file, &info));
  EXPECT_EQ(5, info.size);
  EXPECT_FALSE(info.is_directory);
  EXPECT_GT(info.last_modified, 0);
  ASSERT_TRUE(GetFileInfo(root_, &info));
  EXPECT_TRUE(info.is_directory);
  EXPECT_FALSE(GetFileInfo(root_.Append(L"missing"), &info));
}

TEST_F(FileUtilTest, TemporaryFilesAndFoldersAreUniqueAndInPlace) {
  FilePath first;
  FilePath second;
  ASSERT_TRUE(CreateTemporaryFileInDir(root_, &first));
  ASSERT_TRUE(CreateTemporaryFileInDir(root_, &second));
  EXPECT_NE(first, second);
  EXPECT_TRUE(root_.IsParent(first));
  int64_t size = -1;
  EXPECT_TRUE(GetFileSize(first, &size));
  EXPECT_EQ(0, size);

  FilePath temp;
  ASSERT_TRUE(GetTempDir(&temp));
  EXPECT_FALSE(temp.EndsWithSeparator());
  FilePath dir;
  ASSERT_TRUE(CreateNewTempDirectory(L"prefix_", &dir));
  EXPECT_TRUE(DirectoryExists(dir));
  EXPECT_TRUE(temp.IsParent(dir));
  EXPECT_EQ(0u, dir.BaseName().value().rfind(L"prefix_", 0));
  EXPECT_TRUE(DeletePathRecursively(dir));
  EXPECT_FALSE(CreateTemporaryFileInDir(root_.Append(L"missing"), &first));
}

TEST_F(FileUtilTest, AbsoluteAndNormalizedPaths) {
  FilePath messy = root_.Append(L"a\\..\\b\\.\\c.txt");
  EXPECT_EQ(root_.Append(L"b\\c.txt"), MakeAbsoluteFilePath(messy));
  EXPECT_TRUE(MakeAbsoluteFilePath(FilePath(L"relative")).IsAbsolute());

  FilePath file = root_.Append(L"Mixed.TXT");
  ASSERT_TRUE(WriteFile(file, "x"));
  FilePath normalized;
  ASSERT_TRUE(NormalizeFilePath(root_.Append(L".\\Mixed.TXT"), &normalized));
  EXPECT_TRUE(FilePath::CompareEqualIgnoreCase(file.value(), normalized.value()))
      << normalized.AsUTF8Unsafe();
  EXPECT_NE(0u, normalized.value().find(L':'));  // No "\\?\" prefix.
  EXPECT_FALSE(NormalizeFilePath(root_.Append(L"missing"), &normalized));
}

TEST_F(FileUtilTest, PassesThroughReparsePointLooksAtEveryExistingComponent) {
  const FilePath real = root_.Append(L"real");
  ASSERT_TRUE(CreateDirectory(real.Append(L"sub")));
  ASSERT_TRUE(WriteFile(real.Append(L"sub\\file.txt"), "x"));
  EXPECT_FALSE(PassesThroughReparsePoint(real.Append(L"sub\\file.txt")));
  EXPECT_FALSE(PassesThroughReparsePoint(real.Append(L"not\\there\\yet")));

  const FilePath linked = root_.Append(L"linked");
  ASSERT_TRUE(test::MakeUnixLink(real, linked));
  EXPECT_TRUE(PassesThroughReparsePoint(linked));
  EXPECT_TRUE(PassesThroughReparsePoint(linked.Append(L"sub\\file.txt")));
  EXPECT_TRUE(PassesThroughReparsePoint(linked.Append(L"sub\\not there")));
}

TEST_F(FileUtilTest, IsOpenAtPathTellsWhereALinkLed) {
  const FilePath real = root_.Append(L"real");
  ASSERT_TRUE(CreateDirectory(real));
  ASSERT_TRUE(WriteFile(real.Append(L"file.txt"), "x"));
  const FilePath linked = root_.Append(L"linked");
  ASSERT_TRUE(test::MakeUnixLink(real, linked));

  win::ScopedHandle direct(::CreateFileW(real.Append(L"file.txt").value().c_str(),
                                         FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(direct.IsValid());
  FilePath opened;
  EXPECT_TRUE(IsOpenAtPath(direct.Get(), real.Append(L"file.txt"), &opened))
      << opened.AsUTF8Unsafe();

  win::ScopedHandle through_link(::CreateFileW(linked.Append(L"file.txt").value().c_str(),
                                               FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(through_link.IsValid());
  EXPECT_FALSE(IsOpenAtPath(through_link.Get(), linked.Append(L"file.txt"), &opened));
  EXPECT_TRUE(FilePath::CompareEqualIgnoreCase(real.Append(L"file.txt").value(), opened.value()))
      << opened.AsUTF8Unsafe();
}

}  // namespace
}  // namespace base
