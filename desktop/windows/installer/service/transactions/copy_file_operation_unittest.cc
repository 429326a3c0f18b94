#include "desktop/windows/installer/service/transactions/copy_file_operation.h"

#include <windows.h>

#include <memory>

#include "base/files/file_enumerator.h"
#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class CopyFileOperationTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"copy"));
    ASSERT_TRUE(base::CreateDirectory(root_));
    source_ = root_.Append(L"source.dll");
    ASSERT_TRUE(base::WriteFile(source_, "new"));
  }

  std::string Read(const base::FilePath& path) {
    std::string contents;
    EXPECT_TRUE(base::ReadFileToString(path, &contents)) << path.value();
    return contents;
  }

  int CountFiles(const base::FilePath& folder) {
    int count = 0;
    base::FileEnumerator enumerator(folder, false, base::FileEnumerator::FILES);
    while (!enumerator.Next().empty())
      ++count;
    return count;
  }

  base::FilePath root_;
  base::FilePath source_;
};

TEST_F(CopyFileOperationTest, CopyIntoMissingFolderAndUndo) {
  const base::FilePath destination = root_.Append(L"x\\y\\dest.dll");
  Transaction transaction;
  ASSERT_TRUE(transaction.Do(
      std::make_unique<CopyFileOperation>(source_.value(), destination.value())));
  EXPECT_EQ("new", Read(destination));
  EXPECT_EQ(2u, transaction.size());  // The folder creation is kept too.
  transaction.Rollback();
  EXPECT_FALSE(base::PathExists(root_.Append(L"x")));
  EXPECT_EQ("new", Read(source_));
}

TEST_F(CopyFileOperationTest, CopyOverExistingFileKeepsBackupUntilCommit) {
  const base::FilePath destination = root_.Append(L"dest.dll");
  ASSERT_TRUE(base::WriteFile(destination, "old"));
  {
    Transaction transaction;
    ASSERT_TRUE(transaction.Do(
        std::make_unique<CopyFileOperation>(source_.value(), destination.value())));
    EXPECT_EQ("new", Read(destination));
    EXPECT_EQ(3, CountFiles(root_));  // source, copy and the ".old" backup.
  }
  EXPECT_EQ("new", Read(destination));
  EXPECT_EQ(2, CountFiles(root_));
}

TEST_F(CopyFileOperationTest, RollbackBringsTheOldFileBack) {
  const base::FilePath destination = root_.Append(L"dest.dll");
  ASSERT_TRUE(base::WriteFile(destination, "old"));
  Transaction transaction;
  ASSERT_TRUE(transaction.Do(
      std::make_unique<CopyFileOperation>(source_.value(), destination.value())));
  transaction.Rollback();
  EXPECT_EQ("old", Read(destination));
  EXPECT_EQ(2, CountFiles(root_));
}

TEST_F(CopyFileOperationTest, ReadOnlySourceStaysReadOnlyAndCopyIsWritable) {
  ASSERT_TRUE(base::SetFileReadOnly(source_, true));
  const base::FilePath destination = root_.Append(L"dest.dll");
  Transaction transaction;
  ASSERT_TRUE(transaction.Do(
      std::make_unique<CopyFileOperation>(source_.value(), destination.value())));
  EXPECT_TRUE(GetFileAttributesW(source_.value().c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(GetFileAttributesW(destination.value().c_str()) & FILE_ATTRIBUTE_READONLY);
  base::SetFileReadOnly(source_, false);
}

TEST_F(CopyFileOperationTest, MissingSourceFailsAndPutsTheOldFileBack) {
  const base::FilePath destination = root_.Append(L"dest.dll");
  ASSERT_TRUE(base::WriteFile(destination, "old"));
  Transaction transaction;
  EXPECT_FALSE(transaction.Do(std::make_unique<CopyFileOperation>(
      root_.Append(L"missing.dll").value(), destination.value())));
  EXPECT_TRUE(transaction.empty());
  EXPECT_EQ("old", Read(destination));
  EXPECT_EQ(2, CountFiles(root_));
}

}  // namespace
}  // namespace installer
