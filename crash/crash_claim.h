// Which thread of a process handles its crash: the first to claim it. Other
// threads that crash meanwhile must keep out of the way so that the dump
// shows the process as the first crash left it. The thread that won may
// claim again, when it faults inside its own handling: that handling can
// never finish, so the process ends then instead of waiting for it.

#ifndef CRASH_CRASH_CLAIM_H_
#define CRASH_CRASH_CLAIM_H_

#include <windows.h>

#include <atomic>

namespace crash {

class CrashClaim {
 public:
  // Claims the crash with exception |code| for the calling thread: true for
  // the first thread, false for any other. When the first thread claims
  // again, the process ends at once with the first crash's code (the hooks'
  // contract, crash_hooks.h). Any thread, lock-free.
  bool Claim(DWORD code);

  void ResetForTesting();

 private:
  std::atomic<DWORD> thread_id_{0};
  std::atomic<DWORD> first_code_{0};
};

}  // namespace crash

#endif  // CRASH_CRASH_CLAIM_H_
