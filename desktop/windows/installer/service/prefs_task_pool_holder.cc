#include "desktop/windows/installer/service/prefs_task_pool_holder.h"

#include <windows.h>

#include <cstdint>

#include "base/at_exit.h"
#include "base/logging.h"

namespace installer {

namespace {

constexpr char kPoolName[] = "PrefsTaskPool";
constexpr size_t kPoolThreads = 2;
constexpr DWORD kReleasePollMs = 100;

// 0: no holder; 1: a holder is being built; otherwise the holder.
constexpr uintptr_t kNoHolder = 0;
constexpr uintptr_t kBuildingHolder = 1;
std::atomic<uintptr_t> g_holder{kNoHolder};

}  // namespace

// static
PrefsTaskPoolHolder* PrefsTaskPoolHolder::GetInstance() {
  uintptr_t value = g_holder.load(std::memory_order_acquire);
  if (value > kBuildingHolder)
    return reinterpret_cast<PrefsTaskPoolHolder*>(value);

  uintptr_t expected = kNoHolder;
  if (g_holder.compare_exchange_strong(expected, kBuildingHolder, std::memory_order_acq_rel)) {
    auto* holder = new PrefsTaskPoolHolder();
    g_holder.store(reinterpret_cast<uintptr_t>(holder), std::memory_order_release);
    base::AtExitManager::RegisterCallback(&PrefsTaskPoolHolder::ShutDownAtExit, holder);
    return holder;
  }
  while ((value = g_holder.load(std::memory_order_acquire)) == kBuildingHolder)
    ::Sleep(0);
  if (value == kNoHolder)  // Shut down meanwhile: build anew.
    return GetInstance();
  return reinterpret_cast<PrefsTaskPoolHolder*>(value);
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
void PrefsTaskPoolHolder::ShutDownAtExit(void* param) {
  auto* holder = static_cast<PrefsTaskPoolHolder*>(param);
  // Waiting comes before the shutdown: a store released during the wait
  // posts its last write, which a pool already shut down would refuse.
  if (holder->wait_for_release_) {
    while (!holder->pool_->HasOneRef())
      ::Sleep(kReleasePollMs);
  }
  holder->pool_->Shutdown();
  holder->pool_ = nullptr;
  delete holder;
  g_holder.store(kNoHolder, std::memory_order_release);
}

PrefsTaskPoolHolder* GetPrefsTaskPool() {
  return PrefsTaskPoolHolder::GetInstance();
}

}  // namespace installer
