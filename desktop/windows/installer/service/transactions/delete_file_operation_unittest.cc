#include "desktop/windows/installer/service/transactions/delete_file_operation.h"

#include <windows.h>

#include <memory>
#include <vector>

#include "base/files/file_enumerator.h"
#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/test/test_environment.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class DeleteFileOperationTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"del"));
    ASSERT_TRUE(base::CreateDirectory(root_));
  }

  std::string Read(const base::FilePath& path) {
    std::string contents;
    base::ReadFileToString(path, &contents);
    return contents;
  }

  int CountEntries(const base::FilePath& folder) {
    int count = 0;
    base::FileEnumerator enumerator(
        folder, false, base::FileEnumerator::FILES | base::FileEnumerator::DIRECTORIES);
    while (!enumerator.Next().empty())
      ++count;
    return count;
  }

  base::FilePath root_;
};

TEST_F(DeleteFileOperationTest, MissingFileIsNothingToDo) {
  Transaction transaction;
  EXPECT_TRUE(transaction.Do(
      std::make_unique<DeleteFileOperation>(root_.Append(L"none").value(), true, false)));
  transaction.Rollback();
  EXPECT_EQ(0, CountEntries(root_));
}

TEST_F(DeleteFileOperationTest, RollbackRestoresAndCommitDeletes) {
  const base::FilePath file = root_.Append(L"setup.exe");
  ASSERT_TRUE(base::WriteFile(file, "bytes"));
  {
    Transaction transaction;
    auto operation = std::make_unique<DeleteFileOperation>(file.value(), true, false);
    DeleteFileOperation* raw = operation.get();
    ASSERT_TRUE(transaction.Do(std::move(operation)));
    EXPECT_FALSE(base::PathExists(file));
    // "setup.exe.<seconds>.old".
    const std::wstring backup = raw->backup_path();
    EXPECT_EQ(0u, backup.find(file.value() + L"."));
    EXPECT_EQ(backup.size() - 4, backup.rfind(L".old"));
    EXPECT_EQ("bytes", Read(base::FilePath(backup)));
    transaction.Rollback();
  }
  EXPECT_EQ("bytes", Read(file));
  EXPECT_EQ(1, CountEntries(root_));

  {
    Transaction transaction;
    ASSERT_TRUE(
        transaction.Do(std::make_unique<DeleteFileOperation>(file.value(), true, false)));
  }
  EXPECT_EQ(0, CountEntries(root_));
}

TEST_F(DeleteFileOperationTest, CommitRemovesEmptyParentsWhenAsked) {
  const base::FilePath file = root_.Append(L"a\\b\\file.txt");
  ASSERT_TRUE(base::CreateDirectory(file.DirName()));
  ASSERT_TRUE(base::WriteFile(file, "x"));
  ASSERT_TRUE(base::WriteFile(root_.Append(L"keep.txt"), "keeps root"));
  {
    Transaction transaction;
    ASSERT_TRUE(transaction.Do(std::make_unique<DeleteFileOperation>(file.value(), false, true)));
  }
  EXPECT_FALSE(base::PathExists(root_.Append(L"a")));
  EXPECT_EQ("keeps root", Read(root_.Append(L"keep.txt")));
}

TEST_F(DeleteFileOperationTest, DeletesAFolderWithItsContents) {
  const base::FilePath folder = root_.Append(L"folder");
  ASSERT_TRUE(base::CreateDirectory(folder.Append(L"sub")));
  ASSERT_TRUE(base::WriteFile(folder.Append(L"sub\\f.txt"), "f"));
  Transaction transaction;
  ASSERT_TRUE(transaction.Do(std::make_unique<DeleteFileOperation>(folder.value(), false, false)));
  transaction.Rollback();
  EXPECT_EQ("f", Read(folder.Append(L"sub\\f.txt")));
}

