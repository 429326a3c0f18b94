// The downloader against the local package server on 127.0.0.1: real WinINet
// in asynchronous mode, with the server cutting connections, stalling,
// answering 50x, 404, 407, redirects and Range requests as a test scripts it.

#include "desktop/windows/installer/wininet/downloader.h"

#include <wininet.h>

#include <memory>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/location.h"
#include "base/logging.h"
#include "base/message_loop/message_loop.h"
#include "base/rand_util.h"
#include "base/run_loop.h"
#include "base/synchronization/lock.h"
#include "base/test/local_package_server.h"
#include "base/test/test_environment.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/time/time.h"
#include "desktop/windows/installer/wininet/file_response_writer.h"
#include "desktop/windows/installer/wininet/null_download_stats_observer.h"
#include "desktop/windows/installer/wininet/package_fetcher_observer.h"
#include "desktop/windows/installer/wininet/package_fetcher_ui_delegate.h"
#include "desktop/windows/installer/wininet/string_response_writer.h"
#include "desktop/windows/installer/wininet/test/download_test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::Value;

constexpr base::TimeDelta kTestRetryDelay = base::TimeDelta::FromMilliseconds(10);
// How long a request may go without progress, for the tests that wait it
// out. It bounds every step of every request of such a test, the connection
// too (Wine's WinINet gives a connection that takes longer up with 12029),
// so any step of a healthy exchange must fit in it on a loaded machine, whose
// local server may go without the processor or the disk for a second or two:
// each step cut short that way is one request more than a test expects.
constexpr base::TimeDelta kTestTimeout = base::TimeDelta::FromSeconds(5);
// A wait for a stalled server ends this soon after the time-out, whatever
// the machine's load (the server itself would hold on for a minute).
constexpr base::TimeDelta kStallLeftWithin = base::TimeDelta::FromSeconds(8);

using test::FakeUIDelegate;

class RecordingFetcherObserver : public PackageFetcherObserver {
 public:
  void SetTotalProgress(int total) override { total_ = total; }
  void SetCurrentProgress(int current) override { current_ = current; }
  void NotifyStalled(int last_error) override {
    base::AutoLock hold(lock_);
    stalls_.push_back(last_error);
  }
  void NotifyStatusChanged(PackageFetcherStatus status) override {}

  int total() const { return total_; }
  int current() const { return current_; }
  std::vector<int> stalls() {
    base::AutoLock hold(lock_);
    return stalls_;
  }

 private:
  int total_ = -1;
  int current_ = -1;
  base::Lock lock_;
  std::vector<int> stalls_;
};

// Records the events as text; calls come from several threads.
class RecordingStatsObserver : public NullDownloadStatsObserver {
 public:
  struct Log {
    base::Lock lock;
    std::vector<std::string> events;
    void Add(std::string event) {
      base::AutoLock hold(lock);
      events.push_back(std::move(event));
    }
    bool Has(const std::string& event) {
      base::AutoLock hold(lock);
      return std::find(events.begin(), events.end(), event) != events.end();
    }
    int Count(const std::string& prefix) {
      base::AutoLock hold(lock);
      int count = 0;
      for (const std::string& event : events)
        count += event.rfind(prefix, 0) == 0;
      return count;
    }
  };

  explicit RecordingStatsObserver(Log* log) : log_(log) {}
  void OnRedirect(const std::wstring& url) override { log_->Add("redirect " + Narrow(url)); }
  void OnResponseHeader(const std::wstring& name, const std::wstring& value) override {
    log_->Add("header " + Narrow(name) + "=" + Narrow(value));
  }
  void OnHttpStatus(int status) override { log_->Add("status " + std::to_string(status)); }
  void OnRetry(int count) override { log_->Add("retry " + std::to_string(count)); }
  void OnResponseTooLong(int excess, int expected) override {
    log_->Add("too long " + std::to_string(excess) + " " + std::to_string(expected));
  }
  void OnProxyLoginNeeded() override { log_->Add("proxy login needed"); }
  void OnProxyLoginResult(int result) override {
    log_->Add("proxy login result " + std::to_string(result));
  }

 private:
  static std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }
  Log* const log_;
};

class DownloaderTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"dl"));
    ASSERT_TRUE(base::CreateDirectory(folder_));
  }

  // A file of |size| random bytes served by the tests.
  base::FilePath MakeFile(size_t size) {
    std::string content(size, '\0');
    base::RandBytes(content.data(), content.size());
    base::FilePath path = folder_.Append(base::test::UniqueName(L"content"));
    EXPECT_TRUE(base::WriteFile(path, content));
    return path;
  }

  // Scripted answers of the server (see package_server.py).
  static Value FileResponse(const base::FilePath& path) {
    Value::Dict response;
    response.Set("file", base::test::LocalPackageServer::ServerPath(path));
    return Value(std::move(response));
  }
  static Value With(Value response, std::string_view key, Value value) {
    response.GetDict().Set(key, std::move(value));
    return response;
  }
  static Value Cut(const base::FilePath& path, int bytes) {
    return With(FileResponse(path), "cut_after", Value(bytes));
  }
  static Value Status(int status) { return With(Value(Value::Dict()), "status", Value(status)); }
  static Value Body(std::string body) {
    return With(Value(Value::Dict()), "body", Value(std::move(body)));
  }
  // Answers given one per request, the last one repeating.
  template <typename... Responses>
  static Value Sequence(Responses... responses) {
    Value::List list;
    (list.Append(std::move(responses)), ...);
    return Value(std::move(list));
  }

  void Serve(std::string_view path, Value response) { routes_.Set(path, std::move(response)); }
  // A file of 20000 random bytes served at |path| one byte every 50 ms: 20 a
  // second, each far inside the time-out; the replies before it as given.
  // Returns the file.
  template <typename... Before>
  base::FilePath ServeDrip(std::string_view path, Before... before) {
    base::FilePath content = MakeFile(20000);
    Value::List drip;
    drip.Append(1);
    drip.Append(50);
    Serve(path, Sequence(std::move(before)...,
                         With(FileResponse(content), "trickle", Value(std::move(drip)))));
    return content;
  }
  // Logs into |log| until logging::CloseLogFile.
  static bool LogTo(const base::FilePath& log) {
    logging::LoggingSettings settings;
    settings.log_file_path = log;
    return logging::InitLogging(settings);
  }
  void StartServer() {
    ASSERT_TRUE(server_.StartWithRoutes(std::move(routes_)));
  }

  std::unique_ptr<Downloader> MakeDownloader(PackageFetcherUIDelegate* ui_delegate = nullptr) {
    auto downloader =
        std::make_unique<Downloader>(ui_delegate ? ui_delegate : &ui_delegate_, &observer_);
    downloader->set_retry_delay(kTestRetryDelay);
    // With the short delay the default limit of a run of retries would be
    // shorter than a few attempts take: tests of that limit set their own.
    downloader->set_retry_time_limit(test::kDownloadTimeout);
    return downloader;
  }

  // Starts the download and runs the loop until its completion. False when
  // it did not start; a completion that never comes fails the test.
  bool Download(Downloader* downloader,
                const std::wstring& url,
                std::unique_ptr<ResponseWriter> writer,
                std::string body = std::string()) {
    return test::DownloadAndWait(downloader, url, std::move(body), std::move(writer),
                                 std::make_unique<RecordingStatsObserver>(&stats_), &completions_);
  }

  // Downloads |url|, the first download the server sees, into a file that
  // must come out as |content| after two requests: the second asks for the
  // rest with |range| and is answered |status|.
  void DownloadResumedOnce(Downloader* downloader,
                           const std::wstring& url,
                           const base::FilePath& content,
                           const std::string& range,
                           int status) {
    base::FilePath target;
    ASSERT_TRUE(Download(downloader, url, FileWriter(&target)));
    EXPECT_EQ(Downloader::STATE_COMPLETED, downloader->state()) << downloader->GetStateText();
    EXPECT_TRUE(base::ContentsEqual(content, target));
    std::vector<Value::Dict> requests = server_.Requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ(range, Header(requests[1], "Range"));
    EXPECT_EQ(status, *requests[1].FindInt("status"));
  }

  // Download into a file at |*target| while the log goes to a file of its
  // own, whose text comes back in |*log_text|. False when the download did
  // not start or the log could not be kept.
  bool DownloadLogged(Downloader* downloader,
                      const std::wstring& url,
                      base::FilePath* target,
                      std::string* log_text) {
    const base::FilePath log = folder_.Append(base::test::UniqueName(L"log"));
    if (!LogTo(log))
      return false;
    const bool started = Download(downloader, url, FileWriter(target));
    logging::CloseLogFile();
    return base::ReadFileToString(log, log_text) && started;
  }

  // The seconds of the log's "Giving up the download from |url| after
  // |retries| retries in <seconds> seconds" line; -1 when there is none.
  static int GivingUpSeconds(const std::string& text, const std::wstring& url, int retries) {
    const std::string line = "Giving up the download from " + base::WideToUTF8(url) + " after " +
                             base::NumberToString(retries) + " retries in ";
    const size_t giving = text.find(line);
    if (giving == std::string::npos)
      return -1;
    const size_t number = giving + line.size();
    int seconds = -1;
    if (!base::StringToInt(text.substr(number, text.find(' ', number) - number), &seconds))
      return -1;
    return seconds;
  }

  std::unique_ptr<FileResponseWriter> FileWriter(base::FilePath* path) {
    *path = folder_.Append(base::test::UniqueName(L"download"));
    auto writer = std::make_unique<FileResponseWriter>();
    EXPECT_TRUE(writer->Open(*path));
    return writer;
  }

  static std::string Header(const Value::Dict& request, const std::string& name) {
    const Value::List* headers = request.FindList("headers");
    for (const Value& header : *headers) {
      const Value::List& pair = header.GetList();
      if (pair.size() == 2 && pair[0].GetString() == name)
        return pair[1].GetString();
    }
    return std::string();
  }

  // The time between the arrivals of two requests at the server.
  static base::TimeDelta RequestInterval(const Value::Dict& first, const Value::Dict& second) {
    return base::TimeDelta::FromSecondsD(*second.FindDouble("time") - *first.FindDouble("time"));
  }

  std::vector<std::string> Paths() {
    std::vector<std::string> paths;
    for (const Value::Dict& request : server_.Requests())
      paths.push_back(*request.FindString("target"));
    return paths;
  }

  base::MessageLoop loop_;
  base::FilePath folder_;
  base::test::LocalPackageServer server_;
  FakeUIDelegate ui_delegate_;
  RecordingFetcherObserver observer_;
  RecordingStatsObserver::Log stats_;
  Value::Dict routes_;
  int completions_ = 0;
};

TEST_F(DownloaderTest, DownloadsAFile) {
  base::FilePath content = MakeFile(50000);
  Serve("/file", FileResponse(content));
  StartServer();

  auto downloader = MakeDownloader();
  base::FilePath target;
  const std::wstring url = server_.Url(L"/file");
  ASSERT_TRUE(Download(downloader.get(), url, FileWriter(&target)));
  EXPECT_EQ(1, completions_);
  EXPECT_EQ(Downloader::STATE_COMPLETED, downloader->state());
  EXPECT_EQ(200, downloader->http_status());
  EXPECT_TRUE(base::ContentsEqual(content, target));
  EXPECT_EQ(50000, downloader->downloaded_size());
  EXPECT_FALSE(downloader->has_retried());
  EXPECT_EQ(50000, observer_.total());
  EXPECT_EQ(50000, observer_.current());
  EXPECT_TRUE(stats_.Has("status 200"));
  EXPECT_TRUE(stats_.Has("header Content-Length=50000"));
  EXPECT_TRUE(stats_.Has("header X-Served-By="));
  EXPECT_EQ("", downloader->GetStateText());
  std::vector<Value::Dict> requests = server_.Requests();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("GET", *requests[0].FindString("method"));
  EXPECT_EQ("", Header(requests[0], "Range"));
  EXPECT_EQ(0u, Header(requests[0], "User-Agent").rfind("Velto NetInstaller/", 0));
  // The writer's file is the only copy: one in the user's Internet cache
  // would outlive the installer's own folders (a package a run refused, or
  // one it installed and deleted, left behind).
  DWORD size = 0;
  EXPECT_FALSE(::GetUrlCacheEntryInfoW(url.c_str(), nullptr, &size));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), ::GetLastError());
}

