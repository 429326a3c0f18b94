// Reading a file-backed mapping can fail when Windows cannot page the data in
// (a full disk, a failing drive): the read raises EXCEPTION_IN_PAGE_ERROR
// instead of returning an error. InPageErrorGuard runs a piece of work and
// turns such a fault into an ordinary failure, for faults whose address the
// caller claims (its own mapped view) and only on the calling thread; every
// other exception passes on untouched.
//
// g++ has no __try/__except, so the guard registers a vectored exception
// handler for the duration of the work. On a claimed fault the handler
// resumes the thread in a recovery routine that jumps back to the guard, so
// the work is abandoned where it faulted: it must not hold locks or other
// state that needs unwinding (C code such as a decoder, whose buffers the
// caller frees afterwards).

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_IN_PAGE_ERROR_GUARD_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_IN_PAGE_ERROR_GUARD_H_

#include <windows.h>

#include <functional>

namespace installer {

class InPageErrorGuard {
 public:
  // |claims| tells whether a faulting address lies in the caller's mapping.
  // It runs inside the exception handler: it must only compare addresses.
  explicit InPageErrorGuard(std::function<bool(const void* address)> claims);
  InPageErrorGuard(const InPageErrorGuard&) = delete;
  InPageErrorGuard& operator=(const InPageErrorGuard&) = delete;
  ~InPageErrorGuard();

  // Runs |work|. False when it was abandoned at a claimed in-page error;
  // status() then holds the NTSTATUS (as a DWORD) of the failed page-in.
  bool Run(const std::function<void()>& work);
  DWORD status() const { return status_; }

 private:
  static LONG CALLBACK Handler(EXCEPTION_POINTERS* info);
  [[noreturn]] static void Recover();

  std::function<bool(const void*)> claims_;
  // Guards running on this thread, innermost first.
  InPageErrorGuard* outer_ = nullptr;
  // __builtin_setjmp buffer: frame pointer, resume address, stack pointer.
  void* resume_[5] = {};
  DWORD status_ = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_IN_PAGE_ERROR_GUARD_H_
