#include "desktop/windows/installer/package_fetcher/in_page_error_guard.h"

#include <cstdint>
#include <utility>

namespace installer {

namespace {

// The innermost guard running on this thread.
thread_local InPageErrorGuard* g_innermost = nullptr;
// The guard whose fault is being recovered from on this thread.
thread_local InPageErrorGuard* g_recovering = nullptr;

// EXCEPTION_IN_PAGE_ERROR parameters: read/write flag, address, NTSTATUS.
constexpr DWORD kAddressParameter = 1;
constexpr DWORD kStatusParameter = 2;

}  // namespace

InPageErrorGuard::InPageErrorGuard(std::function<bool(const void* address)> claims)
    : claims_(std::move(claims)) {}

InPageErrorGuard::~InPageErrorGuard() = default;

bool InPageErrorGuard::Run(const std::function<void()>& work) {
  status_ = 0;
  outer_ = g_innermost;
  g_innermost = this;
  PVOID handler = ::AddVectoredExceptionHandler(1, &InPageErrorGuard::Handler);
  volatile bool completed = false;
  if (__builtin_setjmp(resume_) == 0) {
    work();
    completed = true;
  }
  // Reached normally or through Recover(); in both cases this guard is the
  // innermost again (inner guards of the abandoned work are dropped).
  if (handler)
    ::RemoveVectoredExceptionHandler(handler);
  g_innermost = outer_;
  return completed;
}

LONG CALLBACK InPageErrorGuard::Handler(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  if (record->ExceptionCode != EXCEPTION_IN_PAGE_ERROR ||
      record->NumberParameters <= kStatusParameter) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  const void* address = reinterpret_cast<const void*>(record->ExceptionInformation[kAddressParameter]);
  for (InPageErrorGuard* guard = g_innermost; guard; guard = guard->outer_) {
    if (!guard->claims_(address))
      continue;
    guard->status_ = static_cast<DWORD>(record->ExceptionInformation[kStatusParameter]);
    g_recovering = guard;
    // Leave the exception dispatch normally and continue in Recover() on the
    // faulting thread's stack, below the faulting frame and 16-byte aligned as
    // after a call.
    CONTEXT* context = info->ContextRecord;
    context->Rsp = ((context->Rsp - 256) & ~static_cast<DWORD64>(15)) - 8;
    context->Rip = reinterpret_cast<DWORD64>(&InPageErrorGuard::Recover);
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

void InPageErrorGuard::Recover() {
  InPageErrorGuard* guard = g_recovering;
  g_recovering = nullptr;
  g_innermost = guard;
  __builtin_longjmp(guard->resume_, 1);
}

}  // namespace installer
