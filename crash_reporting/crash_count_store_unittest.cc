#include "crash_reporting/crash_count_store.h"

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/json/json_reader.h"
#include "gtest/gtest.h"

namespace crash_reporting {
namespace {

// Tests that run Flush themselves use a store without its thread, which would
// race them for the pending counts.
class CrashCountStoreTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.CreateUniqueTempDir());
    path_ = folder_.GetPath().AppendASCII("crash_counts.json");
  }

  std::string ReadFile() {
    std::string text;
    base::ReadFileToString(path_, &text);
    return text;
  }

  base::ScopedTempDir folder_;
  base::FilePath path_;
};

TEST_F(CrashCountStoreTest, AddsBeforeTheFlushBecomeOneIncrement) {
  {
    CrashCountStore store(path_);
    for (int i = 0; i < 10; ++i)
      store.Add("installer", 1, false);
  }
  EXPECT_EQ("{\"installer\":10}", ReadFile());
}

TEST_F(CrashCountStoreTest, CountsAddToTheFileAndOtherTypesStay) {
  ASSERT_TRUE(base::WriteFile(path_, "{\"installer\": 2, \"browser\": 5}"));
  CrashCountStore store(path_, CrashCountStore::WithoutThreadForTesting());
  store.Add("installer", 1, false);
  store.Add("crash_reporter", 2, false);
  EXPECT_TRUE(store.Flush());
  EXPECT_EQ("{\"browser\":5,\"crash_reporter\":2,\"installer\":3}", ReadFile());
  EXPECT_TRUE(store.GetPendingForTesting().empty());
}

TEST_F(CrashCountStoreTest, NonIntegerEntriesAreDroppedOnRewrite) {
  ASSERT_TRUE(base::WriteFile(path_, "{\"a\": \"text\", \"b\": 1, \"c\": 1.5}"));
  CrashCountStore store(path_, CrashCountStore::WithoutThreadForTesting());
  store.Add("installer", 1, false);
  EXPECT_TRUE(store.Flush());
  EXPECT_EQ("{\"b\":1,\"installer\":1}", ReadFile());
}

TEST_F(CrashCountStoreTest, AListFileIsNeverOverwrittenAndTheCountsStayPending) {
  ASSERT_TRUE(base::WriteFile(path_, "[1, 2]"));
  CrashCountStore store(path_, CrashCountStore::WithoutThreadForTesting());
  store.Add("installer", 1, false);
  EXPECT_FALSE(store.Flush());
  store.Add("installer", 2, false);
  EXPECT_FALSE(store.Flush());
  EXPECT_EQ("[1, 2]", ReadFile());
  EXPECT_EQ((std::map<std::string, int>{{"installer", 3}}), store.GetPendingForTesting());
}

TEST_F(CrashCountStoreTest, ALockedFileLosesNoCountsAndTheyLandOnceFree) {
  ASSERT_TRUE(base::WriteFile(path_, "{\"installer\": 1}"));
  CrashCountStore store(path_, CrashCountStore::WithoutThreadForTesting());
  {
    // Another store is merging: its lock is held.
    base::win::ScopedHandle other(CreateFileW((path_.value() + L".lock").c_str(),
                                              GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                              OPEN_ALWAYS, 0, nullptr));
    ASSERT_TRUE(other.IsValid());
    store.Add("installer", 1, false);
    EXPECT_FALSE(store.Flush());
    EXPECT_EQ("{\"installer\": 1}", ReadFile());
  }
  EXPECT_TRUE(store.Flush());
  EXPECT_EQ("{\"installer\":2}", ReadFile());
}

TEST_F(CrashCountStoreTest, AFailedReplacementKeepsTheOldFileAndTheCounts) {
  ASSERT_TRUE(base::WriteFile(path_, "{\"installer\": 4}"));
  CrashCountStore store(path_, CrashCountStore::WithoutThreadForTesting());
  {
    // A reader without delete sharing keeps the file from being replaced.
    base::win::ScopedHandle reader(CreateFileW(path_.value().c_str(), GENERIC_READ,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader.IsValid());
    store.Add("installer", 1, false);
    EXPECT_FALSE(store.Flush());
  }
  EXPECT_EQ("{\"installer\": 4}", ReadFile());
  EXPECT_TRUE(store.Flush());
  EXPECT_EQ("{\"installer\":5}", ReadFile());
}

TEST_F(CrashCountStoreTest, SignalledAddReachesTheFileFromTheThread) {
  CrashCountStore store(path_);
  store.Add("installer", 1, true);
  ULONGLONG deadline = GetTickCount64() + 30000;
  while (ReadFile().empty() && GetTickCount64() < deadline)
    Sleep(10);
  EXPECT_EQ("{\"installer\":1}", ReadFile());
}

}  // namespace
}  // namespace crash_reporting
