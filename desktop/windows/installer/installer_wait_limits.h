// How long an installer process waits for another one before it gives up.
// Every such wait is bounded: a front end that hangs, a download that never
// ends or a child that never returns must not keep an installer (often an
// elevated one) alive for ever. The bounds are far above what a working run
// needs, so they end only runs that have stopped making progress.
#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_WAIT_LIMITS_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_WAIT_LIMITS_H_

#include "base/time/time.h"

namespace installer {

// The package is downloaded while the back end waits for it: a large package
// over a slow line, with the downloader's resumes and retries.
inline constexpr base::TimeDelta kPackageWaitLimit = base::TimeDelta::FromHours(2);

// Another installer process that does the work of the run: the elevated copy
// (which may first wait for the package itself), the package's own installer,
// and the folder-permission helper (the user's answer to the elevation prompt,
// the package wait, and a temporary grant held while the installer works).
inline constexpr base::TimeDelta kInstallerProcessWaitLimit = base::TimeDelta::FromHours(3);

// A bound in the form the Windows wait functions take; never INFINITE.
inline unsigned long WaitLimitMs(base::TimeDelta limit) {
  const int64_t ms = limit.InMilliseconds();
  if (ms < 0)
    return 0;
  // INFINITE is 0xFFFFFFFF: stay below it.
  return ms >= 0xFFFFFFFELL ? 0xFFFFFFFEUL : static_cast<unsigned long>(ms);
}

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_WAIT_LIMITS_H_
