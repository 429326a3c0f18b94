#include "desktop/windows/installer/detailed_download_stats_observer.h"

#include <memory>
#include <string>

#include "base/json/json_writer.h"
#include "base/message_loop/message_loop.h"
#include "base/test/local_package_server.h"
#include "desktop/windows/installer/wininet/downloader.h"
#include "desktop/windows/installer/wininet/string_response_writer.h"
#include "desktop/windows/installer/wininet/test/download_test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class DetailedDownloadStatsObserverTest : public testing::Test {
 protected:
  std::unique_ptr<StatsScope> Root() {
    return std::make_unique<StatsScope>(&stats_, &lock_, base::TimeTicks::Now(),
                                        std::vector<StatsScope::PathElement>());
  }
  base::Value::Dict stats_;
  base::Lock lock_;
};

TEST_F(DetailedDownloadStatsObserverTest, EachObserverMakesOneListElement) {
  DetailedDownloadStatsObserver first(Root(), "download_chunks");
  DetailedDownloadStatsObserver second(Root(), "download_chunks");
  first.OnHttpStatus(503);
  second.OnHttpStatus(200);
  const base::Value::List* chunks = stats_.FindList("download_chunks");
  ASSERT_TRUE(chunks);
  ASSERT_EQ(2u, chunks->size());
  EXPECT_EQ(503, *(*chunks)[0].GetDict().FindInt("http_status"));
  EXPECT_EQ(200, *(*chunks)[1].GetDict().FindInt("http_status"));
}

TEST_F(DetailedDownloadStatsObserverTest, ChunksAreNumberedAsTheyEnd) {
  DetailedDownloadStatsObserver observer(Root(), "download_chunks");
  observer.OnChunkStart(0);
  observer.OnChunkEnd(1000);
  observer.OnRetry(1);
  observer.OnChunkStart(1000);
  observer.OnNullRequestContext();
  observer.OnNullRequestContext();
  observer.OnResponseTooLong(17, 1000);
  observer.OnRedirect(L"http://127.0.0.1/b?x=%2B");
  observer.OnProxyLoginNeeded();
  observer.OnProxyLoginResult(1223);
  const base::Value::Dict& chunk = (*stats_.FindList("download_chunks"))[0].GetDict();
  EXPECT_EQ(1000, *chunk.FindInt("chunk_start"));
  EXPECT_EQ(1, *chunk.FindInt("chunk_number"));
  EXPECT_EQ(1000, *chunk.FindInt("chunk_end"));
  EXPECT_EQ(1, *chunk.FindInt("retry_count"));
  EXPECT_EQ(2, *chunk.FindInt("null_request_context"));
  EXPECT_EQ(17, *chunk.FindInt("response_too_long"));
  EXPECT_EQ("http://127.0.0.1/b?x=%2B", *chunk.FindString("redirected_url"));
  EXPECT_EQ(1, *chunk.FindInt("proxy_login_needed"));
  EXPECT_EQ(1223, *chunk.FindInt("proxy_login_result"));
  EXPECT_TRUE(chunk.FindStringByDottedPath("chunk_start_time.time"));
  EXPECT_TRUE(chunk.FindIntByDottedPath("chunk_end_time.elapsed"));
}

TEST_F(DetailedDownloadStatsObserverTest, RecordsARealDownload) {
  base::MessageLoop loop;
  base::Value::Dict body;
  body.Set("body", std::string(2500, 'v'));
  base::Value::Dict headers;
  headers.Set("X-Served-By", "cache-7");
  body.Set("headers", std::move(headers));
  base::Value::Dict routes;
  routes.Set("/package", std::move(body));
  base::test::LocalPackageServer server;
  ASSERT_TRUE(server.StartWithRoutes(std::move(routes)));

  test::FakeUIDelegate ui_delegate;
  Downloader downloader(&ui_delegate, nullptr);
  std::string reply;
  int completions = 0;
  ASSERT_TRUE(test::DownloadAndWait(
      &downloader, server.Url(L"/package"), std::string(),
      std::make_unique<StringResponseWriter>(&reply),
      std::make_unique<DetailedDownloadStatsObserver>(Root(), "download_chunks"), &completions));
  ASSERT_EQ(Downloader::STATE_COMPLETED, downloader.state());

  const base::Value::Dict& chunk = (*stats_.FindList("download_chunks"))[0].GetDict();
  EXPECT_EQ(200, *chunk.FindInt("http_status"));
  EXPECT_EQ(0, *chunk.FindInt("wininet_error"));
  EXPECT_EQ("127.0.0.1", *chunk.FindString("ip"));
  EXPECT_EQ(0, *chunk.FindInt("chunk_start"));
  EXPECT_EQ(2500, *chunk.FindInt("chunk_end"));
  // Header names keep their own characters under "headers".
  EXPECT_EQ("2500", *chunk.FindStringByDottedPath("headers.Content-Length"));
  EXPECT_EQ("cache-7", *chunk.FindStringByDottedPath("headers.X-Served-By"));
  EXPECT_FALSE(chunk.FindStringByDottedPath("headers.Server")->empty());
  EXPECT_FALSE(chunk.FindStringByDottedPath("headers.Date")->empty());
}

}  // namespace
}  // namespace installer
