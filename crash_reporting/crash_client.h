// The crash client of an ordinary installer process: it starts (or joins) a
// crash reporter process, connects the in-process exception handler to the
// reporter's pipe and publishes the installer's crash keys. The state is
// process-wide and set once at start.

#ifndef CRASH_REPORTING_CRASH_CLIENT_H_
#define CRASH_REPORTING_CRASH_CLIENT_H_

#include <windows.h>

#include <string_view>

#include "base/command_line.h"
#include "crash/crash_pipe_protocol.h"

namespace crash_reporting {

class InstallerCrashKeys;

// How long a new reporter has to signal that its pipe serves.
inline constexpr DWORD kReporterStartTimeoutMs = 2000;

// Clears bit 0 of the process's user-mode exception policy, so that
// exceptions inside window callbacks are not swallowed by the system. Does
// nothing where the policy functions do not exist.
void ClearUserModeExceptionPolicy();

// Finds this process's reporter: none when |unique_build_number| is negative
// (crash reporting off for the build); the id given by "crash-reporter-pid";
// else a new one (LaunchCrashReporter). Stores the id and returns whether it
// is not 0. Without a reporter, crashes end the process with their exception
// code, undumped.
bool StartCrashReporter(const base::CommandLine& command_line, int unique_build_number);
// The same for this process and build.
bool StartCrashReporter();

// Starts a reporter for this process: |command_line| with
// "crash-reporter-parent-id" set to this process's id. Returns the reporter's
// id once it signals its init event within |timeout_ms|, else 0.
DWORD LaunchCrashReporter(const base::CommandLine& command_line, DWORD timeout_ms);

// Connects the exception handler to the reporter's pipe. Does nothing when a
// handler exists or there is no reporter; keeps the handler only when it
// reached the reporter (else crashes end the process undumped).
void InitCrashClient();
// Whether a handler is connected.
bool IsCrashClientConnected();

// Makes the crash keys, registers the key table and the key functions with
// the base library and sets the installer's keys.
void SetInstallerCrashKeys();
// Stores |key| when its name is settable (see installer_crash_keys.h).
void SetInstallerCrashKey(std::string_view key, std::string_view value);
void ClearInstallerCrashKey(std::string_view key);
// The store, made for process type "installer" on first use.
InstallerCrashKeys* GetInstallerCrashKeysStore();

DWORD GetCrashReporterPid();

// The handler's filter: the first crashing thread dumps; later ones wait
// forever so the dump stays consistent. When the dumping thread crashes
// again, the process ends with the first crash's code.
bool InstallerCrashFilter(void* context, EXCEPTION_POINTERS* exception_pointers,
                          const crash::AssertionInfo* assertion);
bool InstallerMinidumpCallback(void* context, EXCEPTION_POINTERS* exception_pointers,
                               const crash::AssertionInfo* assertion, bool succeeded);
// Dumps |exception_pointers| through the reporter, when there is one, and
// ends the process with exit code 1. The window-procedure exception
// filter (base/win/wrapped_window_proc.h).
int WriteDumpAndTerminate(EXCEPTION_POINTERS* exception_pointers);

// Forgets the reporter, the handler and the crash keys.
void ResetCrashClientForTesting();

}  // namespace crash_reporting

#endif  // CRASH_REPORTING_CRASH_CLIENT_H_
