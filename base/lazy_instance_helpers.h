// The lazily created process-wide object held in one machine word:
//   0      no object yet,
//   1      one thread is building it,
//   other  the object's address.
// The first caller swaps 0 for 1 (compare and swap) and builds the object;
// concurrent callers yield (Sleep(0)) until the address is stored. The
// builder registers |destructor|(|destructor_arg|) with the AtExitManager
// (when |destructor| is given and a manager exists). A destructor that sets
// the word back to 0 lets a later caller build a new object.

#ifndef BASE_LAZY_INSTANCE_HELPERS_H_
#define BASE_LAZY_INSTANCE_HELPERS_H_

#include <atomic>
#include <cstdint>

namespace base {
namespace internal {

constexpr uintptr_t kLazyInstanceStateCreating = 1;

// True when the caller must build the object (the word is then 1); false when
// the object exists (possibly after waiting for another builder).
bool NeedsLazyInstance(std::atomic<uintptr_t>& state);

// Stores |instance| in the word and registers the destructor.
void CompleteLazyInstance(std::atomic<uintptr_t>& state, uintptr_t instance,
                          void (*destructor)(void*), void* destructor_arg);

}  // namespace internal

// Returns the object, calling |creator| (returning Type*) in the first caller.
// A creator returning null leaves the word at 0 and returns null.
template <typename Type, typename CreatorFunc>
Type* GetOrCreateLazyPointer(std::atomic<uintptr_t>& state, CreatorFunc&& creator,
                             void (*destructor)(void*), void* destructor_arg) {
  uintptr_t value = state.load(std::memory_order_acquire);
  if (value & ~internal::kLazyInstanceStateCreating)
    return reinterpret_cast<Type*>(value);
  if (internal::NeedsLazyInstance(state)) {
    Type* instance = creator();
    internal::CompleteLazyInstance(state, reinterpret_cast<uintptr_t>(instance),
                                   instance ? destructor : nullptr, destructor_arg);
    return instance;
  }
  return reinterpret_cast<Type*>(state.load(std::memory_order_acquire));
}

}  // namespace base

#endif  // BASE_LAZY_INSTANCE_HELPERS_H_
