#include "desktop/windows/installer/installer_ui_controller.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <thread>

#include "base/at_exit.h"
#include "base/base_paths.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/json/json_reader.h"
#include "base/message_loop/message_loop.h"
#include "base/path_service.h"
#include "base/run_loop.h"
#include "base/strings/utf_string_conversions.h"
#include "base/task/single_thread_task_runner.h"
#include "base/test/test_environment.h"
#include "base/time/time.h"
#include "desktop/windows/installer/installer_ui_lock.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/test/fake_user_token.h"
#include "desktop/windows/installer/service/test/registry_test_helpers.h"
#include "desktop/windows/installer/settings_flag.h"
#include "desktop/windows/installer/settings_observer.h"
#include "desktop/windows/installer/test/fake_controller_parts.h"
#include "desktop/windows/installer/test/fake_installation_folder_details.h"
#include "desktop/windows/installer/test/fake_settings.h"
#include "gtest/gtest.h"
#include "product_config/product_config.h"

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

// Settings that take what the controller changes: the all-users flag and a
// new install folder, whose analysis the test delivers. The default folders
// follow the mode: the machine's for all users, else the user's.
class ControllerSettings : public FakeSettings {
 public:
  void GetDefaultInstallFolder(base::FilePath* path, int kind) const override {
    path->clear();
    if ((kind & DEFAULT_FOLDER_REGISTRY) && !last_install_folder.empty())
      *path = last_install_folder;
    else if (kind & DEFAULT_FOLDER_STANDARD)
      *path = GetAllUsers() ? machine_folder : user_folder;
  }
  const InstallationFolderDetails* GetFolderDetails() const override { return &details; }
  bool IsFetchingStatus() const override { return fetching; }
  void AddObserver(SettingsObserver* added) override { observer = added; }
  void RemoveObserver(SettingsObserver* removed) override { observer = nullptr; }
  bool SetAllUsers(bool value) override {
    if (!accept_all_users)
      return false;
    Set(ALL_USERS_FLAG, value);
    return true;
  }
  void SetInstallFolder(const base::FilePath& folder) override {
    folders.push_back(folder);
    if (folder != install_path)
      fetching = true;
    if (on_folder)
      on_folder.Run();
  }
  // Delivers the analysis of the last folder set.
  void Deliver() {
    ASSERT_FALSE(folders.empty());
    install_path = folders.back();
    fetching = false;
    if (observer)
      observer->OnPathChanged();
  }

  base::FilePath last_install_folder;
  base::FilePath machine_folder{L"C:\\Program Files\\Velto"};
  base::FilePath user_folder{L"C:\\Users\\user\\AppData\\Local\\Velto"};
  FakeInstallationFolderDetails details;
  bool fetching = false;
  bool accept_all_users = true;
  SettingsObserver* observer = nullptr;
  std::vector<base::FilePath> folders;
  base::RepeatingClosure on_folder;
};

// The page the full installer is offered on.
std::wstring FullInstallerUrl() {
  return base::UTF8ToWide(ProductConfig::GetUrl("download_full_windows") + "&product=" +
                          GetProductName() + "%20" + GetStreamName() +
                          "&utm_source=netinstaller");
}

class InstallerUIControllerTest : public testing::Test {
 protected:
  // The fakes' parts, without a window.
  InstallerUIController::Parts FakeParts(bool with_fetcher) {
    InstallerUIController::Parts parts;
    if (with_fetcher)
      parts.fetcher = std::make_unique<FakeFetcher>(&fetcher_log_);
    parts.runner = std::make_unique<FakeRunner>(&runner_log_);
    parts.overrides_fetcher = std::make_unique<FakeOverridesFetcher>(
        defer_overrides_ ? &overrides_completion_ : nullptr, &overrides_starts_);
    return parts;
  }

