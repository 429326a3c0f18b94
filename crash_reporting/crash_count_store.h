// Crashes counted per process type in a small JSON file ({"installer": 2})
// that several processes may update. Add() collects increments in memory;
// a background thread merges them into the file and retries when that
// fails. Entries that are not integers are ignored when read and dropped
// when the file is rewritten.
//
// The processes take turns through an exclusive lock on the file itself:
// each reads and rewrites it through the one handle that holds the lock, so
// no increment made by another process between the read and the write is
// lost, and a store that finds the file locked keeps its counts for the next
// round. The file is rewritten in place (never replaced: the lock and the
// handles of the others stay on it) by one write that leaves a complete
// document whatever the earlier length, trailing blanks trimmed afterwards;
// a failed write puts the earlier document back at its own length, so the
// file stays readable. Counts that could not be written stay pending.

#ifndef CRASH_REPORTING_CRASH_COUNT_STORE_H_
#define CRASH_REPORTING_CRASH_COUNT_STORE_H_

#include <windows.h>

#include <map>
#include <string>

#include "base/files/file.h"
#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"

namespace crash_reporting {

class CrashCountStore {
 public:
  // Rounds of failed flushes retried at once after one wake-up, and flushes
  // tried for what is pending when the store is destroyed.
  static constexpr int kMaxFailuresPerWakeUp = 10;
  static constexpr DWORD kRetryDelayMs = 100;
  static constexpr DWORD kShutdownRetryDelayMs = 50;

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
  virtual bool Flush();

  // The counts not yet written.
  std::map<std::string, int> GetPendingForTesting();

 protected:
  // For a subclass that must be complete before its thread runs Flush: it
  // starts the thread at the end of its constructor and stops it at the
  // start of its destructor.
  void StartThread();
  // Flushes what is pending and joins the thread; nothing when none runs.
  void StopThread();
  virtual void ThreadMain();
  // Writes |size| bytes of |data| at |offset| of |file|; the bytes written,
  // or -1. A write may be short (a full disk).
  virtual int WriteAt(base::File& file, int64_t offset, const char* data, int size);

 private:
  static DWORD WINAPI ThreadStart(void* parameter);
  bool HasPending();
  // The counts of the locked |file|; false when it cannot be read as a
  // dictionary. |text| receives what it held.
  static bool ReadCounts(base::File& file, std::string* text,
                         std::map<std::string, int>* counts);
  // Replaces the contents of the locked |file|, |old_text|, by |text|; on
  // failure the file holds |old_text| again, as far as it can be put back.
  bool Rewrite(base::File& file, const std::string& old_text, const std::string& text);
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
