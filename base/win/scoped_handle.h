// Owners of Windows handles that close them when they go out of scope.
//
// GenericScopedHandle<Traits> is the template for any handle kind; Traits says
// how to close one and which values mean "none":
//   struct Traits {
//     using Handle = ...;
//     static bool CloseHandle(Handle handle);
//     static bool IsHandleValid(Handle handle);
//     static Handle NullHandle();
//   };
// ScopedHandle holds kernel handles (files, processes, threads, events, pipes,
// mappings), for which both NULL and INVALID_HANDLE_VALUE mean none: Get()
// returns NULL for "none" whichever of the two was set. ScopedFindFileHandle
// holds a FindFirstFileW search.
//
// Move-only. Set() closes the handle held before; Take() gives up ownership.
// Kernel handles are tracked by the process's ScopedHandleVerifier, which
// catches two owners of one handle and handles closed behind their owner.

#ifndef BASE_WIN_SCOPED_HANDLE_H_
#define BASE_WIN_SCOPED_HANDLE_H_

#include <windows.h>

#include <utility>

#include "base/win/scoped_handle_verifier.h"

namespace base::win {

// Owners whose handles are not tracked.
struct DummyVerifierTraits {
  static void StartTracking(const void*, const void*) {}
  static void StopTracking(const void*, const void*) {}
  static void OnCloseFailed(const void*) {}
};

// Owners of kernel handles, tracked by the process's verifier.
struct VerifierTraits {
  static void StartTracking(HANDLE handle, const void* owner) {
    ScopedHandleVerifier::Get()->StartTracking(handle, owner);
  }
  static void StopTracking(HANDLE handle, const void* owner) {
    ScopedHandleVerifier::Get()->StopTracking(handle, owner);
  }
  static void OnCloseFailed(HANDLE handle) { ScopedHandleVerifier::Get()->OnCloseFailed(handle); }
};

template <class Traits, class Verifier = DummyVerifierTraits>
class GenericScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  GenericScopedHandle() : handle_(Traits::NullHandle()) {}
  explicit GenericScopedHandle(Handle handle) : handle_(Traits::NullHandle()) { Set(handle); }
  GenericScopedHandle(GenericScopedHandle&& other) noexcept : handle_(Traits::NullHandle()) {
    Set(other.Take());
  }
  GenericScopedHandle& operator=(GenericScopedHandle&& other) noexcept {
    if (this != &other)
      Set(other.Take());
    return *this;
  }
  GenericScopedHandle(const GenericScopedHandle&) = delete;
  GenericScopedHandle& operator=(const GenericScopedHandle&) = delete;
  ~GenericScopedHandle() { Close(); }

  bool IsValid() const { return Traits::IsHandleValid(handle_); }

  // Takes ownership of |handle|, closing the one held before (unless the same).
  void Set(Handle handle) {
    if (handle_ == handle)
      return;
    Close();
    if (Traits::IsHandleValid(handle)) {
      handle_ = handle;
      Verifier::StartTracking(handle_, this);
    }
  }

  Handle Get() const { return handle_; }
  explicit operator bool() const { return IsValid(); }

  // Gives up ownership; the caller must close the returned handle.
  [[nodiscard]] Handle Take() {
    Handle handle = handle_;
    if (Traits::IsHandleValid(handle_))
      Verifier::StopTracking(handle_, this);
    handle_ = Traits::NullHandle();
    return handle;
  }

  void Close() {
    if (Traits::IsHandleValid(handle_)) {
      Verifier::StopTracking(handle_, this);
      if (!Traits::CloseHandle(handle_) && GetLastError() == ERROR_INVALID_HANDLE)
        Verifier::OnCloseFailed(handle_);
    }
    handle_ = Traits::NullHandle();
  }

 private:
  Handle handle_;
};

// Kernel handles closed with CloseHandle.
struct HandleTraits {
  using Handle = HANDLE;
  static bool CloseHandle(HANDLE handle) { return ::CloseHandle(handle) != FALSE; }
  static bool IsHandleValid(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
  }
  static HANDLE NullHandle() { return nullptr; }
};

// Searches opened with FindFirstFileW, closed with FindClose.
struct FindFileHandleTraits {
  using Handle = HANDLE;
  static bool CloseHandle(HANDLE handle) { return ::FindClose(handle) != FALSE; }
  static bool IsHandleValid(HANDLE handle) { return handle != INVALID_HANDLE_VALUE; }
  static HANDLE NullHandle() { return INVALID_HANDLE_VALUE; }
};

// Modules loaded with LoadLibrary, released with FreeLibrary.
struct ModuleHandleTraits {
  using Handle = HMODULE;
  static bool CloseHandle(HMODULE handle) { return ::FreeLibrary(handle) != FALSE; }
  static bool IsHandleValid(HMODULE handle) { return handle != nullptr; }
  static HMODULE NullHandle() { return nullptr; }
};

using ScopedHandle = GenericScopedHandle<HandleTraits, VerifierTraits>;
using ScopedFindFileHandle = GenericScopedHandle<FindFileHandleTraits>;
using ScopedModuleHandle = GenericScopedHandle<ModuleHandleTraits>;

}  // namespace base::win

#endif  // BASE_WIN_SCOPED_HANDLE_H_