TEST_F(DownloaderTest, ResumesAfterACutConnectionByteForByte) {
  base::FilePath content = MakeFile(300000);
  Serve("/package", Sequence(Cut(content, 123457), FileResponse(content)));
  StartServer();

  auto downloader = MakeDownloader();
  ASSERT_NO_FATAL_FAILURE(DownloadResumedOnce(downloader.get(), server_.Url(L"/package"), content,
                                              "bytes=123457-", 206));
  EXPECT_TRUE(downloader->has_retried());
  EXPECT_TRUE(stats_.Has("retry 1"));
}

// A resume's reply that does not continue where asked: a 200 starts over, a
// 206 from elsewhere fails the download.
TEST_F(DownloaderTest, ResumeAnsweredElsewhereStartsOverOrFails) {
  base::FilePath content = MakeFile(100000);
  Serve("/whole", Sequence(Cut(content, 40000),
                           With(FileResponse(content), "range", Value("ignore"))));
  Serve("/elsewhere",
        Sequence(Cut(content, 40000), With(FileResponse(content), "range", Value(1000))));
  StartServer();

  auto downloader = MakeDownloader();
  // Appending the whole body to the first 40000 bytes would give 140000.
  ASSERT_NO_FATAL_FAILURE(
      DownloadResumedOnce(downloader.get(), server_.Url(L"/whole"), content, "bytes=40000-", 200));

  base::FilePath target;
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/elsewhere"), FileWriter(&target)));
  EXPECT_EQ(1, completions_);
  EXPECT_EQ(Downloader::STATE_FAILED, downloader->state());
  EXPECT_NE(std::string::npos,
            downloader->GetStateText().find("Partial content starts elsewhere than asked (40000)"));
  EXPECT_EQ(4u, server_.Requests().size());
}

TEST_F(DownloaderTest, RetriesAfterGatewayErrors) {
  base::FilePath content = MakeFile(2000);
  Serve("/package", Sequence(Status(502), Status(503), Status(504), FileResponse(content)));
  StartServer();

  auto downloader = MakeDownloader();
  base::FilePath target;
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/package"), FileWriter(&target)));
  EXPECT_EQ(Downloader::STATE_COMPLETED, downloader->state()) << downloader->GetStateText();
  EXPECT_TRUE(base::ContentsEqual(content, target));
  for (const char* event : {"status 502", "status 503", "status 504", "retry 3"})
    EXPECT_TRUE(stats_.Has(event)) << event;
  std::vector<Value::Dict> requests = server_.Requests();
  ASSERT_EQ(4u, requests.size());
  // Nothing had arrived: the retry asks for the whole file again.
  EXPECT_EQ("", Header(requests[3], "Range"));
}

// A server that keeps the connection and sends nothing (more): the wait ends
// within a few seconds of the time-out (the test server would hold on for a
// minute), and the download goes on from the byte reached, also when the
// stall comes in the middle of a block of the reply.
TEST_F(DownloaderTest, StalledServerIsLeftAfterTheTimeout) {
  base::FilePath content = MakeFile(300000);
  // Well inside the first block the downloader gathers.
  constexpr int kStallAt = 123457;
  static_assert(kStallAt < Downloader::kDefaultReadSize);
  Serve("/package", Sequence(With(FileResponse(content), "stall_after", Value(kStallAt)),
                             FileResponse(content)));
  // As the download-address request may meet it: never answered at all.
  Value::Dict silent;
  silent.Set("silent", true);
  Serve("/address", Sequence(Value(std::move(silent)), Body("the address")));
  StartServer();

  auto downloader = MakeDownloader();
  downloader->set_timeout(kTestTimeout);
  base::FilePath target;
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/package"), FileWriter(&target)));
  EXPECT_EQ(Downloader::STATE_COMPLETED, downloader->state()) << downloader->GetStateText();
  EXPECT_TRUE(base::ContentsEqual(content, target));
  std::vector<Value::Dict> requests = server_.Requests();
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ(kStallAt, *requests[0].FindInt("cut"));
  EXPECT_EQ("bytes=123457-", Header(requests[1], "Range"));
  EXPECT_GT(kTestTimeout + kStallLeftWithin,
            RequestInterval(requests[0], requests[1]));

  std::string reply;
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/address"),
                       std::make_unique<StringResponseWriter>(&reply)));
  EXPECT_EQ(Downloader::STATE_COMPLETED, downloader->state()) << downloader->GetStateText();
  EXPECT_EQ("the address", reply);
  EXPECT_TRUE(downloader->has_retried());
  requests = server_.Requests();
  ASSERT_EQ(4u, requests.size());
  EXPECT_GT(kTestTimeout + kStallLeftWithin,
            RequestInterval(requests[2], requests[3]));
}

// A server that sends a byte now and then never lets a read wait out the
// time-out; a reply that brings less than the floor within the window has
// stalled all the same: it is resumed from the byte reached, and a run of
// such replies ends as a run of any failed attempts does, although each one
// brings bytes never had before.
TEST_F(DownloaderTest, DrippingServerStallsAndIsGivenUpAfterItsRetries) {
  const base::FilePath content = ServeDrip("/package");
  StartServer();

  auto downloader = MakeDownloader();
  downloader->set_stall_window(base::TimeDelta::FromSeconds(1));
  downloader->set_stall_floor(1024);
  downloader->set_max_retries(2);
  base::FilePath target;
  const std::wstring url = server_.Url(L"/package");
  std::string text;
  ASSERT_TRUE(DownloadLogged(downloader.get(), url, &target, &text));
  EXPECT_EQ(1, completions_);
  EXPECT_EQ(Downloader::STATE_FAILED, downloader->state());
  EXPECT_EQ("Number of retries exceeded, last error: 12002\n", downloader->GetStateText());
  EXPECT_NE(std::string::npos, text.find("Download stalled: less than 1024 bytes in 1 seconds"));
  EXPECT_LE(0, GivingUpSeconds(text, url, 3)) << text;

  // The first request and three retries, each resumed from the byte the
  // replies before it reached; every byte kept is the file's.
  std::vector<Value::Dict> requests = server_.Requests();
  ASSERT_EQ(4u, requests.size());
  EXPECT_EQ("", Header(requests[0], "Range"));
  int64_t previous = 0;
  for (size_t i = 1; i < requests.size(); ++i) {
    const std::string range = Header(requests[i], "Range");
    int64_t offset = 0;
    ASSERT_EQ(0u, range.rfind("bytes=", 0)) << range;
    ASSERT_TRUE(base::StringToInt64(range.substr(6, range.size() - 7), &offset)) << range;
    EXPECT_LT(previous, offset) << i;
    EXPECT_EQ(206, *requests[i].FindInt("status"));
    previous = offset;
  }
  std::string kept;
  std::string whole;
  ASSERT_TRUE(base::ReadFileToString(target, &kept));
  ASSERT_TRUE(base::ReadFileToString(content, &whole));
  EXPECT_LE(previous, static_cast<int64_t>(kept.size()));
  EXPECT_GT(whole.size(), kept.size());
  EXPECT_EQ(whole.substr(0, kept.size()), kept);
}

