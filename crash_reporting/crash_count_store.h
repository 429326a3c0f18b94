// Crashes counted per process type in a small JSON file ({"installer": 2})
// that several processes may update. Add() collects increments in memory;
// a background thread merges them into the file under a lock and retries
// when that fails. Entries that are not integers are ignored when read and
// dropped when the file is rewritten.
//
// The file is replaced atomically (written beside it and renamed over it),
// so a crash or a full disk mid-write leaves the old counts readable; since
// a renamed file cannot carry a lock, the processes take turns through an
// exclusively opened lock file beside it ("<file>.lock"). Counts that could
// not be written stay pending.

#ifndef CRASH_REPORTING_CRASH_COUNT_STORE_H_
#define CRASH_REPORTING_CRASH_COUNT_STORE_H_

#include <windows.h>

#include <map>
#include <string>

#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"

namespace crash_reporting {

class CrashCountStore {
 public:
  // Rounds of failed flushes retried at once after one wake-up.
  static constexpr int kMaxFailuresPerWakeUp = 10;

  // Starts the background thread.
  explicit CrashCountStore(const base::FilePath& path);
  // A store without its thread, whose Flush only the caller runs; what is
  // still pending at destruction is dropped.
  struct WithoutThreadForTesting {};
  CrashCountStore(const base::FilePath& path, WithoutThreadForTesting);
  CrashCountStore(const CrashCountStore&) = delete;
  CrashCountStore& operator=(const CrashCountStore&) = delete;
  // Flushes what is pending (at most 10 attempts) and stops the thread.
  virtual ~CrashCountStore();

  // Adds |count| crashes of |process_type|; wakes the thread when |signal|.
  // Any thread.
  void Add(const std::string& process_type, int count, bool signal);

  // Merges the pending counts into the file; true when nothing was pending
  // or all of it was written. On failure the counts stay pending. Runs on
  // the background thread (and in tests).
  bool Flush();

  // The counts not yet written.
  std::map<std::string, int> GetPendingForTesting();

 protected:
  virtual void ThreadMain();

 private:
  static DWORD WINAPI ThreadStart(void* parameter);
  // The file's counts; false when it cannot be read as a dictionary.
  bool ReadCounts(std::map<std::string, int>* counts);
  void MergeBack(const std::map<std::string, int>& taken);

  const base::FilePath path_;
  base::win::ScopedHandle wake_event_;
  base::win::ScopedHandle thread_;
  CRITICAL_SECTION lock_;
  std::map<std::string, int> pending_;
  volatile LONG stop_ = 0;
};

}  // namespace crash_reporting

#endif  // CRASH_REPORTING_CRASH_COUNT_STORE_H_
