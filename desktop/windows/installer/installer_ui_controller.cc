#include "desktop/windows/installer/installer_ui_controller.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "base/functional/bind.h"
#include "base/functional/callback_helpers.h"
#include "base/logging.h"
#include "base/message_loop/message_loop.h"
#include "base/path_service.h"
#include "base/base_paths.h"
#include "base/run_loop.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "base/task/single_thread_task_runner.h"
#include "base/time/time.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/controller_payload.h"
#include "desktop/windows/installer/installation_folder_details.h"
#include "desktop/windows/installer/installer_runner.h"
#include "desktop/windows/installer/package_fetcher/package_fetcher.h"
#include "desktop/windows/installer/package_fetcher/payload_reader.h"
#include "desktop/windows/installer/pref_default_overrides_fetcher.h"
#include "desktop/windows/installer/service/folder_installation.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/settings_flag.h"
#include "desktop/windows/installer/shell_launcher_impl.h"
#include "desktop/windows/installer/stats_scope.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"
#include "features/features.h"
#include "features/installer_features.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

// Weights of the progress phases; they sum to kProgressRange.
constexpr uint32_t kPhaseWeights[] = {1, 1000, 200, 1, 1, 100};
constexpr int kPhaseCount = 6;
constexpr int kPackageReadyPhase = 4;
constexpr int kInstallingPhase = 5;
// How long a back end that ended with exit code 0 is given for its success
// report to arrive before the run counts as failed.
constexpr base::TimeDelta kSuccessReportDelay = base::TimeDelta::FromSeconds(1);

// Installer messages.
constexpr int kFullInstallerButton = 37049;
constexpr int kFetcherDownloadFailed = 37053;
constexpr int kFetcherUnpackingFailed = 37054;
constexpr int kOldWindows = 37064;
constexpr int kNoSse2 = 37065;
constexpr int kElevationFailed = 37061;

// Opens the full installer's page when the http handler is the installation
// about to be replaced.
constexpr wchar_t kSystemBrowser[] = L"%ProgramFiles%\\Internet Explorer\\iexplore.exe";

// The message of an installer error category.
int GetErrorMessageId(int error_code) {
  switch (error_code) {
    case 0: return 37055;
    case 1: return 37056;
    case 2: return 37058;
    case 4: return 37059;
    case 5: return 37060;
    case 6: return kElevationFailed;
    case 7: return 37063;
    case 8: return 37062;
    case 9:
    case 10: return 37057;
    default: return 0;
  }
}

class FetcherImpl : public InstallerUIController::Fetcher {
 public:
  explicit FetcherImpl(std::unique_ptr<PackageFetcher> fetcher) : fetcher_(std::move(fetcher)) {}
  void Restart() override { fetcher_->Restart(); }
  bool Retry() override { return fetcher_->Retry(); }
  void SetLanguage(const std::wstring& language) override { fetcher_->SetLanguage(language); }

 private:
  std::unique_ptr<PackageFetcher> fetcher_;
};

class RunnerImpl : public InstallerUIController::Runner {
 public:
  RunnerImpl(const base::FilePath& package_folder, const base::FilePath& suite_folder)
      : runner_(package_folder, suite_folder) {}
  void AddObserver(InstallerObserver* observer) override { runner_.AddObserver(observer); }
  void RemoveObserver(InstallerObserver* observer) override { runner_.RemoveObserver(observer); }
  bool StartInstallation(Settings* settings) override {
    return runner_.StartInstallation(settings);
  }
  void StopInstallation() override { runner_.StopInstallation(); }
  void NotifyPackageReady() override { runner_.NotifyPackageReady(); }
  void LogEndWithoutReport() override { runner_.LogEndWithoutReport(); }
  void WaitForBackendEnd() override { runner_.WaitForBackendEnd(); }

 private:
  InstallerRunner runner_;
};

class OverridesFetcherImpl : public InstallerUIController::OverridesFetcher {
 public:
  OverridesFetcherImpl(const base::FilePath& folder, PackageFetcherUIDelegate* ui_delegate)
      : fetcher_(folder, ui_delegate) {}
  void Start(const std::string& tracking_data, base::OnceClosure completion) override {
    fetcher_.Start(tracking_data, std::move(completion));
  }

