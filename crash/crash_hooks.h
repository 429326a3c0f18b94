// Routes every fatal error of the process to one function: unhandled
// exceptions, invalid parameters passed to the C runtime, pure virtual calls,
// abort() and std::terminate() (the last two never reach the unhandled
// exception filter under this runtime). For the errors that are not
// exceptions the hook gets a captured context and an exception record with
// their own code (crash_pipe_protocol.h), and for invalid parameters and pure
// calls an assertion record.
//
// Once the hook has taken a crash, the process ends at once with the
// exception code as its exit code: TerminateProcess, so no destructor,
// at-exit callback or DLL detach code runs in a process whose state is
// broken, and a crash never looks like a success.

#ifndef CRASH_CRASH_HOOKS_H_
#define CRASH_CRASH_HOOKS_H_

#include <windows.h>

#include "crash/crash_pipe_protocol.h"

namespace crash {

// Returns whether it took the crash. An unhandled exception that the hook
// does not take goes on to the system's handling; every other error ends the
// process all the same.
using CrashHook = bool (*)(EXCEPTION_POINTERS* exception_pointers, const AssertionInfo* assertion);

// Installs |hook| for the whole process, replacing the one installed before.
void InstallCrashHooks(CrashHook hook);
// Removes the hook and puts back the handlers found at installation.
void UninstallCrashHooks();

// Ends the process now with |code| as its exit code.
[[noreturn]] void TerminateWithExceptionCode(DWORD code);

// Hands a crash that is not an exception to the hook, as the handlers do:
// captures the context, builds the record with |code| and ends the process.
[[noreturn]] void ReportNonExceptionCrash(DWORD code, const AssertionInfo* assertion);

}  // namespace crash

#endif  // CRASH_CRASH_HOOKS_H_
