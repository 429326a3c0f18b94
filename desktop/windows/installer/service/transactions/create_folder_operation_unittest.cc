#include "desktop/windows/installer/service/transactions/create_folder_operation.h"

#include <memory>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class CreateFolderOperationTest : public testing::Test {
 protected:
  void SetUp() override {
    existing_ = base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"cf"));
    ASSERT_TRUE(base::CreateDirectory(existing_));
  }
  base::FilePath existing_;
};

TEST_F(CreateFolderOperationTest, CreatesMissingLevelsAndUndoRemovesOnlyThose) {
  const base::FilePath deep = existing_.Append(L"a\\b\\c");
  Transaction transaction;
  ASSERT_TRUE(transaction.Do(std::make_unique<CreateFolderOperation>(deep.value())));
  EXPECT_TRUE(base::DirectoryExists(deep));
  transaction.Rollback();
  EXPECT_FALSE(base::PathExists(existing_.Append(L"a")));
  EXPECT_TRUE(base::DirectoryExists(existing_));
}

TEST_F(CreateFolderOperationTest, ForeignFileStopsTheRemoval) {
  const base::FilePath deep = existing_.Append(L"a\\b\\c");
  Transaction transaction;
  ASSERT_TRUE(transaction.Do(std::make_unique<CreateFolderOperation>(deep.value())));
  ASSERT_TRUE(base::WriteFile(existing_.Append(L"a\\foreign.txt"), "someone else's"));
  transaction.Rollback();
  EXPECT_FALSE(base::PathExists(existing_.Append(L"a\\b")));
  std::string contents;
  EXPECT_TRUE(base::ReadFileToString(existing_.Append(L"a\\foreign.txt"), &contents));
  EXPECT_EQ("someone else's", contents);
}

TEST_F(CreateFolderOperationTest, ExistingFolderIsLeftAlone) {
  Transaction transaction;
  ASSERT_TRUE(transaction.Do(std::make_unique<CreateFolderOperation>(existing_.value())));
  transaction.Rollback();
  EXPECT_TRUE(base::DirectoryExists(existing_));
}

TEST_F(CreateFolderOperationTest, FileInTheWayFails) {
  ASSERT_TRUE(base::WriteFile(existing_.Append(L"file"), "x"));
  Transaction transaction;
  EXPECT_FALSE(transaction.Do(
      std::make_unique<CreateFolderOperation>(existing_.Append(L"file\\sub").value())));
  EXPECT_TRUE(transaction.empty());
  std::string contents;
  EXPECT_TRUE(base::ReadFileToString(existing_.Append(L"file"), &contents));
}

}  // namespace
}  // namespace installer
