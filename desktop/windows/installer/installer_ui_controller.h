// InstallerUIController: drives an interactive installation or uninstallation.
// It owns the installer window, the package fetcher (when the package has to
// be fetched or unpacked), the installer runner that starts and watches the
// back end, the preference-default overrides fetcher and the statistics. It
// turns the fetcher's statuses and progress and the installer's events into
// one progress bar, progress texts, error pages and statistics, and decides
// when the installation really starts (Accept, or at once with
// "runimmediately"). It never changes the machine itself.
//
// Progress: the fetch and the installation share one bar made of weighted
// phases (0 download address, 1 download, 2 unpacking, 3 additional files,
// 4 package ready, 5 installer steps). The bar never moves backwards while a
// progress page is shown, even when a phase reports more than it announced or
// the fetch starts over.
//
// Errors do not end the run: they stop the back end and show the error page,
// from which Try Again accepts again. A package that is ready is never
// fetched again on Try Again: the runner launches from it. An all-users
// installation whose elevation was refused is not shown as an error when a
// current-user installation can take its place: the run switches to it and
// starts again.
//
// Everything runs on the UI thread.

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_UI_CONTROLLER_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_UI_CONTROLLER_H_

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/files/file_path.h"
#include "base/functional/callback.h"
#include "base/memory/weak_ptr.h"
#include "desktop/windows/installer/installer_observer.h"
#include "desktop/windows/installer/installer_ui_lock.h"
#include "desktop/windows/installer/settings_observer.h"
#include "desktop/windows/installer/stats_sender.h"
#include "desktop/windows/installer/ui/installer_window_delegate.h"
#include "desktop/windows/installer/wininet/package_fetcher_observer.h"
#include "desktop/windows/installer/wininet/package_fetcher_ui_delegate.h"

namespace base {
class MessagePumpDispatcher;
}

