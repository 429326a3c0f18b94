#include "desktop/windows/installer/installer_ui_controller.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/functional/bind.h"
#include "base/json/json_reader.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/task/single_thread_task_runner.h"
#include "base/time/time.h"
#include "desktop/windows/installer/settings_flag.h"
#include "desktop/windows/installer/test/fake_controller_parts.h"
#include "desktop/windows/installer/test/fake_settings.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

struct ShownError {
  std::wstring text;
  bool offer_full_package;
  std::string reason;
};

// What the controller did to the window. Outlives the window, which the
// controller destroys when the UI ends.
struct WindowLog {
  std::vector<int> positions;
  std::vector<int> range_starts;
  std::vector<ShownError> errors;
  bool destroyed = false;
  InstallerWindowDelegate* delegate = nullptr;
  base::RepeatingClosure on_error;
};

class FakeWindow : public InstallerUIController::Window {
 public:
  explicit FakeWindow(WindowLog* log) : log_(log) {}
  ~FakeWindow() override { log_->destroyed = true; }
  void AddDelegate(InstallerWindowDelegate* delegate) override { log_->delegate = delegate; }
  void RemoveDelegate(InstallerWindowDelegate* delegate) override { log_->delegate = nullptr; }
  void SetProgressText(int phase) override {}
  void SetProgressRange(uint16_t start, uint16_t end, bool marquee) override {
    EXPECT_EQ(InstallerUIController::kProgressRange, end);
    log_->range_starts.push_back(start);
    log_->positions.push_back(start);
  }
  void SetProgressPos(int pos) override { log_->positions.push_back(pos); }
  void ShowError(std::wstring_view text, bool offer_full_package,
                 std::string_view reason) override {
    log_->errors.push_back({std::wstring(text), offer_full_package, std::string(reason)});
    if (log_->on_error)
      log_->on_error.Run();
  }
  void ShowMessageBox(std::wstring_view text) override {}
  HWND GetHWND() const override { return nullptr; }

 private:
  WindowLog* log_;
};

class InstallerUIControllerTest : public testing::Test {
 protected:
  void StartRun(bool with_fetcher) {
    InstallerUIController::Parts parts;
    if (with_fetcher)
      parts.fetcher = std::make_unique<FakeFetcher>(&fetcher_log_);
    parts.runner = std::make_unique<FakeRunner>(&runner_log_);
    parts.overrides_fetcher = std::make_unique<FakeOverridesFetcher>(
        defer_overrides_ ? &overrides_completion_ : nullptr);
    parts.window_factory = base::BindOnce(
        [](WindowLog* log, Settings*, std::unique_ptr<StatsScope>,
           bool) -> std::unique_ptr<InstallerUIController::Window> {
          return std::make_unique<FakeWindow>(log);
        },
        &window_log_);
    controller_.Start(&settings_, std::move(parts), false,
                      base::BindOnce([](bool* done) { *done = true; }, &done_));
  }

  // Runs the loop until the error page shows (it follows the back end's end
  // after a short delay), with a generous bound.
  void WaitForErrorPage() {
    const size_t shown = window_log_.errors.size();
    base::RunLoop run_loop;
    window_log_.on_error = run_loop.QuitClosure();
    base::MessageLoop::current()->task_runner()->PostDelayedTask(
        FROM_HERE, run_loop.QuitClosure(), base::TimeDelta::FromSeconds(30));
    run_loop.Run();
    window_log_.on_error.Reset();
    ASSERT_EQ(shown + 1, window_log_.errors.size());
  }

  void FailInstallation(int code) {
    controller_.OnError(code, L"C:\\Target", "copy failed");
    controller_.OnInstallerTerminated(false);
    WaitForErrorPage();
  }

  // Fetches the package and runs the installer steps to success.
  void FinishInstallation() {
    controller_.NotifyStatusChanged(STATUS_PACKAGE_READY);
    controller_.OnTotalSteps(10);
    for (int i = 0; i < 10; ++i)
      controller_.OnStep();
    controller_.OnSuccess();
    controller_.OnInstallerTerminated(true);
  }

  base::Value::Dict Stats() {
    std::string json;
    EXPECT_TRUE(controller_.stats()->GetJson(&json));
    std::optional<base::Value::Dict> stats = base::JSONReader::ReadDict(json);
    return stats ? std::move(*stats) : base::Value::Dict();
  }

  void ExpectMonotonicProgress() {
    for (size_t i = 1; i < window_log_.positions.size(); ++i) {
      EXPECT_LE(window_log_.positions[i - 1], window_log_.positions[i]) << "at " << i;
    }
    for (int position : window_log_.positions)
      EXPECT_LE(position, static_cast<int>(InstallerUIController::kProgressRange));
  }

