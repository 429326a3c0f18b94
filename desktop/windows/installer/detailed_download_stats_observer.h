// The download statistics of the package download: every network event of
// the download lands in one element of a list (such as a fetch's
// "download_chunks"), which the observer appends when it is made. A resumed
// download keeps writing into the same element; "chunk_number" counts the
// chunks ended so far.

#ifndef DESKTOP_WINDOWS_INSTALLER_DETAILED_DOWNLOAD_STATS_OBSERVER_H_
#define DESKTOP_WINDOWS_INSTALLER_DETAILED_DOWNLOAD_STATS_OBSERVER_H_

#include <memory>
#include <string>

#include "desktop/windows/installer/stats_scope.h"
#include "desktop/windows/installer/wininet/download_stats_observer.h"

namespace installer {

class DetailedDownloadStatsObserver : public DownloadStatsObserver {
 public:
  DetailedDownloadStatsObserver(std::unique_ptr<StatsScope> parent_scope, std::string list_key);
  ~DetailedDownloadStatsObserver() override;

  void OnChunkStart(int downloaded_size) override;
  void OnServerAddress(const std::string& address) override;
  void OnRedirect(const std::wstring& url) override;
  void OnResponseHeader(const std::wstring& name, const std::wstring& value) override;
  void OnWinInetError(int error) override;
  void OnHttpStatus(int status) override;
  void OnRetry(int retry_count) override;
  void OnChunkEnd(int downloaded_size) override;
  void OnResponseTooLong(int excess, int expected_size) override;
  void OnProxyLoginNeeded() override;
  void OnProxyLoginResult(int result) override;
  void OnNullRequestContext() override;

 private:
  const std::unique_ptr<StatsScope> parent_scope_;
  const std::unique_ptr<StatsScope> chunk_scope_;
  const std::string list_key_;
  // Touched only by OnChunkStart and OnChunkEnd, both on the downloader's loop.
  int chunk_counter_ = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_DETAILED_DOWNLOAD_STATS_OBSERVER_H_
