#include "base/lazy_instance_helpers.h"

#include "base/at_exit.h"
#include "base/threading/platform_thread.h"

namespace base::internal {

bool NeedsLazyInstance(std::atomic<uintptr_t>& state) {
  uintptr_t expected = 0;
  if (state.compare_exchange_strong(expected, kLazyInstanceStateCreating,
                                    std::memory_order_acquire))
    return true;
  // Another thread is building the object; its address follows shortly.
  // A builder whose creator returned null puts the word back to 0; try again.
  for (;;) {
    uintptr_t value = state.load(std::memory_order_acquire);
    if (value == kLazyInstanceStateCreating) {
      PlatformThread::YieldCurrentThread();
      continue;
    }
    if (value != 0)
      return false;
    expected = 0;
    if (state.compare_exchange_strong(expected, kLazyInstanceStateCreating,
                                      std::memory_order_acquire))
      return true;
  }
}

void CompleteLazyInstance(std::atomic<uintptr_t>& state, uintptr_t instance,
                          void (*destructor)(void*), void* destructor_arg) {
  state.store(instance, std::memory_order_release);
  if (destructor && AtExitManager::IsRegistered())
    AtExitManager::RegisterCallback(destructor, destructor_arg);
}

}  // namespace base::internal
