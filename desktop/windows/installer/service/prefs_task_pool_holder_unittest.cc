#include "desktop/windows/installer/service/prefs_task_pool_holder.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

#include "base/at_exit.h"
#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/json/json_reader.h"
#include "base/location.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class PrefsTaskPoolHolderTest : public testing::Test {
 protected:
  void SetUp() override {
    at_exit_ = std::make_unique<base::ShadowingAtExitManager>();
    folder_ = base::FilePath(base::test::ScratchFolder())
                  .Append(base::test::UniqueName(L"pool"));
    ASSERT_TRUE(base::CreateDirectory(folder_));
    path_ = folder_.Append(L"installer_prefs.json");
  }
  void TearDown() override { at_exit_.reset(); }

  // Runs the at-exit callbacks, the pool's shutdown among them; returns how
  // long that took in milliseconds.
  ULONGLONG RunAtExit() {
    const ULONGLONG start = ::GetTickCount64();
    at_exit_.reset();
    return ::GetTickCount64() - start;
  }

  std::optional<int> ReadBackInt(const char* key) {
    std::string contents;
    if (!base::ReadFileToString(path_, &contents))
      return std::nullopt;
    std::optional<base::Value::Dict> dict = base::JSONReader::ReadDict(contents);
    return dict ? dict->FindInt(key) : std::nullopt;
  }

  std::unique_ptr<base::ShadowingAtExitManager> at_exit_;
  base::FilePath folder_;
  base::FilePath path_;
};

TEST_F(PrefsTaskPoolHolderTest, ConcurrentFirstCallsShareOneHolder) {
  std::atomic<bool> go{false};
  PrefsTaskPoolHolder* seen[2] = {};
  std::thread first([&] {
    while (!go.load())
      ::Sleep(0);
    seen[0] = GetPrefsTaskPool();
  });
  std::thread second([&] {
    while (!go.load())
      ::Sleep(0);
    seen[1] = PrefsTaskPoolHolder::GetInstance();
  });
  go.store(true);
  first.join();
  second.join();
  ASSERT_NE(nullptr, seen[0]);
  EXPECT_EQ(seen[0], seen[1]);
  EXPECT_EQ(seen[0], GetPrefsTaskPool());
  ASSERT_NE(nullptr, seen[0]->pool());
  // The holder keeps the only reference to its pool while no store exists.
  EXPECT_TRUE(seen[0]->pool()->HasOneRef());

  RunAtExit();
  // After the shutdown a new holder is built on demand.
  at_exit_ = std::make_unique<base::ShadowingAtExitManager>();
  PrefsTaskPoolHolder* again = GetPrefsTaskPool();
  ASSERT_NE(nullptr, again);
  EXPECT_NE(nullptr, again->pool());
}

TEST_F(PrefsTaskPoolHolderTest, StoresAreReadAtOnce) {
  ASSERT_TRUE(base::WriteFile(path_, R"({"language": "de"})"));
  scoped_refptr<JsonPrefStore> store = GetPrefsTaskPool()->CreateJsonPrefStore(path_);
  ASSERT_TRUE(store->IsInitializationComplete());
  EXPECT_EQ(PersistentPrefStore::PREF_READ_ERROR_NONE, store->GetReadError());
  const base::Value* value = nullptr;
  ASSERT_TRUE(store->GetValue("language", &value));
  EXPECT_EQ("de", value->GetString());
}

TEST_F(PrefsTaskPoolHolderTest, PendingWriteReachesTheDiskAtShutdown) {
  PrefsTaskPoolHolder* holder = GetPrefsTaskPool();
  scoped_refptr<JsonPrefStore> store = holder->CreateJsonPrefStore(path_);
  EXPECT_EQ(PersistentPrefStore::PREF_READ_ERROR_NO_FILE, store->GetReadError());
  // Hold the file's sequence busy so that the write is still queued when
  // the shutdown starts.
  JsonPrefStore::GetTaskRunnerForFile(path_, holder->pool())
      ->PostTask(FROM_HERE, base::BindOnce([] { ::Sleep(300); }));
  ASSERT_TRUE(store->SetValue("au_task_error_count", base::Value(1)));
  store->CommitPendingWrite();
  EXPECT_FALSE(base::PathExists(path_));

  RunAtExit();
  EXPECT_EQ(std::optional<int>(1), ReadBackInt("au_task_error_count"));
}

TEST_F(PrefsTaskPoolHolderTest, WaitForReleaseWaitsForStoresStillHeld) {
  PrefsTaskPoolHolder* holder = GetPrefsTaskPool();
  holder->set_wait_for_release(true);
  scoped_refptr<JsonPrefStore> store = holder->CreateJsonPrefStore(path_);
  ASSERT_TRUE(store->SetValue("single_profile", base::Value(1)));
  // Another thread keeps the store a while and then lets it go; its last
  // write must still reach the disk.
  std::thread keeper([kept = std::move(store)]() mutable {
    ::Sleep(400);
    kept = nullptr;
  });
  const ULONGLONG elapsed = RunAtExit();
  keeper.join();
  EXPECT_GE(elapsed, 350u);
  EXPECT_EQ(std::optional<int>(1), ReadBackInt("single_profile"));
}

TEST_F(PrefsTaskPoolHolderTest, WithoutWaitForReleaseShutdownDoesNotWait) {
  scoped_refptr<JsonPrefStore> store = GetPrefsTaskPool()->CreateJsonPrefStore(path_);
  ASSERT_TRUE(store->SetValue("single_profile", base::Value(1)));
  std::thread keeper([kept = std::move(store)]() mutable {
    ::Sleep(800);
    kept = nullptr;
  });
  const ULONGLONG elapsed = RunAtExit();
  keeper.join();
  EXPECT_LT(elapsed, 600u);
  // The pool was gone when the store let go: its write was refused.
  EXPECT_FALSE(base::PathExists(path_));
}

}  // namespace
}  // namespace installer
