// Owner of memory the shell or COM allocated with CoTaskMemAlloc (known-folder
// paths, PROPVARIANT strings), freed with CoTaskMemFree. Pass the address from
// Receive() (or operator&) as the out-parameter.

#ifndef BASE_WIN_SCOPED_CO_MEM_H_
#define BASE_WIN_SCOPED_CO_MEM_H_

#include <windows.h>
#include <objbase.h>

namespace base::win {

template <typename T>
class ScopedCoMem {
 public:
  ScopedCoMem() = default;
  ScopedCoMem(const ScopedCoMem&) = delete;
  ScopedCoMem& operator=(const ScopedCoMem&) = delete;
  ~ScopedCoMem() { Reset(nullptr); }

  // Frees the held block; the address is for an out-parameter.
  T** Receive() {
    Reset(nullptr);
    return &mem_ptr_;
  }
  T** operator&() { return Receive(); }

  T* get() const { return mem_ptr_; }
  operator T*() const { return mem_ptr_; }
  T* operator->() const { return mem_ptr_; }

  // Frees the held block and takes ownership of |ptr|.
  void Reset(T* ptr) {
    if (mem_ptr_)
      ::CoTaskMemFree(mem_ptr_);
    mem_ptr_ = ptr;
  }
  // Gives up ownership.
  [[nodiscard]] T* Release() {
    T* ptr = mem_ptr_;
    mem_ptr_ = nullptr;
    return ptr;
  }

 private:
  T* mem_ptr_ = nullptr;
};

}  // namespace base::win

#endif  // BASE_WIN_SCOPED_CO_MEM_H_
