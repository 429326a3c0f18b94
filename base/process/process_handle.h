// Process ids and handles as plain values, and queries that need no owner.

#ifndef BASE_PROCESS_PROCESS_HANDLE_H_
#define BASE_PROCESS_PROCESS_HANDLE_H_

#include <windows.h>

namespace base {

using ProcessHandle = HANDLE;
using ProcessId = DWORD;
constexpr ProcessHandle kNullProcessHandle = nullptr;
constexpr ProcessId kNullProcessId = 0;

// The id of this process.
ProcessId GetCurrentProcId();
// The pseudo handle of this process (needs no closing).
ProcessHandle GetCurrentProcessHandle();
// The id of the process behind |process|, 0 when the handle is not usable.
ProcessId GetProcId(ProcessHandle process);
// The id of the process that created |process_id| (from a Toolhelp snapshot),
// 0 when it cannot be found. The parent may have ended and its id may since
// have been reused; callers that open it should compare creation times.
ProcessId GetParentProcessId(ProcessId process_id);

}  // namespace base

#endif  // BASE_PROCESS_PROCESS_HANDLE_H_