 private:
  PrefDefaultOverridesFetcher fetcher_;
};

}  // namespace

InstallerUIController::Parts::Parts() = default;
InstallerUIController::Parts::Parts(Parts&&) = default;
InstallerUIController::Parts& InstallerUIController::Parts::operator=(Parts&&) = default;
InstallerUIController::Parts::~Parts() = default;

InstallerUIController::InstallerUIController(const UserToken* token, ShellLauncher* shell)
    : token_(token), shell_(shell ? shell : ShellLauncherImpl::GetInstance()), stats_(this) {}

InstallerUIController::~InstallerUIController() {
  if (runner_)
    runner_->RemoveObserver(this);
  if (settings_ && observing_settings_)
    settings_->RemoveObserver(this);
  overrides_fetcher_.reset();
  runner_.reset();
  fetcher_.reset();
  if (window_)
    window_->RemoveDelegate(this);
  window_.reset();
  closing_window_.reset();
  CancelPendingFetcherRequest();
}

bool InstallerUIController::RunUI(Settings* settings, PayloadReader* payload_reader,
                                  const base::FilePath& temp_folder, bool run_immediately,
                                  WindowFactory window_factory,
                                  base::MessagePumpDispatcher* dispatcher) {
  base::FilePath lock_folder;
  base::PathService::Get(base::DIR_TEMP, &lock_folder);
  const DWORD lock_owner = ui_lock_.Acquire(lock_folder, InstallerUILock::GetMutexName());
  if (lock_owner != 0 && lock_owner != GetCurrentThreadId()) {
    LOG(INFO) << "Another instance of the installer UI is running. Switching to it";
    EnumThreadWindows(
        lock_owner,
        [](HWND window, LPARAM) -> BOOL {
          if (!IsWindowEnabled(window) || !IsWindowVisible(window))
            return TRUE;
          SetForegroundWindow(window);
          return FALSE;
        },
        0);
    return false;
  }

  Parts parts;
  parts.window_factory = std::move(window_factory);
  if (payload_reader) {
    parts.tracking_data = ControllerPayload::ReadTrackingData(*payload_reader, stats_.root_scope());
    std::unique_ptr<PackageFetcher> fetcher = ControllerPayload::CreateFetcher(
        payload_reader, temp_folder, *settings, stats_.root_scope(), this, this);
    parts.runner =
        std::make_unique<RunnerImpl>(fetcher->package_folder(), fetcher->suite_folder());
    parts.overrides_fetcher =
        std::make_unique<OverridesFetcherImpl>(fetcher->package_folder(), this);
    parts.fetcher = std::make_unique<FetcherImpl>(std::move(fetcher));
  } else {
    const base::FilePath package_folder = ControllerPayload::GetOwnPackageFolder();
    parts.runner = std::make_unique<RunnerImpl>(package_folder, base::FilePath());
    parts.overrides_fetcher = std::make_unique<OverridesFetcherImpl>(package_folder, this);
  }
  return Run(settings, std::move(parts), run_immediately, dispatcher);
}

bool InstallerUIController::Run(Settings* settings, Parts parts, bool run_immediately,
                                base::MessagePumpDispatcher* dispatcher) {
  base::RunLoop run_loop(dispatcher);
  base::MessageLoop::current()->task_runner()->PostTask(
      FROM_HERE, base::BindOnce(&InstallerUIController::Start, weak_factory_.GetWeakPtr(),
                                settings, std::move(parts), run_immediately,
                                base::OnceClosure(run_loop.QuitClosure())));
  run_loop.Run();
  // The loop may have quit before the closed window's destruction came up.
  DestroyClosingWindow();
  LOG(INFO) << "Controller exiting";
  // A cancelled back end still rolls back after the window has gone, in the
  // folder this run fetched into, which it holds too: the run ends with it.
  if (runner_)
    runner_->WaitForBackendEnd();
  return success_;
}

