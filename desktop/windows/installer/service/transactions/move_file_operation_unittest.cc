#include "desktop/windows/installer/service/transactions/move_file_operation.h"

#include <windows.h>

#include <memory>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class MoveFileOperationTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"move"));
    ASSERT_TRUE(base::CreateDirectory(root_));
    source_ = root_.Append(L"source.txt");
    ASSERT_TRUE(base::WriteFile(source_, "moved"));
  }

  std::string Read(const base::FilePath& path) {
    std::string contents;
    base::ReadFileToString(path, &contents);
    return contents;
  }

  base::FilePath root_;
  base::FilePath source_;
};

TEST_F(MoveFileOperationTest, MoveOverExistingAndRollback) {
  const base::FilePath destination = root_.Append(L"sub\\dest.txt");
  ASSERT_TRUE(base::CreateDirectory(destination.DirName()));
  ASSERT_TRUE(base::WriteFile(destination, "previous"));
  ASSERT_TRUE(base::SetFileReadOnly(source_, true));
  Transaction transaction;
  ASSERT_TRUE(transaction.Do(
      std::make_unique<MoveFileOperation>(source_.value(), destination.value())));
  EXPECT_FALSE(base::PathExists(source_));
  EXPECT_EQ("moved", Read(destination));
  transaction.Rollback();
  EXPECT_EQ("moved", Read(source_));
  EXPECT_EQ("previous", Read(destination));
  EXPECT_TRUE(GetFileAttributesW(source_.value().c_str()) & FILE_ATTRIBUTE_READONLY);
  base::SetFileReadOnly(source_, false);
}

TEST_F(MoveFileOperationTest, MoveIntoMissingFolderIsKept) {
  const base::FilePath destination = root_.Append(L"new\\folder\\dest.txt");
  {
    Transaction transaction;
    ASSERT_TRUE(transaction.Do(
        std::make_unique<MoveFileOperation>(source_.value(), destination.value())));
  }
  EXPECT_EQ("moved", Read(destination));
  EXPECT_FALSE(base::PathExists(source_));
}

TEST_F(MoveFileOperationTest, MissingSourceFails) {
  Transaction transaction;
  EXPECT_FALSE(transaction.Do(std::make_unique<MoveFileOperation>(
      root_.Append(L"missing").value(), root_.Append(L"a\\dest").value())));
  EXPECT_FALSE(base::PathExists(root_.Append(L"a")));
  EXPECT_TRUE(transaction.empty());
}

}  // namespace
}  // namespace installer
