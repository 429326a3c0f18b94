#include "base/at_exit.h"

#include <utility>

#include "base/functional/bind.h"
#include "base/logging.h"

namespace base {

namespace {

// The innermost manager. Managers are created and destroyed by the main
// thread (or a test), never concurrently with registration.
AtExitManager* g_top_manager = nullptr;

}  // namespace

AtExitManager::AtExitManager() : next_manager_(g_top_manager) {
  DCHECK(!g_top_manager) << "A second AtExitManager; use ShadowingAtExitManager in tests";
  g_top_manager = this;
}

AtExitManager::AtExitManager(bool shadow) : next_manager_(g_top_manager) {
  DCHECK(shadow || !g_top_manager);
  g_top_manager = this;
}

AtExitManager::~AtExitManager() {
  if (g_top_manager != this) {
    LOG(ERROR) << "AtExitManager destroyed out of order";
    return;
  }
  ProcessCallbacksNow();
  g_top_manager = next_manager_;
}

void AtExitManager::RegisterCallback(AtExitCallbackType func, void* param) {
  DCHECK(func);
  RegisterTask(BindOnce(func, param));
}

void AtExitManager::RegisterTask(OnceClosure task) {
  if (!g_top_manager) {
    LOG(ERROR) << "Tried to register an at-exit task without an AtExitManager";
    return;
  }
  AutoLock lock(g_top_manager->lock_);
  g_top_manager->stack_.push(std::move(task));
}

void AtExitManager::ProcessCallbacksNow() {
  AtExitManager* manager = g_top_manager;
  if (!manager) {
    LOG(ERROR) << "Tried to process at-exit tasks without an AtExitManager";
    return;
  }
  // Callbacks may register more; take them one at a time so that those run too,
  // and never run one with the lock held.
  for (;;) {
    OnceClosure task;
    {
      AutoLock lock(manager->lock_);
      if (manager->stack_.empty())
        break;
      task = std::move(manager->stack_.top());
      manager->stack_.pop();
    }
    std::move(task).Run();
  }
}

bool AtExitManager::IsRegistered() {
  return g_top_manager != nullptr;
}

}  // namespace base