void InstallerUIController::Start(Settings* settings, Parts parts, bool run_immediately,
                                  base::OnceClosure done) {
  settings_ = settings;
  run_immediately_ = run_immediately;
  done_ = std::move(done);
  tracking_data_ = std::move(parts.tracking_data);
  window_factory_ = std::move(parts.window_factory);
  fetcher_ = std::move(parts.fetcher);
  runner_ = std::move(parts.runner);
  overrides_fetcher_ = std::move(parts.overrides_fetcher);
  if (!fetcher_)
    phase_ = kPackageReadyPhase;
  Init();
}

void InstallerUIController::Init() {
  LOG(INFO) << "Initializing installer UI";
  settings_->AddObserver(this);
  observing_settings_ = true;
  runner_->AddObserver(this);

  if (window_factory_)
    window_ = std::move(window_factory_).Run(settings_, stats_.root_scope()->Clone(),
                                              run_immediately_);
  if (!window_) {
    const std::string reason = "Could not initialize installer window";
    OnError(0, std::wstring(), reason);
    LOG(ERROR) << reason;
    // Nothing can be shown or answered: end the run rather than wait forever.
    TerminateUI();
    return;
  }
  window_->AddDelegate(this);
  window_->SetProgressText(phase_);

  if (!IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE)) {
    LOG(ERROR) << "SSE2 not supported by the computer";
    window_->ShowMessageBox(GetLocalizedString(kNoSse2));
    return;
  }

  if (fetcher_) {
    VLOG(1) << "Starting the package fetcher";
    fetcher_->Restart();
  }
  if (!settings_->IsFetchingStatus()) {
    initial_stats_written_ = true;
    settings_->WriteStats("ui.initial_", stats_.root_scope());
  }
  stats_.root_scope()->SetInteger("run_immediately", run_immediately_ ? 1 : 0);
  if (run_immediately_ && !settings_->IsFetchingStatus()) {
    LOG(INFO) << "runimmediately set and status already fetched.";
    base::MessageLoop::current()->task_runner()->PostTask(
        FROM_HERE, base::BindOnce(&InstallerUIController::OnAccept, weak_factory_.GetWeakPtr()));
  }
}

void InstallerUIController::OnLanguageChanged() {
  if (fetcher_ && IsFeatureEnabled(kInstallerUseMinimalPackageFeature))
    fetcher_->SetLanguage(settings_->GetInstallLanguage());
}

void InstallerUIController::OnPathChanged() {
  VLOG(2) << "New status obtained";
  if (phase_ == kInstallingPhase && tracking_data_.empty()) {
    VLOG(2) << "Need to handle tracking data from new path";
    phase_ = kPackageReadyPhase;
  }
  // The fetch under way sends the tracking data of the folder left behind.
  if (handling_tracking_data_ && tracking_data_.empty())
    tracking_data_outdated_ = true;
  if (run_immediately_ || accept_while_waiting_) {
    VLOG(1) << "runimmediately set or Accept already clicked";
    accept_while_waiting_ = false;
    base::MessageLoop::current()->task_runner()->PostTask(
        FROM_HERE, base::BindOnce(&InstallerUIController::OnAccept, weak_factory_.GetWeakPtr()));
  }
  if (!initial_stats_written_) {
    settings_->WriteStats("ui.initial_", stats_.root_scope());
    initial_stats_written_ = true;
  }
}

