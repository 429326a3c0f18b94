// Writing the minidump of a crashed process (dbghelp's MiniDumpWriteDump,
// loaded at run time), and reading what the crashed process left for it.

#ifndef CRASH_REPORTING_CRASH_DUMP_WRITER_H_
#define CRASH_REPORTING_CRASH_DUMP_WRITER_H_

#include <windows.h>
#include <dbghelp.h>

#include <cstddef>
#include <cstdint>

#include "base/files/file_path.h"
#include "crash/crash_generation_server.h"
#include "crash/crash_pipe_protocol.h"

namespace crash_reporting {

// What a crashed process left for its reporter: the crashing thread, the
// address of its EXCEPTION_POINTERS (in the crashed process) and, for an
// invalid parameter or a pure call, the assertion record. 792 bytes; also the
// block a dying reporter hands to its one-crash reporter.
struct CrashHandoffInfo {
  uint32_t thread_id;
  uint32_t unused;
  uint64_t exception_pointers;
  crash::AssertionInfo assertion;
};
static_assert(sizeof(CrashHandoffInfo) == 792);
static_assert(offsetof(CrashHandoffInfo, assertion) == 16);

// The product's own dump streams.
inline constexpr ULONG kVersionStreamType = 0x10000;    // "<version> <unique build number>"
inline constexpr ULONG kAssertionStreamType = 0x10001;  // AssertionInfo, invalid parameters only

// Dump size limits of the two reporter modes.
inline constexpr uint64_t kServerDumpSizeLimit = 3072000;
inline constexpr uint64_t kHandoffDumpSizeLimit = 512000;

// Reads the crash slots of a pipe client; every read must be whole.
bool ReadClientExceptionInfo(const crash::ClientInfo& client, CrashHandoffInfo* info);
// Reads a handoff block at |address| of process |process_id|.
bool ReadHandoffInfo(DWORD process_id, uint64_t address, CrashHandoffInfo* info);

// Writes the dump of |process| to |file| (replacing it): with indirectly
// referenced memory and unloaded modules first, a normal dump when that is
// larger than |size_limit|. Leaves no file when no dump fits, the write
// fails, or |process| (opened with SYNCHRONIZE) ended before the dump was
// complete.
bool WriteCrashDump(HANDLE process, DWORD process_id, const CrashHandoffInfo& info,
                    const base::FilePath& file, uint64_t size_limit);

// dbghelp's MiniDumpWriteDump.
using MiniDumpWriteDumpFunction = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                                PMINIDUMP_EXCEPTION_INFORMATION,
                                                PMINIDUMP_USER_STREAM_INFORMATION,
                                                PMINIDUMP_CALLBACK_INFORMATION);
// The same, through |write_dump|.
bool WriteCrashDump(HANDLE process, DWORD process_id, const CrashHandoffInfo& info,
                    const base::FilePath& file, uint64_t size_limit,
                    MiniDumpWriteDumpFunction write_dump);

}  // namespace crash_reporting

#endif  // CRASH_REPORTING_CRASH_DUMP_WRITER_H_
