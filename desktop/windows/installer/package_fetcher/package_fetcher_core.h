// The work of the package fetcher, on the fetcher's own worker thread: one
// fetch attempt after another, each a chain of tasks that ends with exactly
// one final status (5 to 8). The server road asks the package server for the
// download address, downloads the package, checks its checksum, signature and
// version, unpacks its 7z archive where it lies in it into a try folder, moves that
// folder into the package folder, and fetches the additional files the reply
// named. The payload road, when the installer carries a full package, only
// unpacks that payload.
//
// Every task the core posts to itself goes through its task tracker and every
// download completion is bound to its weak pointer, so Restart abandons an
// attempt cleanly and nothing runs after the core is gone. Reports go to the
// front end through the PackageFetcherDelegateProxy.
//
// Built on the front end's thread (so the proxy captures that thread), used
// and destroyed on the worker thread; CanRetry alone is called from the front
// end's thread too and takes the lock.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_CORE_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_CORE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "base/location.h"
#include "base/memory/ref_counted.h"
#include "base/memory/weak_ptr.h"
#include "base/synchronization/lock.h"
#include "base/task/cancelable_task_tracker.h"
#include "base/time/time.h"
#include "base/values.h"
#include "desktop/windows/installer/package_fetcher/package_server_protocol.h"
#include "desktop/windows/installer/wininet/package_fetcher_observer.h"

namespace installer {

class Downloader;
class PackageFetcherDelegateProxy;
class PackageFetcherUIDelegate;
class PayloadReader;
class StatsScope;

// Switch: a folder whose files are offered as downloadable resources (through
// "file" URLs), as a package server would offer them in minimal mode.
inline constexpr char kTestDownloadableResourcesDirSwitch[] = "test-downloadable-resources-dir";

// What a fetcher is built with.
struct PackageFetcherParams {
  PackageFetcherParams();
  PackageFetcherParams(PackageFetcherParams&&);
  PackageFetcherParams& operator=(PackageFetcherParams&&);
  ~PackageFetcherParams();

  base::FilePath package_folder;
  // Empty unless the installation includes the companion product.
  base::FilePath suite_folder;
  // The root statistics scope; its "fetches" list gets one entry per attempt.
  std::unique_ptr<StatsScope> root_scope;
  // The run's payload reader; not owned, outlives the fetcher.
  const PayloadReader* payload_reader = nullptr;
  // 1 asks for the 64-bit package.
  uint32_t architecture = 0;
  std::wstring language;
  // The feature "installer-use-minimal-package" when the fetcher was built.
  bool minimal = false;
};

class PackageFetcherCore {
 public:
  // |ui_delegate| (required) and |observer| (may be null) belong to the front
  // end; the proxy made here carries reports to them on this thread.
  PackageFetcherCore(PackageFetcherParams params, PackageFetcherUIDelegate* ui_delegate,
                     PackageFetcherObserver* observer);
  PackageFetcherCore(const PackageFetcherCore&) = delete;
  PackageFetcherCore& operator=(const PackageFetcherCore&) = delete;
  ~PackageFetcherCore();

  // Begins an attempt.
  void Start();
  // Abandons the attempt under way (without a status), and a start that
  // StartAfter scheduled, and begins a new attempt.
  void Restart();
  // Begins an attempt after |delay|, unless Restart or the core's end come
  // first.
  void StartAfter(base::TimeDelta delay);
  void SetLanguage(const std::wstring& language);
  // Whether another attempt is allowed after a failure: six while little was
  // received and the server did not keep answering 204, else three.
  bool CanRetry();

  // The delay between retries of one download (the downloader's own).
  void SetDownloadRetryDelay(base::TimeDelta delay);
  // The downloader's stall window and floor.
  void SetDownloadStallLimits(base::TimeDelta window, int64_t floor);

 private:
  // The server road (download address, package download).
  void FetchDownloadUrl();
  void OnDownloadUrlFetched();
  void FailJsonReply(const std::string& reason);
  void StartPackageDownload(const std::string& url, const std::string& checksum);
  void ExtractArchive(const std::string& expected_checksum);
  // Both roads.
  // Unpacks the archive that begins at |start| in the file |archive| (the
  // package file, which stays) into the try folder.
  void UnpackArchive(const base::FilePath& archive, uint64_t start);
  void OnArchiveUnpacked();
  void AddTestDownloadableResources();
  void DownloadAdditionalFile();
  void OnAdditionalFileDownloaded(const std::string& file_name, bool archive,
                                  const std::string& checksum, const std::string& type,
                                  bool copied);
  // The file of an archive record: run its SFX and check what it yields.
  // False (logged) on any failure.
  bool InstallAdditionalComponent(const base::FilePath& destination, const std::string& type);
  void NextAdditionalFile();
  // Appends the names of the files kept to files_list and ends the attempt.
  void EndAdditionalFiles();
  void OnPackageReady();
  // Ends the attempt with a failure status (6, 7 or 8).
  void Finish(PackageFetcherStatus status);
  // Ends the attempt with status 7; |reason| and the downloader's state go to
  // the log and to "failure_reason".
  void Fail(const std::string& reason);
  // Logs |reason|, writes it as "failure_reason" and ends with |status|.
  void FinishWithReason(const std::string& reason, PackageFetcherStatus status);

  // Adds the download that just ended to the attempt's counts.
  void CountDownload();
  void PostToSelf(const base::Location& from_here, base::OnceClosure task);
  base::FilePath PackageFile() const;
  base::FilePath AdditionalFileTemp() const;

  scoped_refptr<PackageFetcherDelegateProxy> proxy_;
  const PayloadReader* payload_reader_;
  int try_count_ = 0;
  int no_content_count_ = 0;
  int additional_file_retry_count_ = 0;
  const base::FilePath package_folder_;
  const base::FilePath suite_folder_;
  base::FilePath try_folder_;
  std::vector<base::FilePath> try_folders_;
  std::unique_ptr<Downloader> downloader_;
  std::string reply_text_;
  DownloadUrlReply reply_;
  base::Value::List additional_list_;
  size_t additional_cursor_ = 0;
  std::vector<std::string> file_names_;
  std::unique_ptr<StatsScope> root_scope_;
  std::unique_ptr<StatsScope> fetch_scope_;
  std::unique_ptr<StatsScope> file_scope_;
  std::unique_ptr<StatsScope> try_scope_;
  const uint32_t architecture_;
  std::wstring language_;
  const bool minimal_requested_;
  bool minimal_used_ = false;
  std::unique_ptr<base::CancelableTaskTracker> task_tracker_;
  // Bytes received by the downloads of the attempt under way, and the HTTP
  // status of its last download.
  int64_t attempt_bytes_ = 0;
  int last_http_status_ = 0;
  base::Lock lock_;
  int64_t byte_total_ = 0;
  base::WeakPtrFactory<PackageFetcherCore> weak_factory_{this};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_CORE_H_
