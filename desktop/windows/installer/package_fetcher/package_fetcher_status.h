// The one status value the package fetcher reports. Values 0 to 4 report
// progress; 5 to 8 end a fetch attempt. The values are shared with the front
// ends, which turn them into progress phases and messages.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_STATUS_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_STATUS_H_

#include <string>

namespace installer {

enum PackageFetcherStatus {
  STATUS_STARTED = 0,
  STATUS_FETCHING_DOWNLOAD_URL = 1,
  STATUS_DOWNLOADING_PACKAGE = 2,
  STATUS_UNPACKING = 3,
  STATUS_DOWNLOADING_ADDITIONAL_FILES = 4,
  STATUS_PACKAGE_READY = 5,
  STATUS_INITIALIZATION_FAILED = 6,
  STATUS_DOWNLOAD_FAILED = 7,
  STATUS_UNPACKING_FAILED = 8,
};

// The statistics name of a final status ("package_ready",
// "initialization_failed", "download_failed", "unpacking_failed"); "invalid"
// for every other value.
std::string PackageFetcherStatusName(PackageFetcherStatus status);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_STATUS_H_