void InstallerUIController::OnAccept() {
  LOG(INFO) << "Accept clicked.";
  if (ui_terminated_)
    return;
  if (installation_started_) {
    LOG(WARNING) << "Installation already in progress.";
    return;
  }
  if (settings_->IsFetchingStatus()) {
    VLOG(1) << "Still waiting for status";
    accept_while_waiting_ = true;
    return;
  }
  if (phase_ == kPackageReadyPhase) {
    VLOG(1) << "Tracking data is ready for handling";
    HandleTrackingData();
  }
  if (observing_settings_) {
    settings_->RemoveObserver(this);
    observing_settings_ = false;
  }
  settings_->WriteStats("", stats_.root_scope());

  if (base::win::GetVersion() < base::win::VERSION_WIN7) {
    error_shown_ = true;
    window_->ShowError(GetLocalizedStringF(kOldWindows, GetLocalizedString(kFullInstallerButton)),
                       true,
                       "This version of Velto doesn't support windows versions prior to Windows 7");
    return;
  }

  installation_started_ = true;
  if (pending_error_) {
    VLOG(1) << "An error is pending. Show it first.";
    HandlePendingError();
    return;
  }
  if (!runner_->StartInstallation(settings_)) {
    VLOG(1) << "Failed to run the backend. Show whatever error was reported";
    HandlePendingError();
    return;
  }
  if (pending_fetcher_request_) {
    VLOG(1) << "Running pending fetcher callback.";
    std::unique_ptr<FetcherRequest> request = std::move(pending_fetcher_request_);
    DoRunUICallbackAndPostReply(std::move(request->ui_callback), std::move(request->reply_runner),
                                std::move(request->reply_callback));
  }
  // A package that is ready (or being handled) is never fetched again: the
  // runner launches from its folder.
  if (fetch_given_up_ && fetcher_ && phase_ < kPackageReadyPhase) {
    VLOG(1) << "Restarting fetching after background tries failed.";
    fetch_given_up_ = false;
    SetPhase(0);
    fetcher_->Restart();
  }
  if (!window_)
    return;
  shown_position_ = GetProgressValue();
  window_->SetProgressRange(static_cast<uint16_t>(shown_position_),
                            static_cast<uint16_t>(kProgressRange), false);
  window_->SetProgressText(phase_);
}

void InstallerUIController::OnCancel() {
  stats_.root_scope()->SetInteger("installation_cancelled", 1);
  TerminateUI();
}

void InstallerUIController::OnGetFullPackage() {
  LOG(INFO) << "Obtaining full package";
  const std::wstring url = base::UTF8ToWide(
      ProductConfig::GetUrl("download_full_windows") +
      base::StringPrintf("&product=%s%%20%s&utm_source=netinstaller", GetProductName().c_str(),
                         GetStreamName().c_str()));
  // When the installation about to be overwritten is the default browser,
  // the default would start the very browser being replaced: the system's
  // own browser opens the page instead.
  FolderInstallation installation(settings_->GetInstallPath());
  if (installation.IsRegisteredHandler(L"http", true) ||
      installation.IsRegisteredHandler(L"http", false)) {
    VLOG(1) << "Downloading full package with IE";
    shell_->Open(kSystemBrowser, url);
  } else {
    VLOG(1) << "Downloading full package with default browser";
    shell_->Open(url, std::wstring());
  }
  stats_.root_scope()->SetInteger("installation_cancelled", 2);
  TerminateUI();
}

void InstallerUIController::RunUICallbackAndPostReply(
    UICallback ui_callback, scoped_refptr<base::SingleThreadTaskRunner> reply_runner,
    ReplyCallback reply_callback) {
  LOG(INFO) << "Obtained UI callback request from fetcher";
  if (ui_terminated_) {
    VLOG(1) << "UI has been terminated already.";
    reply_runner->PostTask(FROM_HERE,
                           base::BindOnce(std::move(reply_callback), DWORD{ERROR_CANCELLED}));
    return;
  }
  if (installation_started_ && !pending_error_) {
    VLOG(1) << "Run the callback at once.";
    DoRunUICallbackAndPostReply(std::move(ui_callback), std::move(reply_runner),
                                std::move(reply_callback));
    return;
  }
  VLOG(1) << "Store callback information for later.";
  // A replaced request is answered as cancelled, so that its sender never
  // waits forever.
  CancelPendingFetcherRequest();
  pending_fetcher_request_ = std::make_unique<FetcherRequest>();
  pending_fetcher_request_->ui_callback = std::move(ui_callback);
  pending_fetcher_request_->reply_runner = std::move(reply_runner);
  pending_fetcher_request_->reply_callback = std::move(reply_callback);
}

void InstallerUIController::CancelPendingFetcherRequest() {
  if (!pending_fetcher_request_)
    return;
  std::unique_ptr<FetcherRequest> request = std::move(pending_fetcher_request_);
  request->reply_runner->PostTask(
      FROM_HERE, base::BindOnce(std::move(request->reply_callback), DWORD{ERROR_CANCELLED}));
}