namespace installer {

class PayloadReader;
class Settings;
class ShellLauncher;
class UserToken;

class InstallerUIController : public SettingsObserver,
                              public InstallerWindowDelegate,
                              public PackageFetcherUIDelegate,
                              public PackageFetcherObserver,
                              public InstallerObserver {
 public:
  // The controller's view of the installer window (InstallerWindow).
  class Window {
   public:
    virtual ~Window() = default;
    virtual void AddDelegate(InstallerWindowDelegate* delegate) = 0;
    virtual void RemoveDelegate(InstallerWindowDelegate* delegate) = 0;
    // The progress text of progress |phase| (0 to 5).
    virtual void SetProgressText(int phase) = 0;
    // Shows the progress page with a bar from |start| to |end|.
    virtual void SetProgressRange(uint16_t start, uint16_t end, bool marquee) = 0;
    virtual void SetProgressPos(int value) = 0;
    virtual void ShowError(std::wstring_view text, bool offer_full_package,
                           std::string_view reason) = 0;
    // A standard error box; the window calls OnCancel once it is answered.
    virtual void ShowMessageBox(std::wstring_view text) = 0;
    // The owner of the dialogs the fetcher asks for.
    virtual HWND GetHWND() const = 0;
  };
  // The controller's view of the package fetcher.
  class Fetcher {
   public:
    virtual ~Fetcher() = default;
    virtual void Restart() = 0;
    // False when the retry rule refuses a further attempt.
    virtual bool Retry() = 0;
    virtual void SetLanguage(const std::wstring& language) = 0;
  };
  // The controller's view of the installer runner.
  class Runner {
   public:
    virtual ~Runner() = default;
    virtual void AddObserver(InstallerObserver* observer) = 0;
    virtual void RemoveObserver(InstallerObserver* observer) = 0;
    virtual bool StartInstallation(Settings* settings) = 0;
    virtual void StopInstallation() = 0;
    virtual void NotifyPackageReady() = 0;
    // Logs that the back end ended without reporting, with its exit code.
    virtual void LogEndWithoutReport() = 0;
    // Waits, bounded, for a launched back end to end (at once when none was).
    virtual void WaitForBackendEnd() = 0;
  };
  // The controller's view of the preference-default overrides fetcher.
  class OverridesFetcher {
   public:
    virtual ~OverridesFetcher() = default;
    virtual void Start(const std::string& tracking_data, base::OnceClosure completion) = 0;
  };
  // Makes the window; null when it cannot be created.
  using WindowFactory = base::OnceCallback<std::unique_ptr<Window>(
      Settings* settings, std::unique_ptr<StatsScope> scope, bool run_immediately)>;

  struct Parts {
    Parts();
    Parts(Parts&&);
    Parts& operator=(Parts&&);
    ~Parts();
    // Null when the package already lies unpacked beside the executable.
    std::unique_ptr<Fetcher> fetcher;
    std::unique_ptr<Runner> runner;
    std::unique_ptr<OverridesFetcher> overrides_fetcher;
    WindowFactory window_factory;
    // The payload's tracking data; empty when there is none.
    std::string tracking_data;
  };

  // Sum of the phase weights: the end of the progress bar.
  static constexpr uint32_t kProgressRange = 1303;

  // |token| (the process's when null) gives the user's rights; |shell| (the
  // real one when null) opens the full installer's page. Neither is owned.
  explicit InstallerUIController(const UserToken* token = nullptr,
                                 ShellLauncher* shell = nullptr);
  InstallerUIController(const InstallerUIController&) = delete;
  InstallerUIController& operator=(const InstallerUIController&) = delete;
  ~InstallerUIController() override;

  // Runs the interactive installer until the UI ends; the result is the
  // installation's success. |settings| must outlive the controller;
  // |payload_reader| may be null (the package lies beside the executable).
  // The run loop shows every window message to |dispatcher| (the dialog
  // dispatcher of the window's modeless dialogs; may be null).
  bool RunUI(Settings* settings, PayloadReader* payload_reader, const base::FilePath& temp_folder,
             bool run_immediately, WindowFactory window_factory,
             base::MessagePumpDispatcher* dispatcher);

  // Runs the UI with |parts| until it has ended, and then until the back end
  // it started has ended too, so that what the run made can go after it:
  // RunUI's run once it holds the UI lock.
  bool Run(Settings* settings, Parts parts, bool run_immediately,
           base::MessagePumpDispatcher* dispatcher);

  // Starts a run with |parts| on the current message loop; |done| runs once
  // the UI has ended and the statistics are sent. RunUI uses it; so do tests.
  void Start(Settings* settings, Parts parts, bool run_immediately, base::OnceClosure done);

  StatsSender* stats() { return &stats_; }
  bool success() const { return success_; }
  bool ui_terminated() const { return ui_terminated_; }
  int phase() const { return phase_; }
  int GetProgressValue() const;

  // SettingsObserver:
  void OnSettingChanged() override {}
  void OnLanguageChanged() override;
  void OnPathChanged() override;

  // InstallerWindowDelegate:
  void OnAccept() override;
  void OnCancel() override;
  void OnGetFullPackage() override;

  // PackageFetcherUIDelegate:
  void RunUICallbackAndPostReply(UICallback ui_callback,
                                 scoped_refptr<base::SingleThreadTaskRunner> reply_runner,
                                 ReplyCallback reply_callback) override;

  // PackageFetcherObserver:
  void SetTotalProgress(int total) override;
  void SetCurrentProgress(int current) override;
  void NotifyStalled(int last_error) override {}
  void NotifyStatusChanged(PackageFetcherStatus status) override;

  // InstallerObserver:
  void OnImportantEvent() override {}
  void OnStartingNewMainProcess(int process_id) override {}
  void OnReturnedToPreviousMainProcess() override {}
  void OnTotalSteps(int total_steps) override;
  void OnStep() override;
  void OnFileCopyRetry(const std::string& key) override;
  void OnError(int error_code, const std::wstring& detail, const std::string& reason) override;
  void OnSuccess() override;
  void OnInstallerTerminated(bool success) override;

 private:
  struct PendingError {
    int message_id = 0;
    std::wstring parameter;
    std::string reason;
  };

  // A fetcher request for the UI that waits for Accept.
  struct FetcherRequest {
    UICallback ui_callback;
    scoped_refptr<base::SingleThreadTaskRunner> reply_runner;
    ReplyCallback reply_callback;
  };

  void Init();
  void CancelPendingFetcherRequest();
  void ReportError(const PendingError& error);
  // Stands in for an error that a failed run never reported.
  void ReportUnreportedError();
  void HandlePendingError();
  // An all-users installation that could not elevate becomes a current-user
  // one and starts again, when its folder allows: true when it did.
  bool OfferCurrentUserInstall();
  void HandleTrackingData();
  void OnTrackingDataHandled();
  void TerminateUI();
  void DestroyClosingWindow();
  void UpdateProgress();
  void SetProgressText();
  void SetPhase(int phase);
  void DoRunUICallbackAndPostReply(UICallback ui_callback,
                                   scoped_refptr<base::SingleThreadTaskRunner> reply_runner,
                                   ReplyCallback reply_callback);

  const UserToken* token_;
  ShellLauncher* shell_;
  std::string tracking_data_;
  Settings* settings_ = nullptr;
  std::unique_ptr<FetcherRequest> pending_fetcher_request_;
  bool installation_started_ = false;
  std::unique_ptr<PendingError> pending_error_;
  int phase_ = 0;
  bool fetch_given_up_ = false;
  uint32_t total_ = 0;
  uint32_t current_ = 0;
  // The last position given to the window since the progress page was shown.
  int shown_position_ = 0;
  bool run_immediately_ = false;
  bool download_involved_ = false;
  bool error_shown_ = false;
  bool accept_while_waiting_ = false;
  bool initial_stats_written_ = false;
  bool observing_settings_ = false;
  bool success_ = false;
  // The current attempt's back end ended with exit code 0 before its
  // success report arrived.
  bool awaiting_success_report_ = false;
  // The tracking data's actions (the overrides fetch) are under way; the
  // folder whose tracking data they send was left meanwhile.
  bool handling_tracking_data_ = false;
  bool tracking_data_outdated_ = false;
  bool ui_terminated_ = false;
  InstallerUILock ui_lock_;
  StatsSender stats_;
  WindowFactory window_factory_;
  base::OnceClosure done_;
  std::unique_ptr<Window> window_;
  // The window after TerminateUI, until the call that ended the UI returns.
  std::unique_ptr<Window> closing_window_;
  std::unique_ptr<Fetcher> fetcher_;
  std::unique_ptr<Runner> runner_;
  std::unique_ptr<OverridesFetcher> overrides_fetcher_;
  base::WeakPtrFactory<InstallerUIController> weak_factory_{this};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_UI_CONTROLLER_H_
