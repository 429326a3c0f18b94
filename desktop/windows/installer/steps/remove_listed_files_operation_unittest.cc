#include "desktop/windows/installer/steps/remove_listed_files_operation.h"

#include <windows.h>

#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class RemoveListedFilesOperationTest : public testing::Test {
 protected:
  void SetUp() override {
    install_ = base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"rl"));
    ASSERT_TRUE(base::CreateDirectory(install_.Append(L"1.0\\sub")));
    ASSERT_TRUE(base::CreateDirectory(install_.Append(L"old_status")));
    ASSERT_TRUE(base::WriteFile(install_.Append(L"1.0\\a"), "a"));
    ASSERT_TRUE(base::WriteFile(install_.Append(L"1.0\\sub\\b"), "b"));
    ASSERT_TRUE(base::WriteFile(Status(), "s"));
    ASSERT_TRUE(base::WriteFile(install_.Append(L"launcher.exe"), "l"));
  }
  base::FilePath Status() const { return install_.Append(L"old_status\\s.json.1"); }
  std::unique_ptr<RemoveListedFilesOperation> Make(bool keep_going) {
    return std::make_unique<RemoveListedFilesOperation>(
        std::vector<base::FilePath>{install_.Append(L"1.0\\a"), install_.Append(L"1.0\\sub\\b")},
        Status(), install_, keep_going);
  }

  base::FilePath install_;
};

TEST_F(RemoveListedFilesOperationTest, CommitRemovesFilesStatusAndEmptyFoldersOnly) {
  {
    Transaction transaction;
    EXPECT_TRUE(transaction.Do(Make(false)));
    // Until the commit everything can come back.
    EXPECT_TRUE(base::DirectoryExists(install_.Append(L"1.0\\sub")));
  }
  EXPECT_FALSE(base::PathExists(install_.Append(L"1.0")));
  EXPECT_FALSE(base::PathExists(install_.Append(L"old_status")));
  EXPECT_TRUE(base::PathExists(install_.Append(L"launcher.exe")));
}

TEST_F(RemoveListedFilesOperationTest, RollbackBringsEverythingBack) {
  Transaction transaction;
  EXPECT_TRUE(transaction.Do(Make(false)));
  transaction.Rollback();
  EXPECT_TRUE(base::PathExists(install_.Append(L"1.0\\a")));
  EXPECT_TRUE(base::PathExists(install_.Append(L"1.0\\sub\\b")));
  EXPECT_TRUE(base::PathExists(Status()));
}

TEST_F(RemoveListedFilesOperationTest, FileInUseFailsAnUpgradeAndKeepsTheRest) {
  base::win::ScopedHandle lock(::CreateFileW(install_.Append(L"1.0\\sub\\b").value().c_str(),
                                             GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                             nullptr));
  {
    Transaction transaction;
    EXPECT_FALSE(transaction.Do(Make(false)));
  }
  EXPECT_TRUE(base::PathExists(install_.Append(L"1.0\\a")));
  EXPECT_TRUE(base::PathExists(Status()));
}

TEST_F(RemoveListedFilesOperationTest, FileInUseDuringUninstallKeepsOnlyItAndTheStatus) {
  base::win::ScopedHandle lock(::CreateFileW(install_.Append(L"1.0\\sub\\b").value().c_str(),
                                             GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                             nullptr));
  {
    Transaction transaction;
    auto operation = Make(true);
    RemoveListedFilesOperation* raw = operation.get();
    EXPECT_TRUE(transaction.Do(std::move(operation)));
    EXPECT_TRUE(raw->any_failed());
  }
  EXPECT_FALSE(base::PathExists(install_.Append(L"1.0\\a")));
  EXPECT_TRUE(base::PathExists(install_.Append(L"1.0\\sub\\b")));
  EXPECT_TRUE(base::PathExists(Status()));
}

}  // namespace
}  // namespace installer
