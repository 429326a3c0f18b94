#include "prefs/json_pref_store.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/json/json_reader.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace {

// Keeps posted tasks until the test runs them, or refuses them all.
class ManualTaskRunner : public base::SequencedTaskRunner {
 public:
  explicit ManualTaskRunner(bool accept = true) : accept_(accept) {}

  bool PostDelayedTask(const base::Location& from_here, base::OnceClosure task,
                       base::TimeDelta delay) override {
    if (!accept_)
      return false;
    tasks_.push_back(std::move(task));
    return true;
  }
  bool RunsTasksInCurrentSequence() const override { return true; }

  size_t pending() const { return tasks_.size(); }
  void RunPending() {
    std::vector<base::OnceClosure> tasks = std::move(tasks_);
    tasks_.clear();
    for (base::OnceClosure& task : tasks)
      std::move(task).Run();
  }

 private:
  ~ManualTaskRunner() override = default;

  const bool accept_;
  std::vector<base::OnceClosure> tasks_;
};

class RecordingObserver : public PrefStore::Observer {
 public:
  void OnPrefValueChanged(const std::string& key) override { changed.push_back(key); }
  void OnInitializationCompleted(bool succeeded) override {
    initialized.push_back(succeeded);
  }
  std::vector<std::string> changed;
  std::vector<bool> initialized;
};

class JsonPrefStoreTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = base::FilePath(base::test::ScratchFolder())
                  .Append(base::test::UniqueName(L"prefs"));
    ASSERT_TRUE(base::CreateDirectory(folder_));
    path_ = folder_.Append(L"installer_prefs.json");
    runner_ = base::MakeRefCounted<ManualTaskRunner>();
  }

  scoped_refptr<JsonPrefStore> OpenStore() {
    return base::MakeRefCounted<JsonPrefStore>(path_, runner_);
  }

  std::string ReadBack(const base::FilePath& path) {
    std::string contents;
    EXPECT_TRUE(base::ReadFileToString(path, &contents));
    return contents;
  }

  base::Value::Dict ReadBackDict() {
    std::optional<base::Value::Dict> dict = base::JSONReader::ReadDict(ReadBack(path_));
    EXPECT_TRUE(dict.has_value());
    return dict ? std::move(*dict) : base::Value::Dict();
  }

  std::vector<std::wstring> FolderEntries() {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW(folder_.Append(L"*").value().c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
      return names;
    do {
      const std::wstring name = data.cFileName;
      if (name != L"." && name != L"..")
        names.push_back(name);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return names;
  }

  base::FilePath folder_;
  base::FilePath path_;
  scoped_refptr<ManualTaskRunner> runner_;
};

TEST_F(JsonPrefStoreTest, MissingFileStartsEmptyAndIsWrittenOnCommit) {
  scoped_refptr<JsonPrefStore> store = OpenStore();
  EXPECT_FALSE(store->IsInitializationComplete());
  EXPECT_EQ(PersistentPrefStore::PREF_READ_ERROR_NO_FILE, store->ReadPrefs());
  EXPECT_TRUE(store->IsInitializationComplete());
  EXPECT_FALSE(store->ReadOnly());
  EXPECT_TRUE(store->GetValues().empty());

  ASSERT_TRUE(store->SetValue("install.language", base::Value("de")));
  ASSERT_TRUE(store->SetValue("enable_stats", base::Value(true)));
  const base::Value* value = nullptr;
  ASSERT_TRUE(store->GetValue("install.language", &value));
  EXPECT_EQ("de", value->GetString());
  EXPECT_FALSE(store->GetValue("install.missing", nullptr));

  store->CommitPendingWrite();
  EXPECT_FALSE(base::PathExists(path_)) << "written on the caller's thread";
  ASSERT_EQ(1u, runner_->pending());
  runner_->RunPending();
  base::Value::Dict written = ReadBackDict();
  EXPECT_EQ(store->GetValues(), written);
  // Nothing new: no second write.
  store->CommitPendingWrite();
  EXPECT_EQ(0u, runner_->pending());
}

TEST_F(JsonPrefStoreTest, CommitReportsWhetherTheFileWasWritten) {
  std::vector<bool> reports;
  auto record = [&reports](bool written) { reports.push_back(written); };
  scoped_refptr<JsonPrefStore> store = OpenStore();
  store->ReadPrefs();
  ASSERT_TRUE(store->SetValue("a", base::Value(1)));
  store->CommitPendingWrite(base::BindOnce(record));
  EXPECT_TRUE(reports.empty()) << "reported on the caller's thread";
  runner_->RunPending();
  store->CommitPendingWrite(base::BindOnce(record));  // Nothing pending.
  runner_->RunPending();
  EXPECT_EQ((std::vector<bool>{true, true}), reports);

  path_ = folder_.Append(L"gone\\installer_prefs.json");
  scoped_refptr<JsonPrefStore> unwritable = OpenStore();
  unwritable->ReadPrefs();
  ASSERT_TRUE(unwritable->SetValue("a", base::Value(1)));
  unwritable->CommitPendingWrite(base::BindOnce(record));
  runner_->RunPending();
  EXPECT_EQ((std::vector<bool>{true, true, false}), reports);
}

TEST_F(JsonPrefStoreTest, ReadsExistingValuesByDottedPath) {
  ASSERT_TRUE(base::WriteFile(
      path_, R"({"single_profile": false, "intl": {"app_locale": "fr"}, "n": 3})"));
  scoped_refptr<JsonPrefStore> store = OpenStore();
  EXPECT_EQ(PersistentPrefStore::PREF_READ_ERROR_NONE, store->ReadPrefs());
  const base::Value* value = nullptr;
  ASSERT_TRUE(store->GetValue("intl.app_locale", &value));
  EXPECT_EQ("fr", value->GetString());
  ASSERT_TRUE(store->GetValue("n", &value));
  EXPECT_EQ(3, value->GetInt());
  EXPECT_EQ(3u, store->GetValues().size());

  // A value inside a non-dictionary replaces it by a dictionary.
  EXPECT_TRUE(store->SetValue("n.x", base::Value(1)));
  ASSERT_TRUE(store->GetValue("n", &value));
  EXPECT_EQ(1, value->GetDict().FindInt("x"));
  store->RemoveValue("intl.app_locale");
  EXPECT_FALSE(store->GetValue("intl", nullptr));
  store->CommitPendingWrite();
  runner_->RunPending();
  EXPECT_FALSE(ReadBackDict().contains("intl"));
}

TEST_F(JsonPrefStoreTest, FileCutShortMidWriteIsKeptAside) {
  const std::string truncated = R"({"single_profile": true, "language": "de)";
  ASSERT_TRUE(base::WriteFile(path_, truncated));
  scoped_refptr<JsonPrefStore> store = OpenStore();
  EXPECT_EQ(PersistentPrefStore::PREF_READ_ERROR_JSON_PARSE, store->ReadPrefs());
  EXPECT_EQ(PersistentPrefStore::PREF_READ_ERROR_JSON_PARSE, store->GetReadError());
  EXPECT_TRUE(store->IsInitializationComplete());
  EXPECT_FALSE(store->ReadOnly());
  EXPECT_TRUE(store->GetValues().empty());
  // Reading alone leaves the file where it is.
  const base::FilePath bad = folder_.Append(L"installer_prefs.json.bad");
  EXPECT_EQ(bad, JsonPrefStore::GetBadFilePath(path_));
  EXPECT_EQ(truncated, ReadBack(path_));
  EXPECT_FALSE(base::PathExists(bad));

  // The next write keeps the damaged file aside and starts a fresh one.
  ASSERT_TRUE(store->SetValue("language", base::Value("en")));
  store->CommitPendingWrite();
  runner_->RunPending();
  EXPECT_EQ(R"({"language":"en"})", ReadBack(path_));
  EXPECT_EQ(truncated, ReadBack(bad));
}

TEST_F(JsonPrefStoreTest, JsonThatIsNotAnObjectIsKeptAside) {
  ASSERT_TRUE(base::WriteFile(path_, "[1, 2, 3]"));
  scoped_refptr<JsonPrefStore> store = OpenStore();
  EXPECT_EQ(PersistentPrefStore::PREF_READ_ERROR_JSON_TYPE, store->ReadPrefs());
  EXPECT_TRUE(store->GetValues().empty());
  EXPECT_EQ("[1, 2, 3]", ReadBack(path_));
  ASSERT_TRUE(store->SetValue("a", base::Value(1)));
  store->CommitPendingWrite();
  runner_->RunPending();
  EXPECT_EQ("[1, 2, 3]", ReadBack(JsonPrefStore::GetBadFilePath(path_)));
  EXPECT_EQ(R"({"a":1})", ReadBack(path_));
}

