// Owners of memory the system allocated with LocalAlloc (security descriptors
// from ConvertStringSecurityDescriptorToSecurityDescriptorW, FormatMessage
// buffers, SID strings), freed with LocalFree.

#ifndef BASE_WIN_SCOPED_LOCALALLOC_H_
#define BASE_WIN_SCOPED_LOCALALLOC_H_

#include <windows.h>

#include <memory>

namespace base::win {

struct LocalAllocDeleter {
  void operator()(void* ptr) const { ::LocalFree(ptr); }
};

template <typename T>
using ScopedLocalAllocTyped = std::unique_ptr<T, LocalAllocDeleter>;
using ScopedLocalAlloc = ScopedLocalAllocTyped<void>;

// Takes ownership of |ptr| (which must come from LocalAlloc).
template <typename T>
ScopedLocalAllocTyped<T> TakeLocalAlloc(T*& ptr) {
  ScopedLocalAllocTyped<T> owner(ptr);
  ptr = nullptr;
  return owner;
}

}  // namespace base::win

#endif  // BASE_WIN_SCOPED_LOCALALLOC_H_
