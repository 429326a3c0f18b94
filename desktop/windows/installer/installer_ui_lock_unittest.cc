#include "desktop/windows/installer/installer_ui_lock.h"

#include <windows.h>

#include "base/files/file_path.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class InstallerUILockTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = base::FilePath(base::test::ScratchFolder())
                  .Append(base::test::UniqueName(L"ui_lock"));
    ASSERT_TRUE(CreateDirectoryW(folder_.value().c_str(), nullptr));
    mutex_name_ = L"Local\\" + base::test::UniqueName(L"ui_lock_mutex");
  }
  void TearDown() override { RemoveDirectoryW(folder_.value().c_str()); }

  bool LockFileExists() const {
    return GetFileAttributesW(folder_.Append(InstallerUILock::kLockFileName).value().c_str()) !=
           INVALID_FILE_ATTRIBUTES;
  }

  base::FilePath folder_;
  std::wstring mutex_name_;
};

TEST_F(InstallerUILockTest, SecondUIGetsTheHoldersThreadUntilTheLockIsReleased) {
  InstallerUILock first;
  EXPECT_EQ(GetCurrentThreadId(), first.Acquire(folder_, mutex_name_));
  EXPECT_TRUE(first.held());
  EXPECT_TRUE(LockFileExists());

  // Another UI (on another thread) learns the holder's thread.
  DWORD seen = 0;
  struct Args {
    const base::FilePath* folder;
    const std::wstring* mutex;
    DWORD* seen;
    bool held;
  } args{&folder_, &mutex_name_, &seen, true};
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](void* p) -> DWORD {
        Args* a = static_cast<Args*>(p);
        InstallerUILock second;
        *a->seen = second.Acquire(*a->folder, *a->mutex);
        a->held = second.held();
        return 0;
      },
      &args, 0, nullptr);
  ASSERT_TRUE(thread);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 60000));
  CloseHandle(thread);
  EXPECT_EQ(GetCurrentThreadId(), seen);
  EXPECT_FALSE(args.held);

  // The lock file vanishes with its holder, and a later UI gets the lock.
  first.Release();
  EXPECT_FALSE(LockFileExists());
  InstallerUILock later;
  EXPECT_EQ(GetCurrentThreadId(), later.Acquire(folder_, mutex_name_));
  EXPECT_TRUE(later.held());
  later.Release();
  EXPECT_FALSE(LockFileExists());
}

TEST_F(InstallerUILockTest, UnreadableLockFileLetsTheRunGoOnUnguarded) {
  // A lock file held open by something else that wrote no thread id.
  HANDLE file = CreateFileW(folder_.Append(InstallerUILock::kLockFileName).value().c_str(),
                            GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  InstallerUILock lock;
  EXPECT_EQ(0u, lock.Acquire(folder_, mutex_name_));
  EXPECT_FALSE(lock.held());
  CloseHandle(file);
}

}  // namespace
}  // namespace installer
