// PrefsTaskPoolHolder owns the process's one worker pool ("PrefsTaskPool",
// two threads) on which JSON preference stores write their files, one
// sequence per file, and hands out stores bound to it. It is built on first
// use from any thread and shut down by the at-exit manager: pending writes
// (tasks that block shutdown) reach the disk before the process ends. With
// wait-for-release set, the shutdown first waits until every store and
// runner made from the pool has gone, so that the final writes of stores
// released late still reach the disk; this waits for as long as some store
// is kept. An AtExitManager must exist when the holder is first built.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_PREFS_TASK_POOL_HOLDER_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_PREFS_TASK_POOL_HOLDER_H_

#include <atomic>

#include "base/files/file_path.h"
#include "base/memory/ref_counted.h"
#include "base/threading/sequenced_worker_pool.h"
#include "prefs/json_pref_store.h"

namespace installer {

class PrefsTaskPoolHolder {
 public:
  // The holder, built on the first call; later calls, from any thread,
  // return the same one until the at-exit shutdown has run.
  static PrefsTaskPoolHolder* GetInstance();

  PrefsTaskPoolHolder(const PrefsTaskPoolHolder&) = delete;
  PrefsTaskPoolHolder& operator=(const PrefsTaskPoolHolder&) = delete;

  // A store for |path| writing on the file's sequence of the pool, already
  // read (synchronously, on this thread); see its read error for how that went.
  scoped_refptr<JsonPrefStore> CreateJsonPrefStore(const base::FilePath& path);

  void set_wait_for_release(bool wait_for_release) { wait_for_release_ = wait_for_release; }

  base::SequencedWorkerPool* pool() const { return pool_.get(); }

 private:
  PrefsTaskPoolHolder();
  ~PrefsTaskPoolHolder();

  // Shuts the pool down and forgets the holder, so that a later call builds
  // a new one.
  static void ShutDownAtExit(void* unused);

  std::atomic<bool> wait_for_release_{false};
  scoped_refptr<base::SequencedWorkerPool> pool_;
};

// Same as PrefsTaskPoolHolder::GetInstance().
PrefsTaskPoolHolder* GetPrefsTaskPool();

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_PREFS_TASK_POOL_HOLDER_H_
