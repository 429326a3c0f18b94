// JsonPrefStore: preferences kept in a JSON file whose top level is an
// object. The file is read synchronously on the calling thread (ReadPrefs)
// and written on a sequenced task runner, so that the callers never wait for
// the disk and two stores of one file, bound to that file's sequence, never
// write at the same time.
//
// Writes are atomic: the data goes to a temporary file in the same folder,
// is flushed, and then replaces the file, so a reader sees the old or the new
// contents, never a half-written file. A file that is not JSON, or not an
// object, reads as empty with the read error set; reading changes nothing on
// disk, and the first write moves the damaged file aside to "<name>.bad"
// before it writes, so what may still be recovered by hand is never silently
// replaced. A file that exists but cannot be read makes the store read-only.
//
// The store is used on one sequence. Unsaved changes are written by
// CommitPendingWrite and, at the latest, when the last reference goes; the
// write is then posted to the runner and lost only if the runner no longer
// accepts tasks.

#ifndef PREFS_JSON_PREF_STORE_H_
#define PREFS_JSON_PREF_STORE_H_

#include <string>
#include <string_view>

#include "base/files/file_path.h"
#include "base/functional/callback.h"
#include "base/memory/ref_counted.h"
#include "base/observer_list.h"
#include "base/task/sequenced_task_runner.h"
#include "base/values.h"
#include "prefs/persistent_pref_store.h"

namespace base {
class SequencedWorkerPool;
}

class JsonPrefStore : public PersistentPrefStore {
 public:
  // The runner of |pool| for |path|'s own sequence ("json_pref_store-" and
  // the UTF-8 path), whose tasks block the pool's shutdown.
  static scoped_refptr<base::SequencedTaskRunner> GetTaskRunnerForFile(
      const base::FilePath& path, base::SequencedWorkerPool* pool);

  // The name the file is moved to when it cannot be parsed.
  static base::FilePath GetBadFilePath(const base::FilePath& path);

  JsonPrefStore(const base::FilePath& path,
                scoped_refptr<base::SequencedTaskRunner> file_task_runner);

  const base::FilePath& path() const { return path_; }

  // PrefStore:
  void AddObserver(PrefStore::Observer* observer) override;
  void RemoveObserver(PrefStore::Observer* observer) override;
  bool HasObservers() const override;
  bool IsInitializationComplete() const override;
  bool GetValue(std::string_view key, const base::Value** result) const override;
  base::Value::Dict GetValues() const override;

  // PersistentPrefStore:
  bool SetValue(const std::string& key, base::Value value) override;
  void RemoveValue(const std::string& key) override;
  bool ReadOnly() const override;
  PrefReadError GetReadError() const override;
  PrefReadError ReadPrefs() override;
  void CommitPendingWrite() override;
  // The same; then |on_written| runs on the file task runner with whether
  // the write succeeded (true when nothing was pending). It never runs when
  // the values cannot be written (a read-only store, a runner that no longer
  // accepts tasks), so a caller starts from "not written".
  void CommitPendingWrite(base::OnceCallback<void(bool)> on_written);

 private:
  ~JsonPrefStore() override;

  // Reads and parses the file into |prefs_|; the error tells how it went.
  PrefReadError ReadFile();
  void NotifyValueChanged(const std::string& key);

  const base::FilePath path_;
  const scoped_refptr<base::SequencedTaskRunner> file_task_runner_;
  base::Value::Dict prefs_;
  base::ObserverList<PrefStore::Observer> observers_;
  bool initialized_ = false;
  bool read_only_ = false;
  // The file read was damaged: the next write keeps it as "<name>.bad".
  bool keep_damaged_file_aside_ = false;
  bool dirty_ = false;
  PrefReadError read_error_ = PREF_READ_ERROR_NONE;
};

#endif  // PREFS_JSON_PREF_STORE_H_
