// Calls about the current thread.
// SetName gives the thread a name for debuggers and crash dumps through
// SetThreadDescription, looked up in kernel32 at run time because older
// systems (and Wine 8) lack it; without it only GetName knows the name.

#ifndef BASE_THREADING_PLATFORM_THREAD_H_
#define BASE_THREADING_PLATFORM_THREAD_H_

#include <windows.h>

#include <string>

#include "base/time/time.h"

namespace base {

using PlatformThreadId = DWORD;
constexpr PlatformThreadId kInvalidThreadId = 0;

class PlatformThread {
 public:
  PlatformThread() = delete;

  static PlatformThreadId CurrentId();
  // Gives up the rest of the time slice (Sleep(0)).
  static void YieldCurrentThread();
  static void Sleep(TimeDelta duration);
  // |name| is UTF-8.
  static void SetName(const std::string& name);
  // The name set by SetName on this thread, empty when none.
  static const std::string& GetName();
};

}  // namespace base

#endif  // BASE_THREADING_PLATFORM_THREAD_H_