void InstallerUIController::DoRunUICallbackAndPostReply(
    UICallback ui_callback, scoped_refptr<base::SingleThreadTaskRunner> reply_runner,
    ReplyCallback reply_callback) {
  const DWORD result = std::move(ui_callback).Run(window_ ? window_->GetHWND() : nullptr);
  reply_runner->PostTask(FROM_HERE, base::BindOnce(std::move(reply_callback), result));
}

void InstallerUIController::SetTotalProgress(int total) {
  total_ = phase_ == 3 || total < 0 ? 0 : static_cast<uint32_t>(total);
  current_ = 0;
}

void InstallerUIController::SetCurrentProgress(int current) {
  if (total_ == 0)
    return;
  current_ = current < 0 ? 0 : static_cast<uint32_t>(current);
  UpdateProgress();
}

void InstallerUIController::NotifyStatusChanged(PackageFetcherStatus status) {
  switch (status) {
    case STATUS_FETCHING_DOWNLOAD_URL:
      VLOG(2) << "Package will be downloaded.";
      download_involved_ = true;
      SetPhase(0);
      break;
    case STATUS_DOWNLOADING_PACKAGE:
      SetPhase(1);
      break;
    case STATUS_UNPACKING:
    case STATUS_DOWNLOADING_ADDITIONAL_FILES:
      SetPhase(status == STATUS_UNPACKING ? 2 : 3);
      if (window_ && installation_started_)
        window_->SetProgressText(phase_);
      return;
    case STATUS_PACKAGE_READY:
      VLOG(1) << "Package fetched successfully.";
      fetch_given_up_ = false;
      SetPhase(kPackageReadyPhase);
      if (installation_started_) {
        VLOG(2) << "Got tracking data from status.";
        HandleTrackingData();
      }
      break;
    case STATUS_INITIALIZATION_FAILED:
    case STATUS_DOWNLOAD_FAILED:
    case STATUS_UNPACKING_FAILED:
      VLOG(1) << "Package fetcher failed.";
      if (fetcher_ && fetcher_->Retry()) {
        SetPhase(0);
      } else {
        fetch_given_up_ = true;
        if (installation_started_) {
          VLOG(1) << "Reporting fetcher error.";
          stats_.root_scope()->SetString("failure_reason", "Fetcher error");
          PendingError error;
          error.message_id =
              status == STATUS_UNPACKING_FAILED ? kFetcherUnpackingFailed : kFetcherDownloadFailed;
          error.reason = "Fetcher error";
          ReportError(error);
        } else {
          LOG(WARNING) << "Exceeded maximum number of fetcher retries, we won't retry until "
                          "user decides to.";
        }
      }
      break;
    default:
      break;
  }
  if (window_ && installation_started_)
    window_->SetProgressText(phase_);
}

void InstallerUIController::HandleTrackingData() {
  // One fetch of the overrides at a time: the package is ready only once
  // its file is complete.
  if (handling_tracking_data_)
    return;
  handling_tracking_data_ = true;
  ControllerPayload::HandleTrackingData(
      tracking_data_, *settings_, stats_.root_scope(),
      base::BindOnce(&OverridesFetcher::Start, base::Unretained(overrides_fetcher_.get())),
      base::BindOnce(&InstallerUIController::OnTrackingDataHandled, weak_factory_.GetWeakPtr()));
}

void InstallerUIController::OnTrackingDataHandled() {
  handling_tracking_data_ = false;
  if (tracking_data_outdated_) {
    // Handled again for the folder now chosen: at once when the installation
    // waits for it, else at Accept.
    tracking_data_outdated_ = false;
    if (installation_started_)
      HandleTrackingData();
    return;
  }
  VLOG(2) << "Tracking data actions done: package complete.";
  SetPhase(kInstallingPhase);
  runner_->NotifyPackageReady();
  if (window_ && installation_started_) {
    VLOG(2) << "Notifying installation phase change.";
    window_->SetProgressText(phase_);
  }
}

