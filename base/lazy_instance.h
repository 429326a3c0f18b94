// A process-wide object created on first use, safely from any thread, in
// storage reserved statically (no static constructor runs):
//
//   base::LazyInstance<Foo>::DestructorAtExit g_foo = LAZY_INSTANCE_INITIALIZER;
//   base::LazyInstance<Foo>::Leaky g_bar = LAZY_INSTANCE_INITIALIZER;
//   g_foo.Get().Bar();
//
// DestructorAtExit destroys the object from the AtExitManager (after which the
// next Get builds a new one); Leaky never destroys it.

#ifndef BASE_LAZY_INSTANCE_H_
#define BASE_LAZY_INSTANCE_H_

#include <atomic>
#include <cstdint>
#include <new>

#include "base/lazy_instance_helpers.h"

#define LAZY_INSTANCE_INITIALIZER \
  {}

namespace base {

template <typename Type, bool kDestroyAtExit>
class LazyInstanceImpl {
 public:
  constexpr LazyInstanceImpl() = default;
  LazyInstanceImpl(const LazyInstanceImpl&) = delete;
  LazyInstanceImpl& operator=(const LazyInstanceImpl&) = delete;

  Type& Get() { return *Pointer(); }
  Type* Pointer() {
    return GetOrCreateLazyPointer<Type>(
        state_, [this] { return new (storage_) Type(); },
        kDestroyAtExit ? &LazyInstanceImpl::OnExit : nullptr, this);
  }
  // True once built (and not yet destroyed).
  bool IsCreated() const {
    return (state_.load(std::memory_order_acquire) & ~internal::kLazyInstanceStateCreating) != 0;
  }

 private:
  static void OnExit(void* param) {
    auto* self = static_cast<LazyInstanceImpl*>(param);
    reinterpret_cast<Type*>(self->state_.load(std::memory_order_acquire))->~Type();
    self->state_.store(0, std::memory_order_release);
  }

  std::atomic<uintptr_t> state_{0};
  alignas(Type) unsigned char storage_[sizeof(Type)];
};

template <typename Type>
struct LazyInstance {
  using DestructorAtExit = LazyInstanceImpl<Type, true>;
  using Leaky = LazyInstanceImpl<Type, false>;
};

}  // namespace base

#endif  // BASE_LAZY_INSTANCE_H_