// A dripping reply that follows failed attempts is one more of them: once
// the run has had its time it ends at the next byte, not a window later.
TEST_F(DownloaderTest, DripEndsTheRunOfRetriesOnTime) {
  ServeDrip("/package", Status(503));
  StartServer();

  auto downloader = MakeDownloader();
  // The first reply fails at once; the run's second second comes long
  // before the dripping second reply's window ends.
  constexpr base::TimeDelta kWindow = base::TimeDelta::FromSeconds(6);
  downloader->set_stall_window(kWindow);
  downloader->set_retry_time_limit(base::TimeDelta::FromSeconds(1));
  base::FilePath target;
  const std::wstring url = server_.Url(L"/package");
  std::string text;
  ASSERT_TRUE(DownloadLogged(downloader.get(), url, &target, &text));
  EXPECT_EQ(Downloader::STATE_FAILED, downloader->state());
  EXPECT_EQ(0u, downloader->GetStateText().find("Time for retries exceeded after 1 retries in "))
      << downloader->GetStateText();
  std::vector<Value::Dict> requests = server_.Requests();
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ(503, *requests[0].FindInt("status"));
  EXPECT_EQ(200, *requests[1].FindInt("status"));
  EXPECT_NE(std::string::npos,
            text.find("Download stalled: less than 1024 bytes since the time for retries ran out"))
      << text;
  // Far less than the window after the second request went out.
  const int seconds = GivingUpSeconds(text, url, 1);
  EXPECT_LE(0, seconds) << text;
  EXPECT_GT(kWindow.InSeconds() - 2, seconds);
}

// The run of failed attempts that a dripping first reply starts is timed
// from that reply's request, not from its stall a window later: the run
// ends the limit after the download started, like a run of attempts that
// each fail at once.
TEST_F(DownloaderTest, DripsFirstReplyCountsInTheTimeOfItsRun) {
  ServeDrip("/package");
  StartServer();

  auto downloader = MakeDownloader();
  // The first reply stalls when the window has passed, two seconds before
  // the limit; the second would stall three seconds after it.
  constexpr base::TimeDelta kWindow = base::TimeDelta::FromSeconds(5);
  constexpr base::TimeDelta kLimit = base::TimeDelta::FromSeconds(7);
  downloader->set_stall_window(kWindow);
  downloader->set_retry_time_limit(kLimit);
  base::FilePath target;
  const std::wstring url = server_.Url(L"/package");
  std::string text;
  const base::TimeTicks start = base::TimeTicks::Now();
  ASSERT_TRUE(DownloadLogged(downloader.get(), url, &target, &text));
  const base::TimeDelta took = base::TimeTicks::Now() - start;
  EXPECT_EQ(Downloader::STATE_FAILED, downloader->state());
  // Timed from the stall, the run would have had a third reply and ended a
  // window later.
  EXPECT_EQ(0u, downloader->GetStateText().find("Time for retries exceeded after 1 retries in "))
      << downloader->GetStateText();
  EXPECT_EQ(2u, server_.Requests().size());
  EXPECT_GT(kWindow + kLimit, took);
  // The line says the run's time, counted from the first request.
  EXPECT_LE(kLimit.InSeconds(), GivingUpSeconds(text, url, 1)) << text;
}

// A reply that gets further at the floor's pace ends the run before it, and
// the run that follows its break is timed from there: the time it took is
// no failed attempt's.
TEST_F(DownloaderTest, ReplyThatGotFurtherStartsTheTimeOfTheNextRun) {
  const base::FilePath content = MakeFile(60000);
  // 6000 bytes a second for about two seconds, then the connection drops.
  Value::List pace;
  pace.Append(600);
  pace.Append(100);
  Serve("/package", Sequence(With(Cut(content, 12000), "trickle", Value(std::move(pace))),
                             FileResponse(content)));
  StartServer();

  auto downloader = MakeDownloader();
  downloader->set_stall_window(base::TimeDelta::FromSeconds(1));
  downloader->set_retry_time_limit(base::TimeDelta::FromSeconds(1));
  DownloadResumedOnce(downloader.get(), server_.Url(L"/package"), content, "bytes=12000-", 206);
}

// A server that never answers: each attempt waits out the time-out, and the
// run of retries still ends once it has taken as long as the maximum number
// of retries of a refused connection would, with far fewer attempts.
TEST_F(DownloaderTest, RetriesOfAServerThatNeverAnswersEndInTime) {
  Value::Dict silent;
  silent.Set("silent", true);
  Serve("/address", Value(std::move(silent)));
  StartServer();

  // The limit that follows: 16 delays of a tenth of the time-out, between
  // the time one failed attempt and its retry take and that of two.
  auto downloader = std::make_unique<Downloader>(&ui_delegate_, &observer_);
  downloader->set_timeout(kTestTimeout);
  downloader->set_retry_delay(kTestTimeout / 10);
  downloader->set_max_retries(15);
  std::string reply;
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/address"),
                       std::make_unique<StringResponseWriter>(&reply)));
  EXPECT_EQ(1, completions_);
  EXPECT_EQ(Downloader::STATE_FAILED, downloader->state());
  EXPECT_EQ(0u, downloader->GetStateText().find("Time for retries exceeded after "))
      << downloader->GetStateText();
  // The run is timed from the first attempt's start: the first failure comes
  // a time-out later and is retried, the second two time-outs later, past
  // the limit. Two attempts, not the sixteen the count allows.
  EXPECT_EQ(2u, server_.Requests().size());
}

