// Fakes of the interactive controller's fetcher, runner, overrides fetcher
// and shell, recording what the controller asked of them.

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_CONTROLLER_PARTS_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_CONTROLLER_PARTS_H_

#include <string>
#include <vector>

#include "base/functional/callback.h"
#include "desktop/windows/installer/installer_observer.h"
#include "desktop/windows/installer/installer_ui_controller.h"
#include "desktop/windows/installer/shell_launcher.h"

namespace installer {

struct FetcherLog {
  int restarts = 0;
  int retries = 0;
  bool allow_retry = true;
};

class FakeFetcher : public InstallerUIController::Fetcher {
 public:
  explicit FakeFetcher(FetcherLog* log) : log_(log) {}
  void Restart() override { ++log_->restarts; }
  bool Retry() override {
    ++log_->retries;
    return log_->allow_retry;
  }
  void SetLanguage(const std::wstring& language) override {}

 private:
  FetcherLog* log_;
};

struct RunnerLog {
  int starts = 0;
  int stops = 0;
  int package_ready = 0;
  int ends_without_report = 0;
  // The waits for the back end's end, and the stops that came before each.
  std::vector<int> stops_before_end_waits;
  bool start_result = true;
  // Whether a start that fails reports its error, as the real runner does.
  bool report_start_error = true;
  InstallerObserver* observer = nullptr;
  // Runs at every start.
  base::RepeatingClosure on_start;
};

class FakeRunner : public InstallerUIController::Runner {
 public:
  explicit FakeRunner(RunnerLog* log) : log_(log) {}
  void AddObserver(InstallerObserver* observer) override { log_->observer = observer; }
  void RemoveObserver(InstallerObserver* observer) override { log_->observer = nullptr; }
  bool StartInstallation(Settings* settings) override {
    ++log_->starts;
    if (log_->on_start)
      log_->on_start.Run();
    if (!log_->start_result && log_->report_start_error)
      log_->observer->OnError(9, std::wstring(), "mutex held");
    return log_->start_result;
  }
  void StopInstallation() override { ++log_->stops; }
  void NotifyPackageReady() override { ++log_->package_ready; }
  void LogEndWithoutReport() override { ++log_->ends_without_report; }
  void WaitForBackendEnd() override { log_->stops_before_end_waits.push_back(log_->stops); }

 private:
  RunnerLog* log_;
};

// Completes at once, or when told to; counts its starts in |starts| (may
// be null).
class FakeOverridesFetcher : public InstallerUIController::OverridesFetcher {
 public:
  explicit FakeOverridesFetcher(base::OnceClosure* deferred, int* starts = nullptr)
      : deferred_(deferred), starts_(starts) {}
  void Start(const std::string& tracking_data, base::OnceClosure completion) override {
    if (starts_)
      ++*starts_;
    if (deferred_)
      *deferred_ = std::move(completion);
    else
      std::move(completion).Run();
  }

 private:
  base::OnceClosure* deferred_;
  int* starts_;
};

// Starts nothing; keeps what it was asked to open.
class FakeShellLauncher : public ShellLauncher {
 public:
  struct Opened {
    std::wstring file;
    std::wstring parameters;
  };
  bool Open(const std::wstring& file, const std::wstring& parameters) override {
    opened.push_back({file, parameters});
    return true;
  }
  std::vector<Opened> opened;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_CONTROLLER_PARTS_H_
