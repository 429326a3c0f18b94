// A crash reporter's own crash: the reporter cannot dump itself, so its
// exception filters leave a CrashHandoffInfo block in its memory, start a
// one-crash reporter with the block's address and wait for it (at most 20 s)
// before the process ends with the crash's exception code.

#ifndef CRASH_REPORTING_CRASH_HANDOFF_H_
#define CRASH_REPORTING_CRASH_HANDOFF_H_

#include <windows.h>

#include <string>

#include "base/files/file_path.h"
#include "crash/crash_pipe_protocol.h"
#include "crash_reporting/crash_dump_writer.h"

namespace crash_reporting {

inline constexpr DWORD kHandoffTimeoutMs = 20000;

// Installs the reporter's handlers for every kind of crash (once).
void InstallExceptionFilters();
// Once, in the server mode: creates the handoff event and prepares the
// one-crash reporter's command line, the running executable with the
// hand-off switches.
void PrepareExceptionHandoff();
// The same with |reporter_program| as the one-crash reporter.
void PrepareExceptionHandoff(const base::FilePath& reporter_program);

// The reporter's crash handler: the first crashing thread fills the block and
// starts the one-crash reporter; later ones suspend themselves. When the first
// one crashes again, the process ends with the first crash's code.
bool ReporterCrashHook(EXCEPTION_POINTERS* exception_pointers,
                       const crash::AssertionInfo* assertion);
// Starts the prepared command line and waits for the handoff event.
void LaunchHandoffReporter();

}  // namespace crash_reporting

#endif  // CRASH_REPORTING_CRASH_HANDOFF_H_