  // The statistics read the process's command line when they are built.
  const int command_line_ready_ = (base::CommandLine::Init(0, nullptr), 0);
  base::MessageLoop loop_;
  FakeSettings settings_;
  WindowLog window_log_;
  FetcherLog fetcher_log_;
  RunnerLog runner_log_;
  bool done_ = false;
  bool defer_overrides_ = false;
  base::OnceClosure overrides_completion_;
  InstallerUIController controller_;
};

// Nothing could be shown or answered: the run ends at once, as a failure,
// instead of waiting for a user who has no window.
TEST_F(InstallerUIControllerTest, WindowThatCannotBeCreatedEndsTheRunAsAFailure) {
  InstallerUIController::Parts parts;
  parts.fetcher = std::make_unique<FakeFetcher>(&fetcher_log_);
  parts.runner = std::make_unique<FakeRunner>(&runner_log_);
  parts.overrides_fetcher = std::make_unique<FakeOverridesFetcher>(nullptr);
  parts.window_factory = base::BindOnce(
      [](Settings*, std::unique_ptr<StatsScope>,
         bool) -> std::unique_ptr<InstallerUIController::Window> { return nullptr; });
  controller_.Start(&settings_, std::move(parts), false,
                    base::BindOnce([](bool* done) { *done = true; }, &done_));

  EXPECT_TRUE(done_);
  EXPECT_TRUE(controller_.ui_terminated());
  EXPECT_FALSE(controller_.success());
  EXPECT_EQ(0, fetcher_log_.restarts);
  EXPECT_EQ(0, runner_log_.starts);
  const base::Value::Dict stats = Stats();
  EXPECT_EQ(0, stats.FindInt("installation_success").value_or(-1));
  const std::string* reason = stats.FindString("failure_reason");
  ASSERT_TRUE(reason);
  EXPECT_EQ("Could not initialize installer window", *reason);
}

TEST_F(InstallerUIControllerTest, DownloadAndInstallationShareOneBarThatNeverMovesBack) {
  StartRun(true);
  EXPECT_EQ(1, fetcher_log_.restarts);
  controller_.OnAccept();
  EXPECT_EQ(1, runner_log_.starts);
  ASSERT_EQ(1u, window_log_.range_starts.size());
  EXPECT_EQ(0, window_log_.range_starts[0]);

  controller_.NotifyStatusChanged(STATUS_FETCHING_DOWNLOAD_URL);
  controller_.NotifyStatusChanged(STATUS_DOWNLOADING_PACKAGE);
  controller_.SetTotalProgress(100);
  controller_.SetCurrentProgress(50);
  EXPECT_EQ(1 + 500, window_log_.positions.back());
  // A download that reports more than it announced stays within its share.
  controller_.SetCurrentProgress(400);
  EXPECT_EQ(1 + 1000, window_log_.positions.back());
  // The download fails and starts over: the bar waits where it is.
  controller_.NotifyStatusChanged(STATUS_DOWNLOAD_FAILED);
  EXPECT_EQ(1, fetcher_log_.retries);
  controller_.NotifyStatusChanged(STATUS_DOWNLOADING_PACKAGE);
  controller_.SetTotalProgress(100);
  controller_.SetCurrentProgress(10);
  controller_.SetCurrentProgress(100);
  controller_.NotifyStatusChanged(STATUS_UNPACKING);
  controller_.SetTotalProgress(4);
  controller_.SetCurrentProgress(2);
  EXPECT_EQ(1 + 1000 + 100, window_log_.positions.back());
  controller_.NotifyStatusChanged(STATUS_DOWNLOADING_ADDITIONAL_FILES);
  controller_.SetTotalProgress(7);
  controller_.SetCurrentProgress(3);
  FinishInstallation();

  EXPECT_EQ(1, runner_log_.package_ready);
  EXPECT_EQ(static_cast<int>(InstallerUIController::kProgressRange),
            window_log_.positions.back());
  ExpectMonotonicProgress();
  EXPECT_TRUE(done_);
  EXPECT_TRUE(controller_.success());
  EXPECT_TRUE(window_log_.destroyed);
  base::Value::Dict stats = Stats();
  EXPECT_EQ(1, stats.FindInt("installation_success"));
  EXPECT_FALSE(stats.Find("installation_cancelled"));
}

