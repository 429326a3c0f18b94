// A DownloadStatsObserver that records nothing, for requests whose events do
// not belong in the statistics (the statistics post itself, the overrides).

#ifndef DESKTOP_WINDOWS_INSTALLER_WININET_NULL_DOWNLOAD_STATS_OBSERVER_H_
#define DESKTOP_WINDOWS_INSTALLER_WININET_NULL_DOWNLOAD_STATS_OBSERVER_H_

#include <string>

#include "desktop/windows/installer/wininet/download_stats_observer.h"

namespace installer {

class NullDownloadStatsObserver : public DownloadStatsObserver {
 public:
  void OnChunkStart(int downloaded_size) override {}
  void OnServerAddress(const std::string& address) override {}
  void OnRedirect(const std::wstring& url) override {}
  void OnResponseHeader(const std::wstring& name, const std::wstring& value) override {}
  void OnWinInetError(int error) override {}
  void OnHttpStatus(int status) override {}
  void OnRetry(int retry_count) override {}
  void OnChunkEnd(int downloaded_size) override {}
  void OnResponseTooLong(int excess, int expected_size) override {}
  void OnProxyLoginNeeded() override {}
  void OnProxyLoginResult(int result) override {}
  void OnNullRequestContext() override {}
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_WININET_NULL_DOWNLOAD_STATS_OBSERVER_H_