  void StartRun(bool with_fetcher) {
    InstallerUIController::Parts parts = FakeParts(with_fetcher);
    parts.window_factory = base::BindOnce(
        [](WindowLog* log, Settings*, std::unique_ptr<StatsScope>,
           bool) -> std::unique_ptr<InstallerUIController::Window> {
          return std::make_unique<FakeWindow>(log);
        },
        &window_log_);
    controller_.Start(&settings_, std::move(parts), false,
                      base::BindOnce(
                          [](InstallerUIControllerTest* test) {
                            test->done_ = true;
                            if (test->on_done_)
                              test->on_done_.Run();
                          },
                          base::Unretained(this)));
  }

  // Runs the loop until the error page shows (it follows the back end's end
  // after a short delay), with a generous bound.
  void WaitForErrorPage() {
    const size_t shown = window_log_.errors.size();
    WaitFor(&window_log_.on_error);
    ASSERT_EQ(shown + 1, window_log_.errors.size());
  }

  // Runs the loop until |*hook| is run, with a generous bound.
  void WaitFor(base::RepeatingClosure* hook) {
    base::RunLoop run_loop;
    *hook = run_loop.QuitClosure();
    base::MessageLoop::current()->task_runner()->PostDelayedTask(
        FROM_HERE, run_loop.QuitClosure(), base::TimeDelta::FromSeconds(30));
    run_loop.Run();
    hook->Reset();
  }

  // An all-users installation whose back end could not elevate.
  void FailElevation() {
    controller_.OnError(6, std::wstring(), "Elevation failed");
    controller_.OnInstallerTerminated(false);
  }