TEST_F(InstallerUIControllerTest, PackageReadyBeforeAcceptStartsTheBarAtTheInstallation) {
  defer_overrides_ = true;
  StartRun(true);
  controller_.NotifyStatusChanged(STATUS_FETCHING_DOWNLOAD_URL);
  controller_.NotifyStatusChanged(STATUS_DOWNLOADING_PACKAGE);
  controller_.SetTotalProgress(10);
  controller_.SetCurrentProgress(10);
  controller_.NotifyStatusChanged(STATUS_PACKAGE_READY);
  // Nothing is shown before Accept, and the back end is not told yet.
  EXPECT_TRUE(window_log_.positions.empty());
  EXPECT_EQ(0, runner_log_.package_ready);
  controller_.OnAccept();
  ASSERT_EQ(1u, window_log_.range_starts.size());
  EXPECT_EQ(1202, window_log_.range_starts[0]);
  EXPECT_EQ(0, runner_log_.package_ready);
  ASSERT_TRUE(overrides_completion_);
  std::move(overrides_completion_).Run();
  EXPECT_EQ(1, runner_log_.package_ready);
  EXPECT_EQ(5, controller_.phase());
}

TEST_F(InstallerUIControllerTest, FirstErrorNeverOffersTheFullInstallerLaterOnesDo) {
  StartRun(true);
  controller_.NotifyStatusChanged(STATUS_FETCHING_DOWNLOAD_URL);
  controller_.OnAccept();
  FailInstallation(4);
  ASSERT_EQ(1u, window_log_.errors.size());
  EXPECT_FALSE(window_log_.errors[0].offer_full_package);
  EXPECT_EQ("copy failed", window_log_.errors[0].reason);
  // String 37059 names the folder that could not be created.
  EXPECT_NE(std::wstring::npos, window_log_.errors[0].text.find(L"C:\\Target"));
  EXPECT_GE(runner_log_.stops, 1);

  controller_.OnAccept();  // Try Again.
  EXPECT_EQ(2, runner_log_.starts);
  FailInstallation(0);
  EXPECT_TRUE(window_log_.errors[1].offer_full_package);
  EXPECT_FALSE(window_log_.errors[1].text.empty());
  EXPECT_FALSE(done_);
}

TEST_F(InstallerUIControllerTest, WithoutFetcherNoErrorOffersTheFullInstaller) {
  StartRun(false);
  EXPECT_EQ(4, controller_.phase());
  controller_.OnAccept();
  FailInstallation(0);
  controller_.OnAccept();
  FailInstallation(0);
  ASSERT_EQ(2u, window_log_.errors.size());
  EXPECT_FALSE(window_log_.errors[0].offer_full_package);
  EXPECT_FALSE(window_log_.errors[1].offer_full_package);
}

TEST_F(InstallerUIControllerTest, BackendThatCannotStartShowsItsReportedError) {
  StartRun(false);
  runner_log_.start_result = false;
  controller_.OnAccept();
  ASSERT_EQ(1u, window_log_.errors.size());
  EXPECT_EQ("mutex held", window_log_.errors[0].reason);
  // Try Again once the folder is free.
  runner_log_.start_result = true;
  controller_.OnAccept();
  EXPECT_EQ(2, runner_log_.starts);
}

TEST_F(InstallerUIControllerTest, FetchGivenUpBeforeAcceptShowsNoErrorAndRestartsAtAccept) {
  fetcher_log_.allow_retry = false;
  StartRun(true);
  controller_.NotifyStatusChanged(STATUS_FETCHING_DOWNLOAD_URL);
  controller_.NotifyStatusChanged(STATUS_DOWNLOAD_FAILED);
  EXPECT_TRUE(window_log_.errors.empty());
  EXPECT_EQ(1, fetcher_log_.restarts);
  controller_.OnAccept();
  EXPECT_EQ(2, fetcher_log_.restarts);
  EXPECT_EQ(0, controller_.phase());
  // Given up again after Accept: now the user sees it.
  controller_.NotifyStatusChanged(STATUS_UNPACKING_FAILED);
  base::RunLoop().RunUntilIdle();
  EXPECT_EQ("Fetcher error", *Stats().FindString("failure_reason"));
}

TEST_F(InstallerUIControllerTest, TryAgainWithAReadyPackageNeverFetchesItAgain) {
  fetcher_log_.allow_retry = false;
  StartRun(true);
  controller_.NotifyStatusChanged(STATUS_DOWNLOAD_FAILED);
  controller_.OnAccept();
  EXPECT_EQ(2, fetcher_log_.restarts);
  controller_.NotifyStatusChanged(STATUS_PACKAGE_READY);
  EXPECT_EQ(1, runner_log_.package_ready);
  FailInstallation(8);

  controller_.OnAccept();  // Try Again.
  EXPECT_EQ(2, fetcher_log_.restarts);
  EXPECT_EQ(2, runner_log_.starts);
  EXPECT_EQ(5, controller_.phase());
  // The bar starts where the ready package put it.
  EXPECT_EQ(1303 - 100, window_log_.range_starts.back());
  controller_.OnTotalSteps(2);
  controller_.OnStep();
  controller_.OnSuccess();
  controller_.OnInstallerTerminated(true);
  EXPECT_TRUE(controller_.success());
  base::Value::Dict stats = Stats();
  EXPECT_EQ(1, stats.FindInt("installation_success"));
  // A run that succeeds in the end is not reported with its earlier failure.
  EXPECT_FALSE(stats.Find("failure_reason"));
}

