// The downloader's report of every network event of one request, so that the
// caller decides which of them land in the statistics and under which keys.
// Some calls come from WinINet's callback threads (server address, redirect,
// headers, WinINet error, HTTP status, response too long, proxy login needed,
// null request context), the others from the downloader's loop; an
// implementation that keeps state must allow for that.

#ifndef DESKTOP_WINDOWS_INSTALLER_WININET_DOWNLOAD_STATS_OBSERVER_H_
#define DESKTOP_WINDOWS_INSTALLER_WININET_DOWNLOAD_STATS_OBSERVER_H_

#include <string>

namespace installer {

class DownloadStatsObserver {
 public:
  virtual ~DownloadStatsObserver() = default;
  // A request (first or resumed) starts at |downloaded_size|.
  virtual void OnChunkStart(int downloaded_size) = 0;
  virtual void OnServerAddress(const std::string& address) = 0;
  virtual void OnRedirect(const std::wstring& url) = 0;
  // |value| is empty when the reply has no such header.
  virtual void OnResponseHeader(const std::wstring& name, const std::wstring& value) = 0;
  // The error of a completed request; 0 for success.
  virtual void OnWinInetError(int error) = 0;
  virtual void OnHttpStatus(int status) = 0;
  virtual void OnRetry(int retry_count) = 0;
  virtual void OnChunkEnd(int downloaded_size) = 0;
  virtual void OnResponseTooLong(int excess, int expected_size) = 0;
  virtual void OnProxyLoginNeeded() = 0;
  virtual void OnProxyLoginResult(int result) = 0;
  // WinINet called back without the request's context.
  virtual void OnNullRequestContext() = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_WININET_DOWNLOAD_STATS_OBSERVER_H_