// With a few retries allowed the run's limit can be shorter than one attempt
// that waits out the time-out: the run's first failure is retried all the
// same, and the limit ends the run at the next.
TEST_F(DownloaderTest, FirstFailureOfARunIsRetriedHoweverLongItsAttemptWaited) {
  Value::Dict silent;
  silent.Set("silent", true);
  Serve("/address", Value(std::move(silent)));
  StartServer();

  auto downloader = MakeDownloader();
  downloader->set_timeout(kTestTimeout);
  downloader->set_max_retries(5);
  downloader->set_retry_time_limit(kTestTimeout / 2);
  std::string reply;
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/address"),
                       std::make_unique<StringResponseWriter>(&reply)));
  EXPECT_EQ(Downloader::STATE_FAILED, downloader->state());
  EXPECT_EQ(0u, downloader->GetStateText().find("Time for retries exceeded after 1 retries in "))
      << downloader->GetStateText();
  EXPECT_EQ(2u, server_.Requests().size());
}

// Each ends at once, once, with its reason. Wine reads a garbled status as 0;
// Windows may refuse to read it at all.
TEST_F(DownloaderTest, UnexpectedRepliesFailOnceWithTheirReason) {
  Serve("/garbled", With(Value(Value::Dict()), "raw",
                         Value("HTTP/1.1 abc Who knows\r\nContent-Length: 2\r\n\r\nhi")));
  Serve("/big", Body(std::string(5000, 'x')));
  StartServer();

  auto downloader = MakeDownloader();
  downloader->set_max_retries(1);
  std::string reply;
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/missing"),
                       std::make_unique<StringResponseWriter>(&reply)));
  EXPECT_EQ(1, completions_);
  EXPECT_EQ(Downloader::STATE_FAILED, downloader->state());
  EXPECT_EQ(404, downloader->http_status());
  EXPECT_EQ("Request completed with an unexpected HTTP status 404\n", downloader->GetStateText());

  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/garbled"),
                       std::make_unique<StringResponseWriter>(&reply)));
  EXPECT_EQ(1, completions_);
  EXPECT_EQ(Downloader::STATE_FAILED, downloader->state()) << downloader->GetStateText();
  EXPECT_EQ("", reply);

  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/big"),
                       std::make_unique<StringResponseWriter>(&reply, 4096)));
  EXPECT_EQ(Downloader::STATE_FAILED, downloader->state());
  EXPECT_EQ("Failed writing the response with error 223\n", downloader->GetStateText());
  EXPECT_LE(reply.size(), 4096u);
  EXPECT_EQ(std::vector<std::string>({"/missing", "/garbled", "/big"}), Paths());
}

// The server ends the connection after the request without answering
// anything: the log says so, rather than naming a status that never came.
// (A reset that WinINet sees as such, 12030, is retried as a connectivity
// error.)
TEST_F(DownloaderTest, ConnectionEndedBeforeAnyAnswerSaysItWasReset) {
  Serve("/address", With(Value(Value::Dict()), "raw", Value("")));
  Serve("/garbled", With(Value(Value::Dict()), "raw",
                         Value("HTTP/1.1 abc Who knows\r\nContent-Length: 2\r\n\r\nhi")));
  StartServer();

  auto downloader = MakeDownloader();
  downloader->set_max_retries(1);
  std::string reply;
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/address"),
                       std::make_unique<StringResponseWriter>(&reply), "{}"));
  EXPECT_EQ(1, completions_);
  EXPECT_EQ(Downloader::STATE_FAILED, downloader->state());
  EXPECT_NE(std::string::npos, downloader->GetStateText().find("connection was reset"))
      << downloader->GetStateText();
  EXPECT_EQ(std::string::npos, downloader->GetStateText().find("HTTP status"))
      << downloader->GetStateText();

  // An answer whose status cannot be read is no reset.
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/garbled"),
                       std::make_unique<StringResponseWriter>(&reply)));
  EXPECT_EQ(Downloader::STATE_FAILED, downloader->state());
  EXPECT_EQ(std::string::npos, downloader->GetStateText().find("reset"))
      << downloader->GetStateText();
}

TEST_F(DownloaderTest, GivesUpAfterTheMaximumRetries) {
  base::FilePath content = MakeFile(5000);
  Serve("/package", Status(503));
  // A connection cut before the first byte counts as well.
  Serve("/cut", Cut(content, 0));
  StartServer();

  auto downloader = MakeDownloader();
  downloader->set_max_retries(2);
  base::FilePath target;
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/package"), FileWriter(&target)));
  EXPECT_EQ(1, completions_);
  EXPECT_EQ(Downloader::STATE_FAILED, downloader->state());
  EXPECT_EQ("Number of retries exceeded, last error: 503\n", downloader->GetStateText());
  // The first request and three retries.
  EXPECT_EQ(4u, server_.Requests().size());
  EXPECT_EQ(3, stats_.Count("retry "));
  // Stalls are reported from the third failure on.
  EXPECT_EQ(std::vector<int>({503, 503}), observer_.stalls());

  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/cut"), FileWriter(&target)));
  EXPECT_EQ(Downloader::STATE_FAILED, downloader->state());
  EXPECT_EQ(0u, downloader->GetStateText().find("Number of retries exceeded"));
  EXPECT_EQ(8u, server_.Requests().size());
}

TEST_F(DownloaderTest, RepliesBringingNoNewBytesAreCounted) {
  // Every reply starts over from the first byte and breaks off at the same
  // place: data arrives each time, yet the download gets no further.
  base::FilePath content = MakeFile(5000);
  Serve("/package", With(Cut(content, 1000), "range", Value("ignore")));
  StartServer();

  auto downloader = MakeDownloader();
  downloader->set_max_retries(2);
  base::FilePath target;
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/package"), FileWriter(&target)));
  EXPECT_EQ(Downloader::STATE_FAILED, downloader->state());
  EXPECT_NE(std::string::npos, downloader->GetStateText().find("Number of retries exceeded"));
  EXPECT_EQ(4u, server_.Requests().size());
}

