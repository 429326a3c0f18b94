#include "desktop/windows/installer/service/prefs_task_pool_holder.h"

#include <windows.h>

#include <cstdint>

#include "base/lazy_instance_helpers.h"
#include "base/logging.h"

namespace installer {

namespace {

constexpr char kPoolName[] = "PrefsTaskPool";
constexpr size_t kPoolThreads = 2;
constexpr DWORD kReleasePollMs = 100;

// The holder's address once built (see base::GetOrCreateLazyPointer); back to
// 0 after the at-exit shutdown.
std::atomic<uintptr_t> g_holder{0};

}  // namespace

// static
PrefsTaskPoolHolder* PrefsTaskPoolHolder::GetInstance() {
  return base::GetOrCreateLazyPointer<PrefsTaskPoolHolder>(
      g_holder, [] { return new PrefsTaskPoolHolder(); }, &PrefsTaskPoolHolder::ShutDownAtExit,
      nullptr);
}

PrefsTaskPoolHolder::PrefsTaskPoolHolder()
    : pool_(base::MakeRefCounted<base::SequencedWorkerPool>(kPoolThreads, kPoolName)) {}

PrefsTaskPoolHolder::~PrefsTaskPoolHolder() = default;

scoped_refptr<JsonPrefStore> PrefsTaskPoolHolder::CreateJsonPrefStore(
    const base::FilePath& path) {
  auto store = base::MakeRefCounted<JsonPrefStore>(
      path, JsonPrefStore::GetTaskRunnerForFile(path, pool_.get()));
  store->ReadPrefs();
  return store;
}

// static
void PrefsTaskPoolHolder::ShutDownAtExit(void*) {
  auto* holder = reinterpret_cast<PrefsTaskPoolHolder*>(g_holder.load(std::memory_order_acquire));
  // Waiting comes before the shutdown: a store released during the wait
  // posts its last write, which a pool already shut down would refuse.
  if (holder->wait_for_release_) {
    while (!holder->pool_->HasOneRef())
      ::Sleep(kReleasePollMs);
  }
  holder->pool_->Shutdown();
  holder->pool_ = nullptr;
  delete holder;
  g_holder.store(0, std::memory_order_release);
}

PrefsTaskPoolHolder* GetPrefsTaskPool() {
  return PrefsTaskPoolHolder::GetInstance();
}

}  // namespace installer
