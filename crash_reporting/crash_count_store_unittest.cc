#include "crash_reporting/crash_count_store.h"

#include <atomic>
#include <functional>
#include <utility>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
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

// Another process merging its own counts: it holds the lock on the file
// itself while it reads and rewrites it through one handle.
class PeerWriter {
 public:
  explicit PeerWriter(const base::FilePath& path)
      : file_(path, base::File::FLAG_OPEN_ALWAYS | base::File::FLAG_READ |
                        base::File::FLAG_WRITE | base::File::FLAG_SHARE_DELETE) {}
  bool Lock() { return file_.Lock(); }
  void Unlock() { file_.Unlock(); }
  // What the file holds, read through this handle.
  std::string Read() {
    std::string text(4096, '\0');
    int read = file_.Read(0, text.data(), static_cast<int>(text.size()));
    text.resize(read < 0 ? 0 : read);
    return text;
  }
  bool Rewrite(const std::string& text) {
    return file_.Write(0, text.data(), static_cast<int>(text.size())) ==
               static_cast<int>(text.size()) &&
           file_.SetLength(static_cast<int64_t>(text.size()));
  }

 private:
  base::File file_;
};

// A store whose thread starts when the test says, and whose flushes the test
// counts (every call, the ones with nothing pending too) and can act before.
class ObservedStore : public CrashCountStore {
 public:
  using BeforeAttempt = std::function<void(int attempt)>;

  explicit ObservedStore(const base::FilePath& path, BeforeAttempt before_attempt = nullptr)
      : CrashCountStore(path, WithoutThreadForTesting()),
        before_attempt_(std::move(before_attempt)),
        attempt_done_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
  ~ObservedStore() override { StopThread(); }

  void Start() { StartThread(); }
  void Stop() { StopThread(); }

  bool Flush() override {
    const int attempt = attempts_ + 1;
    if (before_attempt_)
      before_attempt_(attempt);
    bool flushed = CrashCountStore::Flush();
    if (!flushed)
      ++failures_;
    attempts_ = attempt;
    SetEvent(attempt_done_.Get());
    return flushed;
  }

  void WaitForAttempt(int attempt) {
    while (attempts_ < attempt)
      WaitForSingleObject(attempt_done_.Get(), INFINITE);
  }
  int attempts() const { return attempts_; }
  int failures() const { return failures_; }

 private:
  const BeforeAttempt before_attempt_;
  base::win::ScopedHandle attempt_done_;
  std::atomic<int> attempts_{0};
  std::atomic<int> failures_{0};
};

