// Intrusive reference counting. RefCounted<T> is for objects used on one
// sequence; RefCountedThreadSafe<T> counts atomically so that references may be
// taken and dropped on any thread. The object is deleted when the last
// reference goes; the count starts at 0 and the first scoped_refptr takes it to
// 1 (MakeRefCounted does both). HasOneRef tells a holder that it is the only
// owner left (used to wait until every user has let go).
//
//   class Foo : public base::RefCountedThreadSafe<Foo> {
//    private:
//     friend class base::RefCountedThreadSafe<Foo>;
//     ~Foo();
//   };
//   scoped_refptr<Foo> foo = base::MakeRefCounted<Foo>();

#ifndef BASE_MEMORY_REF_COUNTED_H_
#define BASE_MEMORY_REF_COUNTED_H_

#include <atomic>
#include <cstddef>
#include <utility>

namespace base {

template <class T>
class RefCounted {
 public:
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

  void AddRef() const { ++ref_count_; }
  void Release() const {
    if (--ref_count_ == 0)
      delete static_cast<const T*>(this);
  }
  bool HasOneRef() const { return ref_count_ == 1; }

 protected:
  RefCounted() = default;
  ~RefCounted() = default;

 private:
  mutable int ref_count_ = 0;
};

template <class T>
struct DefaultRefCountedThreadSafeTraits;
template <class T, typename Traits = DefaultRefCountedThreadSafeTraits<T>>
class RefCountedThreadSafe;

template <class T>
struct DefaultRefCountedThreadSafeTraits {
  static void Destruct(const T* object) { RefCountedThreadSafe<T>::DeleteInternal(object); }
};

// |Traits::Destruct| decides how the last release disposes of the object.
template <class T, typename Traits>
class RefCountedThreadSafe {
  // (T befriends RefCountedThreadSafe<T>; traits delete through it.)
 public:
  RefCountedThreadSafe(const RefCountedThreadSafe&) = delete;
  RefCountedThreadSafe& operator=(const RefCountedThreadSafe&) = delete;

  void AddRef() const { ref_count_.fetch_add(1, std::memory_order_relaxed); }
  void Release() const {
    if (ref_count_.fetch_sub(1, std::memory_order_acq_rel) == 1)
      Traits::Destruct(static_cast<const T*>(this));
  }
  bool HasOneRef() const { return ref_count_.load(std::memory_order_acquire) == 1; }

 protected:
  RefCountedThreadSafe() = default;
  ~RefCountedThreadSafe() = default;

 private:
  friend struct DefaultRefCountedThreadSafeTraits<T>;
  static void DeleteInternal(const T* object) { delete object; }
  mutable std::atomic<int> ref_count_{0};
};

}  // namespace base

// A smart pointer holding one reference to a reference-counted object.
template <class T>
class scoped_refptr {
 public:
  using element_type = T;

  constexpr scoped_refptr() = default;
  constexpr scoped_refptr(std::nullptr_t) {}
  // Takes a new reference to |p| (which may already be referenced elsewhere).
  scoped_refptr(T* p) : ptr_(p) {
    if (ptr_)
      ptr_->AddRef();
  }
  scoped_refptr(const scoped_refptr& r) : scoped_refptr(r.ptr_) {}
  template <typename U>
  scoped_refptr(const scoped_refptr<U>& r) : scoped_refptr(r.get()) {}
  scoped_refptr(scoped_refptr&& r) noexcept : ptr_(std::exchange(r.ptr_, nullptr)) {}
  template <typename U>
  scoped_refptr(scoped_refptr<U>&& r) noexcept : ptr_(r.release()) {}
  ~scoped_refptr() {
    if (ptr_)
      ptr_->Release();
  }

  scoped_refptr& operator=(std::nullptr_t) {
    reset();
    return *this;
  }
  scoped_refptr& operator=(T* p) { return *this = scoped_refptr(p); }
  scoped_refptr& operator=(scoped_refptr r) noexcept {
    std::swap(ptr_, r.ptr_);
    return *this;
  }

  T* get() const { return ptr_; }
  T& operator*() const { return *ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }

  void reset() { scoped_refptr().swap(*this); }
  // Gives up the reference without releasing it; the caller must Release.
  [[nodiscard]] T* release() { return std::exchange(ptr_, nullptr); }
  void swap(scoped_refptr& r) noexcept { std::swap(ptr_, r.ptr_); }

  template <typename U>
  bool operator==(const scoped_refptr<U>& rhs) const { return ptr_ == rhs.get(); }
  template <typename U>
  bool operator==(const U* rhs) const { return ptr_ == rhs; }
  bool operator==(std::nullptr_t) const { return ptr_ == nullptr; }
  template <typename U>
  bool operator<(const scoped_refptr<U>& rhs) const { return ptr_ < rhs.get(); }

 private:
  T* ptr_ = nullptr;
};

namespace base {

template <typename T, typename... Args>
scoped_refptr<T> MakeRefCounted(Args&&... args) {
  return scoped_refptr<T>(new T(std::forward<Args>(args)...));
}

template <typename T>
scoped_refptr<T> WrapRefCounted(T* t) {
  return scoped_refptr<T>(t);
}

}  // namespace base

#endif  // BASE_MEMORY_REF_COUNTED_H_
