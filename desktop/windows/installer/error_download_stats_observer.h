// The download statistics of short requests (the download-address request,
// an additional file): only the outcome — WinINet error, HTTP status, proxy
// login and missing request context — under keys that start with a prefix
// (for instance "fetch_download_url_http_status").

#ifndef DESKTOP_WINDOWS_INSTALLER_ERROR_DOWNLOAD_STATS_OBSERVER_H_
#define DESKTOP_WINDOWS_INSTALLER_ERROR_DOWNLOAD_STATS_OBSERVER_H_

#include <memory>
#include <string>
#include <string_view>

#include "desktop/windows/installer/stats_scope.h"
#include "desktop/windows/installer/wininet/null_download_stats_observer.h"

namespace installer {

class ErrorDownloadStatsObserver : public NullDownloadStatsObserver {
 public:
  ErrorDownloadStatsObserver(std::unique_ptr<StatsScope> scope, std::string key_prefix);
  ~ErrorDownloadStatsObserver() override;

  void OnWinInetError(int error) override;
  void OnHttpStatus(int status) override;
  void OnProxyLoginNeeded() override;
  void OnProxyLoginResult(int result) override;
  void OnNullRequestContext() override;

 private:
  std::string Key(std::string_view name) const;

  const std::unique_ptr<StatsScope> scope_;
  const std::string key_prefix_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_ERROR_DOWNLOAD_STATS_OBSERVER_H_
