// Helpers for tests that run real downloads (against the local package
// server, base/test/local_package_server.h) on the test's message loop.

#ifndef DESKTOP_WINDOWS_INSTALLER_WININET_TEST_DOWNLOAD_TEST_UTIL_H_
#define DESKTOP_WINDOWS_INSTALLER_WININET_TEST_DOWNLOAD_TEST_UTIL_H_

#include <memory>
#include <string>
#include <utility>

#include "base/functional/bind.h"
#include "base/location.h"
#include "base/run_loop.h"
#include "base/task/single_thread_task_runner.h"
#include "base/time/time.h"
#include "desktop/windows/installer/wininet/downloader.h"
#include "desktop/windows/installer/wininet/package_fetcher_ui_delegate.h"
#include "gtest/gtest.h"

namespace installer::test {

// Generous: a loaded machine, a Python server, Wine.
inline constexpr base::TimeDelta kDownloadTimeout = base::TimeDelta::FromSeconds(60);

// Answers every UI request with a fixed result, as a user would through the
// proxy dialog, without showing anything.
class FakeUIDelegate : public PackageFetcherUIDelegate {
 public:
  explicit FakeUIDelegate(DWORD result = ERROR_CANCELLED) : result_(result) {}
  void RunUICallbackAndPostReply(UICallback ui_callback,
                                 scoped_refptr<base::SingleThreadTaskRunner> reply_runner,
                                 ReplyCallback reply_callback) override {
    ++requests_;
    reply_runner->PostTask(FROM_HERE, base::BindOnce(std::move(reply_callback), result_));
  }
  int requests() const { return requests_; }

 private:
  const DWORD result_;
  int requests_ = 0;
};

// Runs the current loop until |run_loop| quits or the timeout passes; false
// on time-out. The time-out task outlives this call when the loop quits first:
// it holds nothing of the call's, so that running later (in a loop of a later
// wait) it changes nothing there.
inline bool RunUntilQuitOrTimeout(base::RunLoop* run_loop,
                                  base::TimeDelta timeout = kDownloadTimeout) {
  auto timed_out = std::make_shared<bool>(false);
  base::SingleThreadTaskRunner::GetCurrentDefault()->PostDelayedTask(
      FROM_HERE,
      base::BindOnce(
          [](std::shared_ptr<bool> timed_out, base::RepeatingClosure quit) {
            *timed_out = true;
            quit.Run();
          },
          timed_out, run_loop->QuitClosure()),
      timeout);
  run_loop->Run();
  return !*timed_out;
}

// Starts a download and runs the loop until it ends; a download that never
// ends fails the calling test. False when it did not start. |*completions|
// counts the completion's runs.
inline bool DownloadAndWait(Downloader* downloader,
                            const std::wstring& url,
                            std::string body,
                            std::unique_ptr<ResponseWriter> writer,
                            std::unique_ptr<DownloadStatsObserver> observer,
                            int* completions) {
  base::RunLoop run_loop;
  *completions = 0;
  if (!downloader->StartDownload(url, std::move(body),
                                 base::BindOnce(
                                     [](int* completions, base::RunLoop* run_loop) {
                                       ++*completions;
                                       run_loop->Quit();
                                     },
                                     completions, &run_loop),
                                 std::move(writer), std::move(observer))) {
    return false;
  }
  EXPECT_TRUE(RunUntilQuitOrTimeout(&run_loop)) << "The download never ended";
  return true;
}

}  // namespace installer::test

#endif  // DESKTOP_WINDOWS_INSTALLER_WININET_TEST_DOWNLOAD_TEST_UTIL_H_