TEST_F(JsonPrefStoreTest, LockedFileMakesTheStoreReadOnly) {
  ASSERT_TRUE(base::WriteFile(path_, R"({"a": 1})"));
  HANDLE lock = ::CreateFileW(path_.value().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, lock);
  scoped_refptr<JsonPrefStore> store = OpenStore();
  EXPECT_EQ(PersistentPrefStore::PREF_READ_ERROR_FILE_LOCKED, store->ReadPrefs());
  ::CloseHandle(lock);
  EXPECT_TRUE(store->ReadOnly());
  ASSERT_TRUE(store->SetValue("a", base::Value(2)));
  store->CommitPendingWrite();
  store = nullptr;
  EXPECT_EQ(0u, runner_->pending());
  EXPECT_EQ(R"({"a": 1})", ReadBack(path_));
}

TEST_F(JsonPrefStoreTest, AtomicReplaceLeavesNoTemporaryFile) {
  ASSERT_TRUE(base::WriteFile(path_, R"({"old": true})"));
  scoped_refptr<JsonPrefStore> store = OpenStore();
  ASSERT_EQ(PersistentPrefStore::PREF_READ_ERROR_NONE, store->ReadPrefs());
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(store->SetValue("count", base::Value(i)));
    store->CommitPendingWrite();
    runner_->RunPending();
  }
  EXPECT_EQ(std::vector<std::wstring>{L"installer_prefs.json"}, FolderEntries());
  EXPECT_EQ(R"({"count":2,"old":true})", ReadBack(path_));
}

TEST_F(JsonPrefStoreTest, LastReleaseWritesUnsavedChanges) {
  scoped_refptr<JsonPrefStore> store = OpenStore();
  store->ReadPrefs();
  ASSERT_TRUE(store->SetValue("au_task_error_count", base::Value(2)));
  store = nullptr;
  ASSERT_EQ(1u, runner_->pending());
  runner_->RunPending();
  EXPECT_EQ(R"({"au_task_error_count":2})", ReadBack(path_));

  // A clean store writes nothing when it goes.
  store = OpenStore();
  store->ReadPrefs();
  store = nullptr;
  EXPECT_EQ(0u, runner_->pending());
}

TEST_F(JsonPrefStoreTest, RefusingRunnerNeverWrites) {
  auto refusing = base::MakeRefCounted<ManualTaskRunner>(false);
  scoped_refptr<JsonPrefStore> store = base::MakeRefCounted<JsonPrefStore>(path_, refusing);
  store->ReadPrefs();
  ASSERT_TRUE(store->SetValue("welcome-url", base::Value("https://example.test/")));
  store->CommitPendingWrite();
  store = nullptr;
  EXPECT_FALSE(base::PathExists(path_));
}

TEST_F(JsonPrefStoreTest, ObserversHearOfInitializationAndRealChanges) {
  ASSERT_TRUE(base::WriteFile(path_, R"({"a": 1})"));
  scoped_refptr<JsonPrefStore> store = OpenStore();
  RecordingObserver observer;
  store->AddObserver(&observer);
  EXPECT_TRUE(store->HasObservers());
  store->ReadPrefs();
  EXPECT_EQ(std::vector<bool>{true}, observer.initialized);

  store->SetValue("a", base::Value(1));  // unchanged
  store->SetValue("b.c", base::Value("x"));
  store->RemoveValue("a");
  store->RemoveValue("missing");
  EXPECT_EQ((std::vector<std::string>{"b.c", "a"}), observer.changed);

  store->RemoveObserver(&observer);
  EXPECT_FALSE(store->HasObservers());
  store->SetValue("d", base::Value(4));
  EXPECT_EQ(2u, observer.changed.size());

  // A damaged file reports a failed initialisation.
  ASSERT_TRUE(base::WriteFile(path_, "{"));
  scoped_refptr<JsonPrefStore> damaged = OpenStore();
  RecordingObserver damaged_observer;
  damaged->AddObserver(&damaged_observer);
  damaged->ReadPrefs();
  EXPECT_EQ(std::vector<bool>{false}, damaged_observer.initialized);
  damaged->RemoveObserver(&damaged_observer);
}

}  // namespace