  // Accepts an all-users installation in |folder|, which fails so.
  void RefuseElevationIn(const base::FilePath& folder, bool writable) {
    settings_.Set(ALL_USERS_FLAG, true);
    settings_.install_path = folder;
    settings_.details.write_access = writable;
    StartRun(true);
    controller_.OnAccept();
    FailElevation();
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
  ControllerSettings settings_;
  WindowLog window_log_;
  FetcherLog fetcher_log_;
  RunnerLog runner_log_;
  bool done_ = false;
  base::RepeatingClosure on_done_;
  bool defer_overrides_ = false;
  base::OnceClosure overrides_completion_;
  int overrides_starts_ = 0;
  // A standard user: an all-users installation needs elevation.
  FakeUserToken token_;
  FakeShellLauncher shell_;
  InstallerUIController controller_{&token_, &shell_};
};

// Nothing could be shown or answered: the run ends at once, as a failure,
// instead of waiting for a user who has no window.
TEST_F(InstallerUIControllerTest, WindowThatCannotBeCreatedEndsTheRunAsAFailure) {
  InstallerUIController::Parts parts = FakeParts(true);
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
  base::RunLoop().RunUntilIdle();
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

// The overrides file must be complete before the back end is told that the
// package is ready: a Try Again while the fetch still runs waits for it
// instead of starting a second one over the half-written file.
TEST_F(InstallerUIControllerTest, TryAgainDuringTheOverridesFetchWaitsForIt) {
  defer_overrides_ = true;
  StartRun(true);
  controller_.NotifyStatusChanged(STATUS_PACKAGE_READY);
  controller_.OnAccept();
  EXPECT_EQ(1, overrides_starts_);
  FailInstallation(0);

  controller_.OnAccept();  // Try Again.
  EXPECT_EQ(2, runner_log_.starts);
  EXPECT_EQ(1, overrides_starts_);
  EXPECT_EQ(0, runner_log_.package_ready);
  ASSERT_TRUE(overrides_completion_);
  std::move(overrides_completion_).Run();
  EXPECT_EQ(1, runner_log_.package_ready);
  EXPECT_EQ(5, controller_.phase());
}

TEST_F(InstallerUIControllerTest, FolderChosenDuringTheOverridesFetchGetsItsOwnFetch) {
  defer_overrides_ = true;
  settings_.details.tracking_data = "first folder";
  StartRun(true);
  controller_.NotifyStatusChanged(STATUS_PACKAGE_READY);
  controller_.OnAccept();
  FailInstallation(0);
  settings_.details.tracking_data = "second folder";
  settings_.SetInstallFolder(base::FilePath(L"D:\\Other"));
  settings_.Deliver();
  // The first fetch ends; the package waits for the second.
  std::move(overrides_completion_).Run();
  EXPECT_EQ(1, overrides_starts_);
  EXPECT_EQ(0, runner_log_.package_ready);
  controller_.OnAccept();  // Try Again.
  EXPECT_EQ(2, overrides_starts_);
  EXPECT_EQ("second folder", *Stats().FindString("tracking_data"));
  std::move(overrides_completion_).Run();
  EXPECT_EQ(1, runner_log_.package_ready);
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
  // The window that asked is still there while its call returns, then goes.
  EXPECT_FALSE(window_log_.destroyed);
  EXPECT_EQ(nullptr, window_log_.delegate);
  base::RunLoop().RunUntilIdle();
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

// A cancel stops the back end, which then rolls back in the folder the run
// fetched into and which it holds too: the run that made that folder ends,
// and removes it, only once its back end has ended.
TEST_F(InstallerUIControllerTest, CancelledRunEndsOnlyOnceItsBackEndHasEnded) {
  InstallerUIController::Parts parts = FakeParts(true);
  parts.window_factory = base::BindOnce(
      [](WindowLog* log, InstallerUIController* controller, Settings*,
         std::unique_ptr<StatsScope>, bool) -> std::unique_ptr<InstallerUIController::Window> {
        base::MessageLoop::current()->task_runner()->PostTask(
            FROM_HERE, base::BindOnce(
                           [](InstallerUIController* controller, WindowLog* log) {
                             controller->OnAccept();
                             log->delegate->OnCancel();
                           },
                           controller, log));
        return std::make_unique<FakeWindow>(log);
      },
      &window_log_, &controller_);

  EXPECT_FALSE(controller_.Run(&settings_, std::move(parts), false, nullptr));
  EXPECT_EQ(1, runner_log_.starts);
  EXPECT_TRUE(window_log_.destroyed);
  // Waited for once, after the back end was told to stop.
  ASSERT_EQ(1u, runner_log_.stops_before_end_waits.size());
  EXPECT_LE(1, runner_log_.stops_before_end_waits[0]);
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
  // The log tells how the back end ended.
  EXPECT_EQ(1, runner_log_.ends_without_report);
}

TEST_F(InstallerUIControllerTest, ReportedBackEndFailureIsNotLoggedAsUnreported) {
  StartRun(false);
  controller_.OnAccept();
  FailInstallation(8);
  EXPECT_EQ(0, runner_log_.ends_without_report);
}

// A zero exit code alone is no success (a killed back end may end with 0),
// but the success report may still be on its way through the mailslot: every
// attempt, Try Again included, waits a moment for it.
TEST_F(InstallerUIControllerTest, EveryAttemptWaitsForASuccessReportArrivingAfterTheExit) {
  StartRun(true);
  controller_.OnAccept();
  controller_.NotifyStatusChanged(STATUS_PACKAGE_READY);
  controller_.OnInstallerTerminated(true);
  EXPECT_FALSE(controller_.success());
  WaitForErrorPage();
  EXPECT_FALSE(controller_.success());
  EXPECT_EQ("Unreported installer error.", window_log_.errors[0].reason);

  controller_.OnAccept();  // Try Again.
  EXPECT_EQ(2, runner_log_.starts);
  controller_.OnInstallerTerminated(true);
  controller_.OnSuccess();
  // The run ends, one way or the other.
  base::RunLoop run_loop;
  on_done_ = run_loop.QuitClosure();
  window_log_.on_error = run_loop.QuitClosure();
  base::MessageLoop::current()->task_runner()->PostDelayedTask(
      FROM_HERE, run_loop.QuitClosure(), base::TimeDelta::FromSeconds(30));
  run_loop.Run();
  EXPECT_TRUE(done_);
  EXPECT_TRUE(controller_.success());
  EXPECT_EQ(1u, window_log_.errors.size());
  EXPECT_EQ(1, Stats().FindInt("installation_success"));
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

// Refused elevation.

TEST_F(InstallerUIControllerTest, RefusedElevationInTheDefaultFolderInstallsInTheUsersFolder) {
  // The default folder, spelled in other case.
  RefuseElevationIn(base::FilePath(L"C:\\PROGRAM FILES\\VELTO"), false);
  WaitFor(&settings_.on_folder);
  EXPECT_TRUE(window_log_.errors.empty());
  EXPECT_FALSE(settings_.GetAllUsers());
  EXPECT_EQ(std::vector<base::FilePath>{settings_.user_folder}, settings_.folders);
  // Accept waits for the new folder's analysis, then runs by itself.
  EXPECT_EQ(1, runner_log_.starts);
  settings_.Deliver();
  base::RunLoop().RunUntilIdle();
  EXPECT_EQ(2, runner_log_.starts);
  FinishInstallation();
  EXPECT_TRUE(controller_.success());
  EXPECT_TRUE(window_log_.errors.empty());
}

TEST_F(InstallerUIControllerTest, RefusedElevationInAWritableChosenFolderKeepsTheFolder) {
  RefuseElevationIn(base::FilePath(L"D:\\Apps\\Velto"), true);
  WaitFor(&runner_log_.on_start);
  EXPECT_EQ(2, runner_log_.starts);
  EXPECT_FALSE(settings_.GetAllUsers());
  EXPECT_TRUE(settings_.folders.empty());
  EXPECT_TRUE(window_log_.errors.empty());
}

TEST_F(InstallerUIControllerTest, RefusedElevationForAnAdministratorKeepsTheDefaultFolder) {
  token_ = FakeUserToken(TokenElevationTypeFull, true, true);
  settings_.last_install_folder = base::FilePath(L"E:\\Velto");
  RefuseElevationIn(settings_.last_install_folder, false);
  WaitFor(&runner_log_.on_start);
  EXPECT_FALSE(settings_.GetAllUsers());
  EXPECT_TRUE(settings_.folders.empty());
}

TEST_F(InstallerUIControllerTest, RefusedElevationInAChosenFolderWithoutRightsShowsTheError) {
  RefuseElevationIn(base::FilePath(L"D:\\Apps\\Velto"), false);
  WaitForErrorPage();
  EXPECT_EQ("Elevation failed", window_log_.errors[0].reason);
  EXPECT_FALSE(window_log_.errors[0].text.empty());
  EXPECT_TRUE(settings_.GetAllUsers());
  EXPECT_EQ(1, runner_log_.starts);
}

TEST_F(InstallerUIControllerTest, RefusedElevationOfAnUpgradeShowsTheError) {
  settings_.operation = UPGRADING;
  RefuseElevationIn(settings_.machine_folder, true);
  WaitForErrorPage();
  EXPECT_TRUE(settings_.GetAllUsers());
}

// Settings that keep the all-users flag would fail on elevation again and
// again without the user ever seeing why.
TEST_F(InstallerUIControllerTest, RefusedElevationThatCannotLeaveAllUsersShowsTheError) {
  settings_.accept_all_users = false;
  RefuseElevationIn(settings_.machine_folder, true);
  WaitForErrorPage();
  EXPECT_EQ(1, runner_log_.starts);
  EXPECT_TRUE(settings_.folders.empty());
}

TEST_F(InstallerUIControllerTest, SecondRefusedElevationAfterTheSwitchShowsTheError) {
  RefuseElevationIn(base::FilePath(L"D:\\Apps\\Velto"), true);
  WaitFor(&runner_log_.on_start);
  FailElevation();
  WaitForErrorPage();
  EXPECT_EQ(2, runner_log_.starts);
}

TEST_F(InstallerUIControllerTest, BackEndStartFailureWithoutAReportStillShowsAnError) {
  runner_log_.start_result = false;
  runner_log_.report_start_error = false;
  StartRun(false);
  controller_.OnAccept();
  ASSERT_EQ(1u, window_log_.errors.size());
  EXPECT_EQ("Unreported installer error.", window_log_.errors[0].reason);
  EXPECT_EQ("Unreported installer error.", *Stats().FindString("failure_reason"));
  // The run is not left looking under way: Try Again starts again.
  runner_log_.start_result = true;
  controller_.OnAccept();
  EXPECT_EQ(2, runner_log_.starts);
}

// The full installer.

TEST_F(InstallerUIControllerTest, GetFullInstallerOpensItsPageWithTheDefaultBrowser) {
  ScopedUserClassesRoot classes_root;
  StartRun(true);
  controller_.OnAccept();
  FailInstallation(0);
  const int stops = runner_log_.stops;
  window_log_.delegate->OnGetFullPackage();
  ASSERT_EQ(1u, shell_.opened.size());
  EXPECT_EQ(FullInstallerUrl(), shell_.opened[0].file);
  EXPECT_TRUE(shell_.opened[0].parameters.empty());
  EXPECT_TRUE(done_);
  EXPECT_FALSE(window_log_.destroyed);
  base::RunLoop().RunUntilIdle();
  EXPECT_TRUE(window_log_.destroyed);
  EXPECT_EQ(stops + 1, runner_log_.stops);
  base::Value::Dict stats = Stats();
  EXPECT_EQ(2, stats.FindInt("installation_cancelled"));
  EXPECT_EQ(0, stats.FindInt("installation_success"));
}

class FullInstallerOverHttpHandlerTest : public InstallerUIControllerTest,
                                         public testing::WithParamInterface<bool> {};

// The installation being replaced must not open the page of its replacement.
TEST_P(FullInstallerOverHttpHandlerTest, OpensThePageWithTheSystemBrowser) {
  ScopedUserClassesRoot classes_root;
  ASSERT_TRUE(classes_root.overridden());
  settings_.install_path =
      base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"velto"));
  const std::wstring program =
      GetParam() ? base::UTF8ToWide(GetBrowserExecutableName()) : std::wstring(L"launcher.exe");
  WriteString(HKEY_CURRENT_USER, L"Software\\Classes\\http\\shell\\open\\command", nullptr,
              L"\"" + settings_.install_path.Append(program).value() + L"\" -- \"%1\"");
  StartRun(true);
  window_log_.delegate->OnGetFullPackage();
  ASSERT_EQ(1u, shell_.opened.size());
  EXPECT_EQ(L"%ProgramFiles%\\Internet Explorer\\iexplore.exe", shell_.opened[0].file);
  EXPECT_EQ(FullInstallerUrl(), shell_.opened[0].parameters);
  EXPECT_EQ(2, Stats().FindInt("installation_cancelled"));
}

INSTANTIATE_TEST_SUITE_P(LauncherOrBrowser, FullInstallerOverHttpHandlerTest, testing::Bool());

TEST_F(InstallerUIControllerTest, HttpHandlerInAnotherFolderLeavesThePageToTheDefaultBrowser) {
  ScopedUserClassesRoot classes_root;
  WriteString(HKEY_CURRENT_USER, L"Software\\Classes\\http\\shell\\open\\command", nullptr,
              L"\"C:\\Other\\launcher.exe\" -- \"%1\"");
  StartRun(true);
  window_log_.delegate->OnGetFullPackage();
  ASSERT_EQ(1u, shell_.opened.size());
  EXPECT_EQ(FullInstallerUrl(), shell_.opened[0].file);
}

// The whole run, as RunInstaller makes it.

class InstallerUIControllerRunTest : public testing::Test {
 protected:
  // What the test does once the window is made.
  using WindowAction = base::OnceCallback<void(InstallerUIController*, WindowLog*)>;

  void SetUp() override {
    // The UI lock lives in the temporary folder: one of its own per test.
    temp_ = base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"ui"));
    ASSERT_TRUE(base::CreateDirectory(temp_));
    ASSERT_TRUE(base::PathService::Override(base::DIR_TEMP, temp_));
  }
  void TearDown() override { base::PathService::RemoveOverride(base::DIR_TEMP); }

