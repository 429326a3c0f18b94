#include "crash/crash_claim.h"

#include "crash/crash_hooks.h"

namespace crash {

bool CrashClaim::Claim(DWORD code) {
  const DWORD own_id = GetCurrentThreadId();
  DWORD expected = 0;
  if (thread_id_.compare_exchange_strong(expected, own_id)) {
    first_code_ = code;
    return true;
  }
  if (expected == own_id)
    TerminateWithExceptionCode(first_code_);
  return false;
}

void CrashClaim::ResetForTesting() {
  thread_id_ = 0;
  first_code_ = 0;
}

}  // namespace crash