// Absolute or relative (also when its query names an address), and of any
// length: signed addresses of download mirrors often run to kilobytes.
TEST_F(DownloaderTest, FollowsRedirectsOfEveryFormAndLength) {
  // 1,500 characters with the base (a five-digit port), and 4,000.
  const std::string long_absolute = "/target?sig=" + std::string(1500 - 34, 'a');
  const std::string long_relative = "/target?sig=" + std::string(4000 - 12, 'b');
  const std::pair<std::string, std::string> redirects[] = {
      {"/absolute", "{base}/target"},
      {"/relative", "/target?from=https://x"},
      {"/long-absolute", "{base}" + long_absolute},
      {"/long-relative", long_relative}};
  for (const auto& [route, location] : redirects)
    Serve(route, With(Value(Value::Dict()), "redirect", Value(location)));
  Serve("/target", Body("arrived"));
  StartServer();

  auto downloader = MakeDownloader();
  downloader->set_allowed_hosts({L"127.0.0.1"});
  for (const auto& [route, location] : redirects) {
    std::string reply;
    ASSERT_TRUE(Download(downloader.get(), server_.Url(base::ASCIIToWide(route)),
                         std::make_unique<StringResponseWriter>(&reply)));
    EXPECT_EQ(Downloader::STATE_COMPLETED, downloader->state())
        << route << ": " << downloader->GetStateText();
    EXPECT_EQ("arrived", reply) << route;
  }
  EXPECT_TRUE(stats_.Has("redirect " + server_.UrlUTF8("/target?from=https://x")));
  EXPECT_EQ(std::vector<std::string>({"/absolute", "/target", "/relative",
                                      "/target?from=https://x", "/long-absolute", long_absolute,
                                      "/long-relative", long_relative}),
            Paths());
}

TEST_F(DownloaderTest, RedirectedPostKeepsItsBodyExceptAfterA303) {
  Serve("/keep", With(Status(307), "redirect", Value("/kept")));
  Serve("/see-other", With(Status(303), "redirect", Value("{base}/other")));
  Serve("/kept", Body("kept"));
  Serve("/other", Body("other"));
  StartServer();

  auto downloader = MakeDownloader();
  std::string reply;
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/keep"),
                       std::make_unique<StringResponseWriter>(&reply), "stats"));
  EXPECT_EQ("kept", reply) << downloader->GetStateText();
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/see-other"),
                       std::make_unique<StringResponseWriter>(&reply), "stats"));
  EXPECT_EQ("other", reply) << downloader->GetStateText();

  std::vector<Value::Dict> requests = server_.Requests();
  ASSERT_EQ(4u, requests.size());
  EXPECT_EQ("/kept", *requests[1].FindString("target"));
  EXPECT_EQ("POST", *requests[1].FindString("method"));
  EXPECT_EQ("stats", *requests[1].FindString("body"));
  EXPECT_EQ("/other", *requests[3].FindString("target"));
  EXPECT_EQ("GET", *requests[3].FindString("method"));
}

TEST_F(DownloaderTest, ResumeAfterARedirectAsksTheFirstAddressAgain) {
  base::FilePath content = MakeFile(80000);
  Serve("/start", With(Value(Value::Dict()), "redirect", Value("/file")));
  Serve("/file", Sequence(Cut(content, 30000), FileResponse(content)));
  StartServer();

  auto downloader = MakeDownloader();
  base::FilePath target;
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/start"), FileWriter(&target)));
  EXPECT_EQ(Downloader::STATE_COMPLETED, downloader->state()) << downloader->GetStateText();
  EXPECT_TRUE(base::ContentsEqual(content, target));
  std::vector<Value::Dict> requests = server_.Requests();
  ASSERT_EQ(4u, requests.size());
  EXPECT_EQ(std::vector<std::string>({"/start", "/file", "/start", "/file"}), Paths());
  // The Range travels with the redirected request.
  EXPECT_EQ("bytes=30000-", Header(requests[3], "Range"));
}

TEST_F(DownloaderTest, RefusedRedirectOrLoopFailsOnce) {
  // The same server under another name: whatever reached it is recorded.
  Serve("/start",
        With(Value(Value::Dict()), "redirect", Value("http://localhost:{port}/elsewhere")));
  Serve("/elsewhere", Body("must not be fetched"));
  Serve("/loop", With(Value(Value::Dict()), "redirect", Value("/loop")));
  StartServer();

  auto downloader = MakeDownloader();
  downloader->set_allowed_hosts({L"127.0.0.1"});
  std::string reply;
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/start"),
                       std::make_unique<StringResponseWriter>(&reply)));
  // Whatever WinINet reports for the closed request afterwards.
  base::RunLoop().RunUntilIdle();
  EXPECT_EQ(1, completions_);
  EXPECT_EQ(Downloader::STATE_FAILED, downloader->state());
  EXPECT_EQ("Redirect URL is disallowed " + server_.UrlUTF8("/elsewhere").replace(7, 9, "localhost") +
                "\n",
            downloader->GetStateText());
  EXPECT_EQ("", reply);
  EXPECT_EQ(std::vector<std::string>({"/start"}), Paths());

  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/loop"),
                       std::make_unique<StringResponseWriter>(&reply)));
  EXPECT_EQ(Downloader::STATE_FAILED, downloader->state());
  EXPECT_EQ(0u, downloader->GetStateText().find("Too many redirects"));
  EXPECT_EQ(static_cast<size_t>(1 + Downloader::kMaxRedirects + 1), server_.Requests().size());
}

