// Named places in a run at which a test build of the installer ends the
// process with a crash, so that crash reporting can be exercised end to end.
// Only a test build sets a handler; in the shipped library CrashPoint does
// nothing.

#ifndef CRASH_REPORTING_CRASH_POINTS_H_
#define CRASH_REPORTING_CRASH_POINTS_H_

namespace crash_reporting {

// After the crash client is set up in an ordinary installer process.
inline constexpr char kCrashPointStartup[] = "startup";
// Before each run of an installer step.
inline constexpr char kCrashPointInstallerStep[] = "installer-step";
// Once a run has reported its success.
inline constexpr char kCrashPointInstallerSucceeded[] = "installer-succeeded";
// In the wizard's window procedure, as it takes the user's click on one of
// its buttons or links.
inline constexpr char kCrashPointWizardClick[] = "wizard-click";
// In a crash reporter's server mode, once its pipe serves.
inline constexpr char kCrashPointReporter[] = "reporter";

using CrashPointHandler = void (*)(const char* point);
void SetCrashPointHandler(CrashPointHandler handler);
void CrashPoint(const char* point);

}  // namespace crash_reporting

#endif  // CRASH_REPORTING_CRASH_POINTS_H_
