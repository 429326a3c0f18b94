// The statistics names of the package fetcher's final statuses.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_STATUS_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_STATUS_H_

#include <string>

#include "desktop/windows/installer/wininet/package_fetcher_observer.h"

namespace installer {

// The statistics name of a final status ("package_ready",
// "initialization_failed", "download_failed", "unpacking_failed"); "invalid"
// for every other value.
std::string PackageFetcherStatusName(PackageFetcherStatus status);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_STATUS_H_
