#include "desktop/windows/installer/error_download_stats_observer.h"

#include <memory>

#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(ErrorDownloadStatsObserverTest, RecordsOnlyTheOutcomeUnderItsPrefix) {
  base::Value::Dict stats;
  base::Lock lock;
  ErrorDownloadStatsObserver observer(
      std::make_unique<StatsScope>(&stats, &lock, base::TimeTicks::Now(),
                                   std::vector<StatsScope::PathElement>()),
      "fetch_download_url_");
  observer.OnChunkStart(0);
  observer.OnServerAddress("127.0.0.1");
  observer.OnResponseHeader(L"Server", L"x");
  observer.OnRetry(1);
  observer.OnChunkEnd(10);
  observer.OnWinInetError(0);
  observer.OnHttpStatus(200);
  observer.OnNullRequestContext();
  observer.OnNullRequestContext();
  observer.OnProxyLoginNeeded();
  observer.OnProxyLoginResult(12032);

  base::Value::Dict expected;
  expected.Set("fetch_download_url_wininet_error", 0);
  expected.Set("fetch_download_url_http_status", 200);
  expected.Set("fetch_download_url_null_request_context", 2);
  expected.Set("fetch_download_url_proxy_login_needed", 1);
  expected.Set("fetch_download_url_proxy_login_result", 12032);
  EXPECT_EQ(expected, stats);
}

}  // namespace
}  // namespace installer