TEST_F(DownloaderTest, PostsTheBodyAndKeepsEscapesOfTheQuery) {
  Serve("/feedback", Body("thanks"));
  StartServer();

  auto downloader = MakeDownloader();
  std::string reply;
  const std::string body = "{\"a\":1,\"b\":\"x&y\"}";
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/feedback?sig=a%2Bb%26c%3D&x=1"),
                       std::make_unique<StringResponseWriter>(&reply), body));
  EXPECT_EQ(Downloader::STATE_COMPLETED, downloader->state()) << downloader->GetStateText();
  std::vector<Value::Dict> requests = server_.Requests();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("POST", *requests[0].FindString("method"));
  EXPECT_EQ(body, *requests[0].FindString("body"));
  EXPECT_EQ("/feedback?sig=a%2Bb%26c%3D&x=1", *requests[0].FindString("target"));

  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/feedback"),
                       std::make_unique<StringResponseWriter>(&reply)));
  requests = server_.Requests();
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ("GET", *requests[1].FindString("method"));
}

TEST_F(DownloaderTest, ReplyWithoutLengthCompletesAsTooLong) {
  Serve("/unsized", With(Body(std::string(3000, 'x')), "no_length", Value(true)));
  StartServer();

  auto downloader = MakeDownloader();
  std::string reply;
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/unsized"),
                       std::make_unique<StringResponseWriter>(&reply)));
  EXPECT_EQ(Downloader::STATE_COMPLETED, downloader->state()) << downloader->GetStateText();
  EXPECT_EQ(3000u, reply.size());
  EXPECT_TRUE(stats_.Has("too long 3000 0"));
}

TEST_F(DownloaderTest, ProxyCredentialsResumeTheDownloadOrEndIt) {
  Value::Dict authenticate;
  authenticate.Set("Proxy-Authenticate", "Basic realm=\"test\"");
  Serve("/proxied", Sequence(With(Status(407), "headers", Value(std::move(authenticate))),
                             Body("through")));
  Serve("/refused", Status(407));
  StartServer();

  FakeUIDelegate logged_in(ERROR_INTERNET_FORCE_RETRY);
  auto downloader = MakeDownloader(&logged_in);
  std::string reply;
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/proxied"),
                       std::make_unique<StringResponseWriter>(&reply)));
  EXPECT_EQ(1, logged_in.requests());
  EXPECT_EQ(Downloader::STATE_COMPLETED, downloader->state()) << downloader->GetStateText();
  EXPECT_EQ("through", reply);
  EXPECT_TRUE(stats_.Has("proxy login needed"));
  EXPECT_TRUE(stats_.Has("proxy login result 12032"));

  // The user cancels the prompt.
  downloader = MakeDownloader();
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/refused"),
                       std::make_unique<StringResponseWriter>(&reply)));
  EXPECT_EQ(Downloader::STATE_FAILED, downloader->state());
  EXPECT_EQ("The user cancelled the prompt for proxy credentials\n", downloader->GetStateText());
}

// The user takes their time over the proxy's prompt: that wait is no failed
// attempt's, so the run of retries after it is timed from the resume.
TEST_F(DownloaderTest, TimeOverTheProxyPromptIsNotTheRetriesTime) {
  // Answers the prompt with fresh credentials after |wait|.
  class SlowUser : public PackageFetcherUIDelegate {
   public:
    explicit SlowUser(base::TimeDelta wait) : wait_(wait) {}
    void RunUICallbackAndPostReply(UICallback ui_callback,
                                   scoped_refptr<base::SingleThreadTaskRunner> reply_runner,
                                   ReplyCallback reply_callback) override {
      reply_runner->PostDelayedTask(
          FROM_HERE,
          base::BindOnce(std::move(reply_callback), static_cast<DWORD>(ERROR_INTERNET_FORCE_RETRY)),
          wait_);
    }

   private:
    const base::TimeDelta wait_;
  };

  Value::Dict authenticate;
  authenticate.Set("Proxy-Authenticate", "Basic realm=\"test\"");
  Serve("/proxied", Sequence(With(Status(407), "headers", Value(std::move(authenticate))),
                             Status(503), Body("through")));
  StartServer();

  SlowUser user(base::TimeDelta::FromSeconds(3));
  auto downloader = MakeDownloader(&user);
  downloader->set_retry_time_limit(base::TimeDelta::FromSeconds(1));
  std::string reply;
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/proxied"),
                       std::make_unique<StringResponseWriter>(&reply)));
  EXPECT_EQ(Downloader::STATE_COMPLETED, downloader->state()) << downloader->GetStateText();
  EXPECT_EQ("through", reply);
  EXPECT_EQ(3u, server_.Requests().size());
}

TEST_F(DownloaderTest, NextDownloadStartsFromTheCompletionOfTheLast) {
  // The package fetcher starts the package download from the completion of
  // the download-address request, on the same downloader.
  base::FilePath content = MakeFile(20000);
  Serve("/address", Body("the address"));
  Serve("/package", FileResponse(content));
  StartServer();

  auto downloader = MakeDownloader();
  std::string address;
  base::FilePath target;
  std::unique_ptr<FileResponseWriter> writer = FileWriter(&target);
  base::RunLoop run_loop;
  ASSERT_TRUE(downloader->StartDownload(
      server_.Url(L"/address"), std::string(),
      base::BindOnce(
          [](Downloader* downloader, std::wstring url, std::unique_ptr<FileResponseWriter> writer,
             base::RunLoop* run_loop) {
            EXPECT_EQ(Downloader::STATE_COMPLETED, downloader->state());
            EXPECT_TRUE(downloader->StartDownload(url, std::string(), run_loop->QuitClosure(),
                                                  std::move(writer),
                                                  std::make_unique<NullDownloadStatsObserver>()));
          },
          downloader.get(), server_.Url(L"/package"), std::move(writer), &run_loop),
      std::make_unique<StringResponseWriter>(&address),
      std::make_unique<NullDownloadStatsObserver>()));
  ASSERT_TRUE(test::RunUntilQuitOrTimeout(&run_loop));
  EXPECT_EQ("the address", address);
  EXPECT_EQ(Downloader::STATE_COMPLETED, downloader->state()) << downloader->GetStateText();
  EXPECT_TRUE(base::ContentsEqual(content, target));
}