// The same file removed again within the second of an earlier removal that
// waits for its commit (a file written twice in one run): the later backup
// takes the next free name and neither backup is touched by the other.
TEST_F(DeleteFileOperationTest, TakenBackupNameGivesWayToTheNextFree) {
  const base::FilePath file = root_.Append(L"f.txt");
  ASSERT_TRUE(base::WriteFile(file, "x"));
  // Occupy every backup name the seconds of this test could produce.
  const long long now = _time64(nullptr);
  std::vector<base::FilePath> occupied;
  for (long long t = now; t <= now + 30; ++t) {
    occupied.push_back(base::FilePath(file.value() + L"." + std::to_wstring(t) + L".old"));
    ASSERT_TRUE(base::WriteFile(occupied.back(), "occupied"));
  }
  {
    Transaction transaction;
    auto operation = std::make_unique<DeleteFileOperation>(file.value(), false, false);
    DeleteFileOperation* raw = operation.get();
    ASSERT_TRUE(transaction.Do(std::move(operation)));
    EXPECT_EQ(file.value() + L"." + std::to_wstring(now + 31) + L".old", raw->backup_path());
    EXPECT_EQ("x", Read(base::FilePath(raw->backup_path())));
    transaction.Rollback();
  }
  EXPECT_EQ("x", Read(file));
  {
    Transaction transaction;
    ASSERT_TRUE(transaction.Do(std::make_unique<DeleteFileOperation>(file.value(), false, false)));
  }
  EXPECT_FALSE(base::PathExists(file));
  for (const base::FilePath& path : occupied)
    EXPECT_EQ("occupied", Read(path));
  EXPECT_EQ(static_cast<int>(occupied.size()), CountEntries(root_));
}

TEST_F(DeleteFileOperationTest, ModuleOpenWithoutWriteSharingIsInUse) {
  const base::FilePath file = root_.Append(L"library.dll");
  ASSERT_TRUE(base::WriteFile(file, "module"));
  // Loaded modules allow renaming but not writing: read and delete sharing only.
  base::win::ScopedHandle holder(CreateFileW(file.value().c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder.IsValid());
  Transaction transaction;
  EXPECT_FALSE(transaction.Do(std::make_unique<DeleteFileOperation>(file.value(), true, false)));
  holder.Close();
  EXPECT_EQ("module", Read(file));
  EXPECT_EQ(1, CountEntries(root_));

  // Without the in-use check the same file is moved aside.
  holder.Set(CreateFileW(file.value().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_TRUE(transaction.Do(std::make_unique<DeleteFileOperation>(file.value(), false, false)));
  holder.Close();
  transaction.Rollback();
  EXPECT_EQ("module", Read(file));
}

TEST_F(DeleteFileOperationTest, FileOpenWithoutDeleteSharingCannotBeMoved) {
  const base::FilePath file = root_.Append(L"data.txt");
  ASSERT_TRUE(base::WriteFile(file, "held"));
  base::win::ScopedHandle holder(CreateFileW(file.value().c_str(), GENERIC_READ, FILE_SHARE_READ,
                                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                             nullptr));
  ASSERT_TRUE(holder.IsValid());
  Transaction transaction;
  EXPECT_FALSE(transaction.Do(std::make_unique<DeleteFileOperation>(file.value(), true, false)));
  holder.Close();
  EXPECT_EQ("held", Read(file));
  EXPECT_EQ(1, CountEntries(root_));
}

TEST_F(DeleteFileOperationTest, RunningExecutableIsInUse) {
  wchar_t self[MAX_PATH];
  ASSERT_NE(0u, GetModuleFileNameW(nullptr, self, MAX_PATH));
  const base::FilePath exe = root_.Append(L"running.exe");
  ASSERT_TRUE(base::CopyFile(base::FilePath(self), exe));
  base::LaunchOptions options;
  options.creation_flags = CREATE_SUSPENDED;
  options.start_hidden = true;
  base::Process process = base::LaunchProcess(L"\"" + exe.value() + L"\"", options);
  ASSERT_TRUE(process.IsValid());

  Transaction transaction;
  EXPECT_FALSE(transaction.Do(std::make_unique<DeleteFileOperation>(exe.value(), true, false)));
  EXPECT_TRUE(base::PathExists(exe));
  EXPECT_EQ(1, CountEntries(root_));

  TerminateProcess(process.Handle(), 0);
  WaitForSingleObject(process.Handle(), 10000);
}

TEST_F(DeleteFileOperationTest, BackupThatCannotGoBackIsKept) {
  const base::FilePath file = root_.Append(L"precious.txt");
  ASSERT_TRUE(base::WriteFile(file, "user data"));
  std::wstring backup;
  {
    Transaction transaction;
    auto operation = std::make_unique<DeleteFileOperation>(file.value(), false, false);
    DeleteFileOperation* raw = operation.get();
    ASSERT_TRUE(transaction.Do(std::move(operation)));
    backup = raw->backup_path();
    // Something now stands in the way of moving the backup back.
    ASSERT_TRUE(base::CreateDirectory(file.Append(L"blocker")));
    transaction.Rollback();
  }
  EXPECT_EQ("user data", Read(base::FilePath(backup)));
}

}  // namespace
}  // namespace installer
