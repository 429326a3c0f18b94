// The crash reporter's activity count: it lives while the count is above 0.
// The wait for the parent's end, each dump request and each queued upload
// hold one count; the event is set when the count falls to 0.

#ifndef CRASH_REPORTING_REPORTER_ACTIVITY_H_
#define CRASH_REPORTING_REPORTER_ACTIVITY_H_

#include <windows.h>

namespace crash_reporting {

// Creates the event (manual reset, not signalled); false on failure.
bool InitReporterActivity();
void AddReporterActivity();
void ReleaseReporterActivity();
// Waits until the count is 0.
void WaitForReporterIdle();

}  // namespace crash_reporting

#endif  // CRASH_REPORTING_REPORTER_ACTIVITY_H_
