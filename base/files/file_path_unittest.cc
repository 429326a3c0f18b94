#include "base/files/file_path.h"

#include "gtest/gtest.h"

namespace base {

TEST(FilePathTest, DirNameAndBaseName) {
  EXPECT_EQ(L"C:\\a", FilePath(L"C:\\a\\b.txt").DirName().value());
  EXPECT_EQ(L"b.txt", FilePath(L"C:\\a\\b.txt").BaseName().value());
  EXPECT_EQ(L"C:\\", FilePath(L"C:\\a").DirName().value());
  EXPECT_EQ(L"C:\\", FilePath(L"C:\\").DirName().value());
  EXPECT_EQ(L"C:\\", FilePath(L"C:\\").BaseName().value());
  EXPECT_EQ(L"b", FilePath(L"C:\\a\\b\\").BaseName().value());
  EXPECT_EQ(L".", FilePath(L"b").DirName().value());
  EXPECT_EQ(L"C:/a", FilePath(L"C:/a/b").DirName().value());
  EXPECT_EQ(L"\\\\server\\share\\", FilePath(L"\\\\server\\share\\x").DirName().value());
}

TEST(FilePathTest, NormalizePathSeparators) {
  EXPECT_EQ(L"C:\\a\\b\\", FilePath(L"C:/a\\b/").NormalizePathSeparators().value());
  EXPECT_EQ(L"\\\\server\\share", FilePath(L"//server/share").NormalizePathSeparators().value());
}

TEST(FilePathTest, Extensions) {
  EXPECT_EQ(L".exe", FilePath(L"C:\\a\\velto.exe").Extension());
  EXPECT_EQ(L"", FilePath(L"C:\\a.d\\velto").Extension());
  EXPECT_EQ(L"C:\\a\\velto.old", FilePath(L"C:\\a\\velto.exe").ReplaceExtension(L"old").value());
  EXPECT_EQ(L"C:\\a\\velto.exe.old", FilePath(L"C:\\a\\velto.exe").AddExtension(L".old").value());
  EXPECT_EQ(L"C:\\a\\velto", FilePath(L"C:\\a\\velto.exe").RemoveExtension().value());
}

TEST(FilePathTest, AppendAndRelations) {
  EXPECT_EQ(L"C:\\a\\b", FilePath(L"C:\\a").Append(L"b").value());
  EXPECT_EQ(L"C:\\a\\b", FilePath(L"C:\\a\\").Append(L"b").value());
  EXPECT_EQ(L"b", FilePath().Append(L"b").value());
  EXPECT_TRUE(FilePath(L"C:\\a").IsAbsolute());
  EXPECT_TRUE(FilePath(L"\\\\srv\\share").IsAbsolute());
  EXPECT_FALSE(FilePath(L"C:a").IsAbsolute());
  EXPECT_FALSE(FilePath(L"a\\b").IsAbsolute());
  EXPECT_TRUE(FilePath(L"C:\\Program Files").IsParent(FilePath(L"c:\\program files\\Velto\\x")));
  EXPECT_FALSE(FilePath(L"C:\\Program").IsParent(FilePath(L"C:\\Program Files")));
  FilePath relative(L"D:\\dest");
  EXPECT_TRUE(FilePath(L"C:\\src").AppendRelativePath(FilePath(L"C:\\src\\a\\b"), &relative));
  EXPECT_EQ(L"D:\\dest\\a\\b", relative.value());
  EXPECT_TRUE(FilePath(L"C:\\a\\..\\b").ReferencesParent());
}

}  // namespace base
