// What a front end follows of a package fetch: the status of the fetch and
// the progress of its current phase. The downloader reports download progress
// through it too, which is why it lives beside the downloader. Implemented by
// the front-end controllers and by the package fetcher's proxy, which carries
// every call to the front end's thread.

#ifndef DESKTOP_WINDOWS_INSTALLER_WININET_PACKAGE_FETCHER_OBSERVER_H_
#define DESKTOP_WINDOWS_INSTALLER_WININET_PACKAGE_FETCHER_OBSERVER_H_

namespace installer {

// 0 to 4 report progress; 5 to 8 end a fetch attempt.
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

class PackageFetcherObserver {
 public:
  virtual ~PackageFetcherObserver() = default;
  // The size of the current phase: bytes of a download, files of an archive.
  virtual void SetTotalProgress(int total) = 0;
  // The progress within that phase.
  virtual void SetCurrentProgress(int current) = 0;
  // A download is retrying after a connection failure; |last_error| is the
  // WinINet error or HTTP status that caused it.
  virtual void NotifyStalled(int last_error) = 0;
  virtual void NotifyStatusChanged(PackageFetcherStatus status) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_WININET_PACKAGE_FETCHER_OBSERVER_H_
