// Weak pointers: references that do not keep their object alive and turn null
// once the owner invalidates them (normally by destroying its WeakPtrFactory,
// which must be the owner's last member so that it goes first).
//
// Testing a WeakPtr (operator bool, get) is safe on any thread, but the object
// may only be dereferenced on the sequence that owns it, because only there
// can invalidation not race with use. A callback bound to a WeakPtr receiver
// (base::BindOnce(&Foo::Bar, weak)) does nothing when run after invalidation.

#ifndef BASE_MEMORY_WEAK_PTR_H_
#define BASE_MEMORY_WEAK_PTR_H_

#include <atomic>
#include <cstddef>

#include "base/memory/ref_counted.h"

namespace base {

namespace internal {

// Shared by a factory and the WeakPtrs it handed out.
class WeakReferenceFlag : public RefCountedThreadSafe<WeakReferenceFlag> {
 public:
  WeakReferenceFlag() = default;
  void Invalidate() { valid_.store(false, std::memory_order_release); }
  bool IsValid() const { return valid_.load(std::memory_order_acquire); }

 private:
  friend class RefCountedThreadSafe<WeakReferenceFlag>;
  ~WeakReferenceFlag() = default;
  std::atomic<bool> valid_{true};
};

}  // namespace internal

template <typename T>
class WeakPtr {
 public:
  WeakPtr() = default;
  WeakPtr(std::nullptr_t) {}
  // Upcasts.
  template <typename U>
  WeakPtr(const WeakPtr<U>& other) : ptr_(other.ptr_), flag_(other.flag_) {}

  // Null once invalidated.
  T* get() const { return flag_ && flag_->IsValid() ? ptr_ : nullptr; }
  T& operator*() const { return *get(); }
  T* operator->() const { return get(); }
  explicit operator bool() const { return get() != nullptr; }

  void reset() {
    ptr_ = nullptr;
    flag_ = nullptr;
  }

  // True when the pointer may still be valid; usable off the owning sequence
  // as a hint only.
  bool MaybeValid() const { return flag_ && flag_->IsValid(); }

 private:
  template <typename U>
  friend class WeakPtr;
  template <typename U>
  friend class WeakPtrFactory;

  WeakPtr(T* ptr, scoped_refptr<internal::WeakReferenceFlag> flag)
      : ptr_(ptr), flag_(std::move(flag)) {}

  T* ptr_ = nullptr;
  scoped_refptr<internal::WeakReferenceFlag> flag_;
};

template <typename T>
bool operator==(const WeakPtr<T>& weak, std::nullptr_t) {
  return !weak;
}

// Hands out WeakPtrs to |ptr|; destroying the factory invalidates them all.
template <typename T>
class WeakPtrFactory {
 public:
  explicit WeakPtrFactory(T* ptr) : ptr_(ptr) {}
  WeakPtrFactory(const WeakPtrFactory&) = delete;
  WeakPtrFactory& operator=(const WeakPtrFactory&) = delete;
  ~WeakPtrFactory() { InvalidateWeakPtrs(); }

  WeakPtr<T> GetWeakPtr() {
    if (!flag_)
      flag_ = MakeRefCounted<internal::WeakReferenceFlag>();
    return WeakPtr<T>(ptr_, flag_);
  }

  // Every WeakPtr handed out so far turns null; later GetWeakPtr calls give
  // valid pointers again.
  void InvalidateWeakPtrs() {
    if (flag_) {
      flag_->Invalidate();
      flag_ = nullptr;
    }
  }

  // True while a WeakPtr handed out since the last invalidation exists.
  bool HasWeakPtrs() const { return flag_ && !flag_->HasOneRef(); }

 private:
  T* ptr_;
  scoped_refptr<internal::WeakReferenceFlag> flag_;
};

}  // namespace base

#endif  // BASE_MEMORY_WEAK_PTR_H_