// A stopped download never completes and adds no failure line to the next
// one's, whether Stop ends it or the next start does.
TEST_F(DownloaderTest, StoppedDownloadStaysSilent) {
  Serve("/slow", With(Body("late"), "delay_ms", Value(300)));
  Serve("/fast", Body("now"));
  StartServer();

  auto downloader = MakeDownloader();
  for (bool stop : {true, false, false}) {
    std::string first;
    int stopped_completions = 0;
    ASSERT_TRUE(downloader->StartDownload(
        server_.Url(L"/slow"), std::string(),
        base::BindOnce([](int* count) { ++*count; }, &stopped_completions),
        std::make_unique<StringResponseWriter>(&first),
        std::make_unique<NullDownloadStatsObserver>()));
    if (stop) {
      downloader->Stop();
      EXPECT_EQ(Downloader::STATE_STOPPED, downloader->state());
    }
    std::string second;
    ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/fast"),
                         std::make_unique<StringResponseWriter>(&second)));
    EXPECT_EQ("now", second);
    EXPECT_EQ(0, stopped_completions);
    EXPECT_EQ("", downloader->GetStateText());
  }
}

// A start that fails has ended its download: nothing WinINet reports
// afterwards runs its completion, whose caller was told it never would.
TEST_F(DownloaderTest, RefusedStartEndsItsDownload) {
  Serve("/file", Body("first"));
  StartServer();

  auto downloader = MakeDownloader();
  downloader->set_allowed_hosts({L".velto.example", L"127.0.0.1"});
  std::string reply;
  // Tasks of an earlier download would still reach this downloader.
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/file"),
                       std::make_unique<StringResponseWriter>(&reply)));
  ASSERT_EQ(Downloader::STATE_COMPLETED, downloader->state());

  const std::pair<const wchar_t*, const char*> refused[] = {
      {L"http://evilvelto.example/x", "Domain disallowed http://evilvelto.example/x\n"},
      {L"no url at all", "Could not parse URL no url at all\n"}};
  for (const auto& [url, reason] : refused) {
    EXPECT_FALSE(Download(downloader.get(), url, std::make_unique<StringResponseWriter>(&reply)));
    for (DWORD error : {DWORD{ERROR_INTERNET_SECURITY_CHANNEL_ERROR}, DWORD{ERROR_INTERNET_TIMEOUT}}) {
      INTERNET_ASYNC_RESULT result = {0, error};
      Downloader::InternetStatusCallback(nullptr, reinterpret_cast<DWORD_PTR>(downloader.get()),
                                         INTERNET_STATUS_REQUEST_COMPLETE, &result, sizeof(result));
    }
    base::RunLoop().RunUntilIdle();
    EXPECT_EQ(0, completions_);
    EXPECT_EQ(Downloader::STATE_FAILED, downloader->state());
    EXPECT_EQ(reason, downloader->GetStateText());
  }
}

// The owner may go away in the middle of a transfer (a cancelled install):
// WinINet's threads must not reach the freed downloader, and the file is let
// go at once.
TEST_F(DownloaderTest, DestroyedMidTransfer) {
  base::FilePath content = MakeFile(2000000);
  Value::List trickle;
  trickle.Append(8192);
  trickle.Append(2);
  Serve("/slow", With(FileResponse(content), "trickle", Value(std::move(trickle))));
  Serve("/stalled", With(FileResponse(content), "stall_after", Value(100000)));
  StartServer();

  for (const wchar_t* path : {L"/slow", L"/slow", L"/slow", L"/stalled"}) {
    auto downloader = MakeDownloader();
    downloader->set_read_size(16384);
    // Under Wine a closed request lets go of a stalled read only when it times
    // out (Windows ends it at once).
    downloader->set_timeout(kTestTimeout);
    int completions = 0;
    base::FilePath target;
    ASSERT_TRUE(downloader->StartDownload(
        server_.Url(path), std::string(), base::BindOnce([](int* count) { ++*count; }, &completions),
        FileWriter(&target), std::make_unique<RecordingStatsObserver>(&stats_)));
    // WinINet's threads read and write; the loop need not run meanwhile.
    const base::TimeTicks deadline = base::TimeTicks::Now() + test::kDownloadTimeout;
    while (downloader->downloaded_size() == 0 && base::TimeTicks::Now() < deadline)
      ::Sleep(5);
    ASSERT_LT(0, downloader->downloaded_size());
    downloader.reset();
    EXPECT_TRUE(base::DeleteFile(target)) << "the download file is still held";
    base::RunLoop().RunUntilIdle();
    EXPECT_EQ(0, completions);
  }
}

// HTTPS to a server whose certificate nobody vouches for: nothing reaches it.
// (Under Wine a certificate added to the test's root store is not trusted
// either, so a successful HTTPS download cannot be shown here.)
TEST_F(DownloaderTest, RefusesAServerWithAnUntrustedCertificate) {
  base::FilePath content = MakeFile(7000);
  Serve("/package", FileResponse(content));
  Value::Dict tls;
  tls.Set("certificate_out",
          base::test::LocalPackageServer::ServerPath(folder_.Append(L"server.der")));
  Value::Dict config;
  config.Set("routes", std::move(routes_));
  config.Set("tls", std::move(tls));
  ASSERT_TRUE(server_.Start(config));
  ASSERT_EQ(0u, server_.Url(L"/").find(L"https://"));

  auto downloader = MakeDownloader();
  base::FilePath target;
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/package"), FileWriter(&target)));
  EXPECT_EQ(1, completions_);
  EXPECT_EQ(Downloader::STATE_FAILED, downloader->state());
  EXPECT_EQ("Request completed with an unexpected error: 12045\n", downloader->GetStateText());
  EXPECT_TRUE(server_.Requests().empty());
}

// The one test that waits the real retry delay.
TEST_F(DownloaderTest, RetryWaitsSixSeconds) {
  Serve("/later", Sequence(Status(503), Body("finally")));
  StartServer();

  auto downloader = std::make_unique<Downloader>(&ui_delegate_, &observer_);
  std::string reply;
  const base::TimeTicks start = base::TimeTicks::Now();
  ASSERT_TRUE(Download(downloader.get(), server_.Url(L"/later"),
                       std::make_unique<StringResponseWriter>(&reply)));
  EXPECT_GE(base::TimeTicks::Now() - start, Downloader::kDefaultRetryDelay);
  EXPECT_EQ("finally", reply);
}

}  // namespace
}  // namespace installer
