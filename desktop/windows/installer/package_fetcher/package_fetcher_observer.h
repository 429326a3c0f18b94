// What a front end follows of a package fetch: the size of the current phase
// and the progress within it, stalls, and status changes. During a download
// the totals are the downloader's; during extraction the total is the number
// of archive entries and the progress the index of the entry being extracted.
// The fetcher calls it on its own thread; the fetcher's proxy carries every
// call to the front end's thread.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_OBSERVER_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_OBSERVER_H_

#include "desktop/windows/installer/package_fetcher/package_fetcher_status.h"

namespace installer {

class PackageFetcherObserver {
 public:
  virtual ~PackageFetcherObserver() = default;
  virtual void SetTotalProgress(int total) = 0;
  virtual void SetCurrentProgress(int current) = 0;
  // The downloader is retrying after a connection failure.
  virtual void NotifyStalled() = 0;
  virtual void NotifyStatusChanged(PackageFetcherStatus status) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_OBSERVER_H_