  // Runs the controller to its end; without |action| no window can be made.
  bool RunUI(WindowAction action) {
    return controller_.RunUI(
        &settings_, nullptr, temp_, false,
        base::BindOnce(
            [](InstallerUIController* controller, WindowLog* log, WindowAction action,
               Settings*, std::unique_ptr<StatsScope>,
               bool) -> std::unique_ptr<InstallerUIController::Window> {
              if (!action)
                return nullptr;
              base::MessageLoop::current()->task_runner()->PostTask(
                  FROM_HERE, base::BindOnce(std::move(action), controller, log));
              return std::make_unique<FakeWindow>(log);
            },
            &controller_, &window_log_, std::move(action)),
        nullptr);
  }

  std::string Stat(const std::string& key) {
    std::string json;
    EXPECT_TRUE(controller_.stats()->GetJson(&json));
    std::optional<base::Value::Dict> stats = base::JSONReader::ReadDict(json);
    const std::string* value = stats ? stats->FindString(key) : nullptr;
    return value ? *value : std::string();
  }

  base::FilePath LockFile() const { return temp_.Append(InstallerUILock::kLockFileName); }

  const int command_line_ready_ = (base::CommandLine::Init(0, nullptr), 0);
  base::ShadowingAtExitManager at_exit_;
  base::MessageLoop loop_;
  base::FilePath temp_;
  FakeSettings settings_;
  WindowLog window_log_;
  FakeShellLauncher shell_;
  InstallerUIController controller_{nullptr, &shell_};
};

