// Gets the browser package onto the disk for a front end. The front end owns
// the fetcher on its own thread and follows it through its
// PackageFetcherObserver; the work runs on the fetcher's worker thread
// ("Package fetcher worker") in a PackageFetcherCore, and every report comes
// back to the front end's thread through a proxy.
//
// The package folder is <download folder>\velto_package.exe_<local time
// stamp>, the stamp being one that no other run holds (PackageFolderLock); it
// exists from STATUS_PACKAGE_READY until the fetcher is destroyed, so the
// owner keeps the fetcher until the installation that uses the package has
// ended. The suite folder (<download folder>\suite_<stamp>) is set only when
// the installation includes the companion product. Before its first attempt
// the fetcher removes the folders that runs which have ended left in the
// download folder.
//
// Every attempt ends with one final status (5 to 8). The fetcher never retries
// a whole attempt by itself: the front end calls Retry (which starts a new
// attempt after a delay, if the retry rule allows it) or Restart.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_H_

#include <cstdint>
#include <memory>
#include <string>

#include "base/files/file_path.h"
#include "base/threading/thread.h"
#include "base/time/time.h"
#include "desktop/windows/installer/package_fetcher/package_folder_lock.h"

namespace installer {

class PackageFetcherCore;
class PackageFetcherObserver;
class PackageFetcherUIDelegate;
class PayloadReader;
class StatsScope;

class PackageFetcher {
 public:
  static constexpr base::TimeDelta kDefaultRetryDelay = base::TimeDelta::FromSeconds(6);

  // |ui_delegate| is required (a null one stops the process); |observer| may
  // be null; both, and |payload_reader|, must outlive the fetcher. The root
  // scope's "fetches" list gets one entry per attempt.
  PackageFetcher(const base::FilePath& download_folder, std::unique_ptr<StatsScope> root_scope,
                 PackageFetcherUIDelegate* ui_delegate, PackageFetcherObserver* observer,
                 const PayloadReader* payload_reader, uint32_t architecture,
                 bool install_companion, const std::wstring& language, bool minimal);
  PackageFetcher(const PackageFetcher&) = delete;
  PackageFetcher& operator=(const PackageFetcher&) = delete;
  ~PackageFetcher();

  void Start();
  // Abandons the attempt under way, if any, and starts a new one.
  void Restart();
  // Starts a new attempt after the retry delay when the retry rule allows
  // one; false (and nothing posted) otherwise. For use after a failure status.
  bool Retry();
  // Restarts with another installation language.
  void SetLanguage(const std::wstring& language);

  const base::FilePath& package_folder() const { return package_folder_; }
  const base::FilePath& suite_folder() const { return suite_folder_; }

  // The delay of Retry, and of the retries inside one download.
  void set_retry_delay(base::TimeDelta delay) { retry_delay_ = delay; }
  void SetDownloadRetryDelay(base::TimeDelta delay);
  // How little a download's reply may bring in how long before it counts as
  // stalled (Downloader's stall floor and window).
  void SetDownloadStallLimits(base::TimeDelta window, int64_t floor);

 private:
  // Held until the core has removed the folders, after the worker stopped.
  PackageFolderLock folder_lock_;
  base::FilePath package_folder_;
  base::FilePath suite_folder_;
  PackageFetcherCore* core_;
  base::Thread worker_;
  base::TimeDelta retry_delay_ = kDefaultRetryDelay;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_H_
