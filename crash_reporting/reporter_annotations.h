// The annotations a reporter adds to a dump: the client's crash keys, the
// process's times and memory, and the product's facts. A key already present
// is never overwritten, so the client's own values win.

#ifndef CRASH_REPORTING_REPORTER_ANNOTATIONS_H_
#define CRASH_REPORTING_REPORTER_ANNOTATIONS_H_

#include <windows.h>

#include "crash_reporting/crash_key_map.h"
#include "crash_reporting/crash_upload.h"

namespace crash_reporting {

// Everything above for the process |process| (may be null) with |crash_keys|.
void ReporterAnnotations(HANDLE process, const CrashKeyMap& crash_keys, Annotations* report);

// The parts, for the one-crash mode and tests. |uptime_ms| < 0: none given.
void AddTimeAnnotations(HANDLE process, int64_t uptime_ms, Annotations* report);
void AddMemoryAnnotations(HANDLE process, Annotations* report);
void AddProductAnnotations(HANDLE process, Annotations* report);

}  // namespace crash_reporting

#endif  // CRASH_REPORTING_REPORTER_ANNOTATIONS_H_