TEST_F(InstallerUIControllerTest, CancelAnsweredYesEndsTheRunAndStopsTheBackEnd) {
  StartRun(true);
  controller_.OnAccept();
  const int stops = runner_log_.stops;
  window_log_.delegate->OnCancel();
  EXPECT_TRUE(done_);
  EXPECT_TRUE(window_log_.destroyed);
  // Stopping signals the back end's interrupted event and frees the mutex.
  EXPECT_EQ(stops + 1, runner_log_.stops);
  EXPECT_FALSE(controller_.success());
  base::Value::Dict stats = Stats();
  EXPECT_EQ(1, stats.FindInt("installation_cancelled"));
  EXPECT_EQ(0, stats.FindInt("installation_success"));
  // Late events of the ended back end change nothing.
  controller_.OnInstallerTerminated(true);
  EXPECT_FALSE(controller_.success());
}

TEST_F(InstallerUIControllerTest, CancelAnsweredNoLetsTheInstallationFinish) {
  StartRun(true);
  controller_.OnAccept();
  // The window asked and the user said No: the controller hears nothing.
  FinishInstallation();
  EXPECT_TRUE(controller_.success());
  base::Value::Dict stats = Stats();
  EXPECT_FALSE(stats.Find("installation_cancelled"));
  EXPECT_EQ(1, stats.FindInt("installation_success"));
}

TEST_F(InstallerUIControllerTest, ErrorPageThenCancelKeepsTheFailureInTheStatistics) {
  StartRun(true);
  controller_.OnAccept();
  controller_.OnFileCopyRetry("file_copy_retries");
  controller_.OnFileCopyRetry("file_copy_retries");
  FailInstallation(7);
  window_log_.delegate->OnCancel();
  base::Value::Dict stats = Stats();
  EXPECT_EQ("copy failed", *stats.FindString("failure_reason"));
  EXPECT_EQ(1, stats.FindInt("installation_cancelled"));
  EXPECT_EQ(0, stats.FindInt("installation_success"));
  EXPECT_EQ(2, stats.FindInt("file_copy_retries"));
  EXPECT_EQ(0, stats.FindInt("run_immediately"));
}

TEST_F(InstallerUIControllerTest, UnreportedBackEndFailureStillShowsAnError) {
  settings_.Set(UNINSTALL_FLAG, true);
  StartRun(false);
  controller_.OnAccept();
  controller_.OnInstallerTerminated(false);
  WaitForErrorPage();
  EXPECT_EQ("Unreported uninstaller error.", window_log_.errors[0].reason);
  EXPECT_EQ("Unreported uninstaller error.", *Stats().FindString("failure_reason"));
}

TEST_F(InstallerUIControllerTest, FetcherRequestWaitsForAcceptAndIsCancelledAtTheEnd) {
  StartRun(true);
  std::vector<DWORD> replies;
  int shown = 0;
  auto request = [&] {
    controller_.RunUICallbackAndPostReply(
        base::BindOnce([](int* shown, HWND) -> DWORD { return ++*shown, 7; }, &shown),
        base::MessageLoop::current()->task_runner(),
        base::BindOnce([](std::vector<DWORD>* replies, DWORD r) { replies->push_back(r); },
                       &replies));
  };
  request();
  request();  // Replaces the first, which is answered as cancelled.
  base::RunLoop().RunUntilIdle();
  EXPECT_EQ(0, shown);
  ASSERT_EQ(1u, replies.size());
  EXPECT_EQ(static_cast<DWORD>(ERROR_CANCELLED), replies[0]);
  controller_.OnAccept();
  base::RunLoop().RunUntilIdle();
  EXPECT_EQ(1, shown);
  ASSERT_EQ(2u, replies.size());
  EXPECT_EQ(7u, replies[1]);

  window_log_.delegate->OnCancel();
  request();
  base::RunLoop().RunUntilIdle();
  EXPECT_EQ(1, shown);
  ASSERT_EQ(3u, replies.size());
  EXPECT_EQ(static_cast<DWORD>(ERROR_CANCELLED), replies[2]);
}

}  // namespace
}  // namespace installer