TEST_F(CrashCountStoreTest, AddsBeforeTheThreadRunsBecomeOneIncrement) {
  ObservedStore store(path_);
  for (int i = 0; i < 10; ++i)
    store.Add("installer", 1, false);
  store.Start();
  store.WaitForAttempt(1);
  EXPECT_EQ("{\"installer\":10}", ReadFile());
  store.Stop();
  EXPECT_EQ(1, store.attempts());
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
  // The document shrinks: nothing of the longer old one is left at its end.
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

// A store whose first write stops short (a full disk), past the end of the
// document it replaces.
class ShortWriteStore : public CrashCountStore {
 public:
  explicit ShortWriteStore(const base::FilePath& path)
      : CrashCountStore(path, WithoutThreadForTesting()) {}
  int writes = 0;

 protected:
  int WriteAt(base::File& file, int64_t offset, const char* data, int size) override {
    if (++writes == 1 && size > 10)
      return CrashCountStore::WriteAt(file, offset, data, size - 10);
    return CrashCountStore::WriteAt(file, offset, data, size);
  }
};

TEST_F(CrashCountStoreTest, ShortWriteOfALongerDocumentLeavesTheOldOneReadable) {
  const std::string old_text = "{\"installer\": 1}";
  ASSERT_TRUE(base::WriteFile(path_, old_text));
  ShortWriteStore store(path_);
  for (const char* type : {"crash_reporter", "installer", "browser_process", "renderer"})
    store.Add(type, 1, false);
  EXPECT_FALSE(store.Flush());
  EXPECT_EQ(2, store.writes);
  EXPECT_EQ(old_text, ReadFile());
  EXPECT_EQ(4u, store.GetPendingForTesting().size());
  // The next flush reads the file and writes every count.
  EXPECT_TRUE(store.Flush());
  EXPECT_EQ("{\"browser_process\":1,\"crash_reporter\":1,\"installer\":2,\"renderer\":1}",
            ReadFile());
  EXPECT_TRUE(store.GetPendingForTesting().empty());
}

TEST_F(CrashCountStoreTest, AnotherWritersTurnUnderTheFileLockLosesNothing) {
  ASSERT_TRUE(base::WriteFile(path_, "{\"installer\": 1}"));
  CrashCountStore store(path_, CrashCountStore::WithoutThreadForTesting());
  PeerWriter peer(path_);
  ASSERT_TRUE(peer.Lock());
  store.Add("installer", 1, false);
  // The peer's turn: this store waits for it.
  EXPECT_FALSE(store.Flush());
  ASSERT_EQ("{\"installer\": 1}", peer.Read());
  ASSERT_TRUE(peer.Rewrite("{\"installer\": 2}"));
  peer.Unlock();
  EXPECT_TRUE(store.Flush());
  // Rewritten in place: the peer's open handle sees the merged counts, and
  // nothing is left beside the file.
  EXPECT_EQ("{\"installer\":3}", peer.Read());
  EXPECT_EQ("{\"installer\":3}", ReadFile());
  EXPECT_FALSE(base::PathExists(base::FilePath(path_.value() + L".lock")));
}

TEST_F(CrashCountStoreTest, FailedFlushesAreRetriedTenTimesPerWakeUp) {
  PeerWriter peer(path_);
  ASSERT_TRUE(peer.Lock());
  ObservedStore store(path_);
  store.Add("installer", 1, false);
  store.Start();
  store.WaitForAttempt(CrashCountStore::kMaxFailuresPerWakeUp);
  EXPECT_EQ(CrashCountStore::kMaxFailuresPerWakeUp, store.failures());
  // Then the thread waits for the next wake-up, however long that is.
  Sleep(3 * CrashCountStore::kRetryDelayMs);
  EXPECT_EQ(CrashCountStore::kMaxFailuresPerWakeUp, store.attempts());
  peer.Unlock();
  store.Add("installer", 1, true);
  store.WaitForAttempt(CrashCountStore::kMaxFailuresPerWakeUp + 1);
  EXPECT_EQ(CrashCountStore::kMaxFailuresPerWakeUp, store.failures());
  EXPECT_EQ("{\"installer\":2}", ReadFile());
}

TEST_F(CrashCountStoreTest, DestroyingTheStoreGivesUpAfterTenAttempts) {
  ASSERT_TRUE(base::WriteFile(path_, "{\"installer\": 1}"));
  PeerWriter peer(path_);
  ASSERT_TRUE(peer.Lock());
  ObservedStore store(path_);
  store.Start();
  // The thread's first round finds nothing to write and waits.
  store.WaitForAttempt(1);
  store.Add("installer", 1, false);
  store.Stop();
  EXPECT_EQ(1 + CrashCountStore::kMaxFailuresPerWakeUp, store.attempts());
  EXPECT_EQ(CrashCountStore::kMaxFailuresPerWakeUp, store.failures());
  EXPECT_EQ("{\"installer\": 1}", peer.Read());
}

TEST_F(CrashCountStoreTest, DestroyingTheStoreWritesWhatIsPendingOnceTheFileIsFree) {
  ASSERT_TRUE(base::WriteFile(path_, "{\"installer\": 1}"));
  PeerWriter peer(path_);
  ASSERT_TRUE(peer.Lock());
  // The peer ends its turn before the third attempt at shutdown.
  ObservedStore store(path_, [&peer](int attempt) {
    if (attempt == 4)
      peer.Unlock();
  });
  store.Start();
  store.WaitForAttempt(1);
  store.Add("installer", 1, false);
  store.Stop();
  EXPECT_EQ(4, store.attempts());
  EXPECT_EQ(2, store.failures());
  EXPECT_EQ("{\"installer\":2}", ReadFile());
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