void InstallerUIController::SetPhase(int phase) {
  // The units of a fetch phase belong to it alone: stale ones would put a new
  // phase at its end before it starts. The installer's steps may be announced
  // before the package is complete, so they are kept.
  if (phase != phase_ && phase < kInstallingPhase) {
    total_ = 0;
    current_ = 0;
  }
  phase_ = phase;
}

int InstallerUIController::GetProgressValue() const {
  uint32_t value = 0;
  for (int i = 0; i < phase_ && i < kPhaseCount; ++i)
    value += kPhaseWeights[i];
  if (total_ != 0 && phase_ < kPhaseCount) {
    // A phase never reports beyond its own share of the bar.
    const float ratio = std::min(1.0f, static_cast<float>(current_) / static_cast<float>(total_));
    value += static_cast<uint32_t>(kPhaseWeights[phase_] * ratio);
  }
  return static_cast<int>(value);
}

void InstallerUIController::UpdateProgress() {
  if (!installation_started_ || !window_)
    return;
  VLOG(2) << "Updating installation progress";
  // A fetch that starts over must not drag the bar back: it stays until the
  // new attempt passes it.
  shown_position_ = std::max(shown_position_, GetProgressValue());
  window_->SetProgressPos(shown_position_);
}

void InstallerUIController::OnTotalSteps(int total_steps) {
  total_ = total_steps < 0 ? 0 : static_cast<uint32_t>(total_steps);
  current_ = 1;
}

void InstallerUIController::OnStep() {
  ++current_;
  UpdateProgress();
}

void InstallerUIController::OnFileCopyRetry(const std::string& key) {
  stats_.root_scope()->Increment(key);
}

void InstallerUIController::OnError(int error_code, const std::wstring& detail,
                                    const std::string& reason) {
  stats_.root_scope()->SetString("failure_reason", reason);
  PendingError error;
  error.message_id = GetErrorMessageId(error_code);
  error.parameter = detail;
  error.reason = reason;
  ReportError(error);
}

void InstallerUIController::OnSuccess() {
  VLOG(1) << "Installer success reported";
  success_ = true;
}

void InstallerUIController::ReportError(const PendingError& error) {
  VLOG(1) << "Reporting error " << error.message_id;
  pending_error_ = std::make_unique<PendingError>(error);
  runner_->StopInstallation();
}

void InstallerUIController::OnInstallerTerminated(bool success) {
  VLOG(1) << "Installer termination reported";
  if (ui_terminated_) {
    VLOG(2) << "UI already terminated";
    return;
  }
  // A zero exit code alone is no success: a back end that was killed may end
  // with one (Wine gives 0 to a process that died of a signal). Only a back
  // end that also reported success succeeded; its report may still be on its
  // way through the mailslot, so it gets a moment to arrive.
  if (success && !success_) {
    if (!awaiting_success_report_) {
      awaiting_success_report_ = true;
      base::MessageLoop::current()->task_runner()->PostDelayedTask(
          FROM_HERE,
          base::BindOnce(&InstallerUIController::OnInstallerTerminated,
                         weak_factory_.GetWeakPtr(), true),
          kSuccessReportDelay);
      return;
    }
    VLOG(1) << "Installer ended without reporting success";
    success = false;
  }
  // This attempt is judged: a Try Again waits for its own report.
  awaiting_success_report_ = false;
  success_ = success;
  if (success) {
    VLOG(1) << "Installer terminated successfully. Finishing.";
    current_ = total_;
    UpdateProgress();
    TerminateUI();
    return;
  }
  if (!pending_error_) {
    runner_->LogEndWithoutReport();
    ReportUnreportedError();
  }
  // Later, so that the back end's last messages arrive first.
  base::MessageLoop::current()->task_runner()->PostDelayedTask(
      FROM_HERE,
      base::BindOnce(&InstallerUIController::HandlePendingError, weak_factory_.GetWeakPtr()),
      base::TimeDelta::FromMilliseconds(100));
}

void InstallerUIController::ReportUnreportedError() {
  const bool uninstall = settings_->GetUninstall();
  const std::string reason =
      uninstall ? "Unreported uninstaller error." : "Unreported installer error.";
  OnError(uninstall ? 1 : 0, std::wstring(), reason);
  LOG(ERROR) << reason;
}