TEST_F(InstallerUIControllerRunTest, SuccessEndsTheRunWithTrueAndFreesTheLock) {
  EXPECT_TRUE(RunUI(base::BindOnce([](InstallerUIController* controller, WindowLog* log) {
    EXPECT_EQ(controller, log->delegate);
    controller->OnSuccess();
    controller->OnInstallerTerminated(true);
  })));
  EXPECT_TRUE(window_log_.destroyed);
  EXPECT_FALSE(base::PathExists(LockFile()));
}

TEST_F(InstallerUIControllerRunTest, CancelEndsTheRunWithFalse) {
  EXPECT_FALSE(RunUI(base::BindOnce(
      [](base::FilePath lock_file, InstallerUIController*, WindowLog* log) {
        // This UI holds the lock while it runs.
        EXPECT_TRUE(base::PathExists(lock_file));
        log->delegate->OnCancel();
      },
      LockFile())));
  EXPECT_TRUE(window_log_.destroyed);
  EXPECT_FALSE(base::PathExists(LockFile()));
}

TEST_F(InstallerUIControllerRunTest, WindowThatCannotBeMadeEndsTheRunWithFalse) {
  EXPECT_FALSE(RunUI(WindowAction()));
  EXPECT_EQ("Could not initialize installer window", Stat("failure_reason"));
  EXPECT_FALSE(base::PathExists(LockFile()));
}

TEST_F(InstallerUIControllerRunTest, LockHeldByAnotherUIEndsTheRunAtOnce) {
  InstallerUILock other;
  DWORD other_thread = 0;
  std::thread([&] { other_thread = other.Acquire(temp_, InstallerUILock::GetMutexName()); })
      .join();
  ASSERT_TRUE(other.held());
  ASSERT_NE(GetCurrentThreadId(), other_thread);
  bool window_made = false;
  EXPECT_FALSE(RunUI(base::BindOnce(
      [](bool* made, InstallerUIController*, WindowLog*) { *made = true; }, &window_made)));
  EXPECT_FALSE(window_made);
  EXPECT_FALSE(window_log_.destroyed);
  // Nothing was recorded: no statistics of a run that never was.
  EXPECT_EQ(std::string(), Stat("failure_reason"));
  EXPECT_TRUE(base::PathExists(LockFile()));
}

}  // namespace
}  // namespace installer
