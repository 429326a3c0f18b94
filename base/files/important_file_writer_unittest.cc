#include "base/files/important_file_writer.h"

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace base {
namespace {

class ImportantFileWriterTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = FilePath(test::ScratchFolder()).Append(test::UniqueName(L"important"));
    ASSERT_TRUE(CreateDirectory(root_));
  }
  void TearDown() override { DeletePathRecursively(root_); }

  int CountEntries() {
    FileEnumerator enumerator(root_, false, FileEnumerator::FILES | FileEnumerator::DIRECTORIES);
    int count = 0;
    while (!enumerator.Next().empty())
      ++count;
    return count;
  }

  FilePath root_;
};

TEST_F(ImportantFileWriterTest, ReplacesContentAndLeavesNoTemporaryFile) {
  FilePath target = root_.Append(L"prefs.json");
  ASSERT_TRUE(ImportantFileWriter::WriteFileAtomically(target, "{\"a\":1}"));
  std::string contents;
  ASSERT_TRUE(ReadFileToString(target, &contents));
  EXPECT_EQ("{\"a\":1}", contents);

  // Shorter new content must not keep a tail of the old.
  ASSERT_TRUE(ImportantFileWriter::WriteFileAtomically(target, "{}"));
  ASSERT_TRUE(ReadFileToString(target, &contents));
  EXPECT_EQ("{}", contents);
  EXPECT_EQ(1, CountEntries());
}

TEST_F(ImportantFileWriterTest, FailureKeepsOldContentAndCleansUp) {
  // A folder standing at the destination cannot be replaced by a file.
  FilePath target = root_.Append(L"busy");
  ASSERT_TRUE(CreateDirectory(target));
  EXPECT_FALSE(ImportantFileWriter::WriteFileAtomically(target, "data"));
  EXPECT_TRUE(DirectoryExists(target));
  EXPECT_EQ(1, CountEntries());

  // A destination held open without delete sharing cannot be replaced either.
  FilePath locked = root_.Append(L"locked.json");
  ASSERT_TRUE(WriteFile(locked, "old"));
  {
    File holder(locked, File::FLAG_OPEN | File::FLAG_READ);
    ASSERT_TRUE(holder.IsValid());
    EXPECT_FALSE(ImportantFileWriter::WriteFileAtomically(locked, "new"));
  }
  std::string contents;
  ASSERT_TRUE(ReadFileToString(locked, &contents));
  EXPECT_EQ("old", contents);
  EXPECT_EQ(2, CountEntries());

  EXPECT_FALSE(ImportantFileWriter::WriteFileAtomically(root_.Append(L"no\\folder.json"), "x"));
}

TEST_F(ImportantFileWriterTest, WritesEmptyData) {
  FilePath target = root_.Append(L"empty");
  ASSERT_TRUE(WriteFile(target, "something"));
  ASSERT_TRUE(ImportantFileWriter::WriteFileAtomically(target, ""));
  int64_t size = -1;
  ASSERT_TRUE(GetFileSize(target, &size));
  EXPECT_EQ(0, size);
}

}  // namespace
}  // namespace base