void InstallerUIController::HandlePendingError() {
  LOG(INFO) << "Handling pending error";
  if (ui_terminated_)
    return;
  installation_started_ = false;
  settings_->SetEditable(true);
  if (!observing_settings_) {
    settings_->AddObserver(this);
    observing_settings_ = true;
  }
  // A failure that reported nothing still ends on an error page, so that the
  // user can try again instead of facing a run that looks under way.
  if (!pending_error_)
    ReportUnreportedError();
  if (OfferCurrentUserInstall())
    return;
  // The full installer is offered only after a first error, and only when the
  // trouble may lie in the fetched package.
  const bool offer_full_package =
      error_shown_ && fetcher_ && (phase_ <= 2 || download_involved_);
  error_shown_ = true;
  const std::wstring text =
      pending_error_->message_id
          ? GetLocalizedStringF(pending_error_->message_id, pending_error_->parameter)
          : std::wstring();
  const std::string reason = pending_error_->reason;
  pending_error_.reset();
  if (window_)
    window_->ShowError(text, offer_full_package, reason);
}

bool InstallerUIController::OfferCurrentUserInstall() {
  if (pending_error_->message_id != kElevationFailed || settings_->GetOperation() != INSTALLING ||
      !settings_->GetAllUsers()) {
    return false;
  }
  base::FilePath default_folder;
  settings_->GetDefaultInstallFolder(&default_folder,
                                     DEFAULT_FOLDER_REGISTRY | DEFAULT_FOLDER_STANDARD);
  const bool default_path = base::FilePath::CompareEqualIgnoreCase(
      settings_->GetInstallPath().value(), default_folder.value());
  const InstallationFolderDetails* details = settings_->GetFolderDetails();
  const bool writable = details && details->HasWriteAccess();
  if (!default_path && !writable)
    return false;
  LOG(INFO) << "Offering the user to switch to a Current User install";
  // Settings that keep the all-users flag would fail the same way again and
  // again: such a run shows the error instead.
  if (!settings_->SetAllUsers(false)) {
    LOG(WARNING) << "Could not switch to a Current User install";
    return false;
  }
  const bool needs_elevation =
      token_ ? NeedsElevation(*token_, false, writable) : NeedsElevation(false, writable);
  if (default_path && needs_elevation) {
    base::FilePath user_folder;
    settings_->GetDefaultInstallFolder(&user_folder, DEFAULT_FOLDER_STANDARD);
    settings_->SetInstallFolder(user_folder);
  }
  pending_error_.reset();
  OnAccept();
  return true;
}

void InstallerUIController::DestroyClosingWindow() {
  closing_window_.reset();
}

void InstallerUIController::TerminateUI() {
  LOG(INFO) << "Terminating the UI";
  if (ui_terminated_) {
    VLOG(2) << "Installer UI already terminated";
    return;
  }
  ui_terminated_ = true;
  if (window_) {
    window_->RemoveDelegate(this);
    // The end is mostly asked for by the window itself (Cancel, the full
    // installer, its message box), which must not be destroyed while its
    // call is still running: it goes as soon as that call has returned.
    closing_window_ = std::move(window_);
    base::MessageLoop::current()->task_runner()->PostTask(
        FROM_HERE, base::BindOnce(&InstallerUIController::DestroyClosingWindow,
                                  weak_factory_.GetWeakPtr()));
  }
  runner_->StopInstallation();
  fetcher_.reset();
  ui_lock_.Release();
  CancelPendingFetcherRequest();
  stats_.root_scope()->SetInteger("installation_success", success_ ? 1 : 0);
  if (success_)
    stats_.root_scope()->Remove("failure_reason");
  base::OnceClosure done = std::move(done_);
  if (!done)
    done = base::OnceClosure(base::DoNothing());
  if (settings_->GetEnableInstallerStats() && !settings_->GetAutoupdate()) {
    LOG(INFO) << "Sending stats";
    stats_.Send(std::move(done), download_involved_);
  } else {
    LOG(INFO) << "Not sending stats";
    std::move(done).Run();
  }
}

}  // namespace installer
