#include "desktop/windows/installer/silent_installer_controller.h"

#include <windows.h>

#include "base/command_line.h"
#include "base/files/file_enumerator.h"
#include "base/functional/bind.h"
#include "base/logging.h"
#include "base/message_loop/message_loop.h"
#include "base/task/single_thread_task_runner.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/controller_payload.h"
#include "desktop/windows/installer/installation_folder_details.h"
#include "desktop/windows/installer/installer_runner.h"
#include "desktop/windows/installer/package_fetcher/package_fetcher.h"
#include "desktop/windows/installer/pref_default_overrides_fetcher.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/settings_flag.h"
#include "desktop/windows/installer/stats_scope.h"
#include "desktop/windows/installer/steps/installer_step.h"

namespace installer {

namespace {

// Lets the back end's last messages arrive before the run ends.
constexpr base::TimeDelta kTerminateDelay = base::TimeDelta::FromSeconds(1);

}  // namespace

SilentInstallerController::SilentInstallerController(const base::CommandLine* command_line,
                                                     const UserToken* token)
    : command_line_(command_line ? command_line : base::CommandLine::ForCurrentProcess()),
      token_(token),
      stats_(this) {}

SilentInstallerController::~SilentInstallerController() {
  if (observing_settings_)
    settings_->RemoveObserver(this);
  overrides_fetcher_.reset();
  runner_.reset();
}

bool SilentInstallerController::Run(Settings* settings, PayloadReader* payload_reader,
                                    const base::FilePath& temp_folder) {
  settings_ = settings;
  settings_->AddObserver(this);
  observing_settings_ = true;
  if (payload_reader) {
    tracking_data_ = ControllerPayload::ReadTrackingData(*payload_reader, stats_.root_scope());
    fetcher_ = ControllerPayload::CreateFetcher(payload_reader, temp_folder, *settings_,
                                                stats_.root_scope(), this, this);
    fetcher_->Restart();
    runner_ = std::make_unique<InstallerRunner>(fetcher_->package_folder(),
                                                fetcher_->suite_folder());
    overrides_fetcher_ =
        std::make_unique<PrefDefaultOverridesFetcher>(fetcher_->package_folder(), this);
  } else {
    const base::FilePath package_folder = ControllerPayload::GetOwnPackageFolder();
    runner_ = std::make_unique<InstallerRunner>(package_folder, base::FilePath());
    package_complete_ = true;
    overrides_fetcher_ = std::make_unique<PrefDefaultOverridesFetcher>(package_folder, this);
  }
  runner_->AddObserver(this);
  if (!settings_->IsFetchingStatus()) {
    VLOG(1) << "Settings already obtained. Starting.";
    base::MessageLoop::current()->task_runner()->PostTask(
        FROM_HERE,
        base::BindOnce(&SilentInstallerController::StartInstaller, weak_factory_.GetWeakPtr()));
  }
  run_loop_.Run();
  LOG(INFO) << "Controller exiting";
  runner_->RemoveObserver(this);
  // The run's end may come from the back end's last message.
  runner_->WaitForBackendEnd();
  fetcher_.reset();
  return success_;
}

void SilentInstallerController::OnPathChanged() {
  if (terminated_ || settings_->IsFetchingStatus())
    return;
  if (settings_->GetSilent() && settings_->GetAllUsers() && NeedsElevationNow()) {
    VLOG(2) << "Cannot elevate in when silent. Switching to current user mode.";
    settings_->SetMode(CURRENT_USER);
    base::FilePath folder;
    settings_->GetDefaultInstallFolder(&folder, DEFAULT_FOLDER_REGISTRY | DEFAULT_FOLDER_STANDARD);
    settings_->SetInstallFolderString(folder.value());
    // The new folder's analysis brings the next OnPathChanged.
    if (settings_->IsFetchingStatus())
      return;
    // Without one the folder must already be the user's default, whose
    // analysis stands; now for the current user it is checked again below.
    // Otherwise (the settings refused the mode or the folder) the run cannot
    // go on.
    if (settings_->GetAllUsers() ||
        !base::FilePath::CompareEqualIgnoreCase(folder.value(),
                                                settings_->GetInstallPath().value())) {
      FailRun("Switching to current user mode did not give a new install folder");
      return;
    }
  }
  if (!settings_->GetAutoupdate() && NeedsElevationNow()) {
    base::FilePath folder;
    settings_->GetDefaultInstallFolder(&folder,
                                       DEFAULT_FOLDER_COMMAND_LINE | DEFAULT_FOLDER_STANDARD);
    if (folder != settings_->GetInstallPath()) {
      settings_->SetInstallFolder(folder);
      if (!settings_->IsFetchingStatus())
        FailRun("The default install folder was refused");
      return;
    }
  }
  VLOG(1) << "Settings obtained. Starting.";
  StartInstaller();
}

bool SilentInstallerController::NeedsElevationNow() const {
  const bool write_access = settings_->GetFolderDetails()->HasWriteAccess();
  return token_ ? NeedsElevation(*token_, settings_->GetAllUsers(), write_access)
                : NeedsElevation(settings_->GetAllUsers(), write_access);
}

void SilentInstallerController::StartInstaller() {
  if (terminated_)
    return;
  settings_->WriteStats(std::string(), stats_.root_scope());
  if (base::win::GetVersion() < base::win::VERSION_WIN7) {
    LOG(ERROR) << "This version of Velto doesn't support windows versions prior to Windows 7";
    Terminate();
    return;
  }
  if (!::IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE)) {
    LOG(ERROR) << "SSE2 not supported by the computer";
    Terminate();
    return;
  }
  if (package_complete_) {
    VLOG(2) << "Got tracking data from package.";
    HandleTrackingData();
  }
  VLOG(2) << "Preparing to run the installer.";
  if (!runner_->StartInstallation(settings_))
    Terminate();
}

void SilentInstallerController::NotifyStatusChanged(PackageFetcherStatus status) {
  switch (status) {
    case STATUS_FETCHING_DOWNLOAD_URL:
      VLOG(2) << "Package will be downloaded.";
      download_involved_ = true;
      return;
    case STATUS_PACKAGE_READY:
      VLOG(1) << "Package fetched successfully.";
      package_complete_ = true;
      if (settings_->IsFetchingStatus() || terminated_)
        return;
      VLOG(2) << "Got tracking data from status.";
      HandleTrackingData();
      return;
    case STATUS_INITIALIZATION_FAILED:
    case STATUS_DOWNLOAD_FAILED:
    case STATUS_UNPACKING_FAILED:
      if (fetcher_ && fetcher_->Retry())
        return;
      VLOG(1) << "Package fetcher failed.";
      stats_.root_scope()->SetString("failure_reason", "Fetcher error");
      Terminate();
      return;
    default:
      return;
  }
}

void SilentInstallerController::HandleTrackingData() {
  ControllerPayload::HandleTrackingData(
      tracking_data_, *settings_, stats_.root_scope(),
      base::BindOnce(&PrefDefaultOverridesFetcher::Start,
                     base::Unretained(overrides_fetcher_.get())),
      base::BindOnce(&SilentInstallerController::OnTrackingDataHandled,
                     weak_factory_.GetWeakPtr()));
}

void SilentInstallerController::OnTrackingDataHandled() {
  VLOG(2) << "Tracking data actions done: package complete.";
  runner_->NotifyPackageReady();
}

void SilentInstallerController::RunUICallbackAndPostReply(
    UICallback ui_callback, scoped_refptr<base::SingleThreadTaskRunner> reply_runner,
    ReplyCallback reply_callback) {
  LOG(ERROR) << "Cannot display UI requested by fetcher when running silently";
  reply_runner->PostTask(FROM_HERE, base::BindOnce(std::move(reply_callback), DWORD{0}));
}

void SilentInstallerController::OnFileCopyRetry(const std::string& key) {
  stats_.root_scope()->Increment(key);
}

void SilentInstallerController::OnError(int error_code, const std::wstring& detail,
                                        const std::string& message) {
  stats_.root_scope()->SetString("failure_reason", message);
  if (error_code == ERROR_CATEGORY_NOT_ALLOWED_IN_AUTOUPDATE)
    RecordInstallFolderContents();
  VLOG(2) << "Installer error: terminating";
  Terminate();
}

void SilentInstallerController::OnSuccess() {
  // A run that has ended keeps the outcome its statistics gave.
  if (terminated_) {
    LOG(WARNING) << "Success reported after the end of the run";
    return;
  }
  VLOG(2) << "Installer succeeded: terminating";
  success_ = true;
  Terminate();
}

void SilentInstallerController::OnInstallerTerminated(bool success) {
  // A zero exit code alone is no success: a back end that was killed may
  // report one (Wine gives 0 to a process that died of a signal, and anyone
  // may end a process with 0). Only a back end that also reported success
  // succeeded; one whose report is still on its way gets it through
  // OnSuccess before the delayed Terminate.
  success_ = success && success_;
  VLOG(2) << "Installer ended. Success is " << (success_ ? 1 : 0) << ". terminating";
  base::MessageLoop::current()->task_runner()->PostDelayedTask(
      FROM_HERE,
      base::BindOnce(&SilentInstallerController::TerminateAfterBackend,
                     weak_factory_.GetWeakPtr()),
      kTerminateDelay);
}

void SilentInstallerController::TerminateAfterBackend() {
  // A back end that reported its success or an error has ended the run
  // already; one that was killed, or crashed unseen, has said nothing.
  if (!terminated_)
    runner_->LogEndWithoutReport();
  Terminate();
}

void SilentInstallerController::RecordInstallFolderContents() {
  const base::FilePath& root = settings_->GetInstallPath();
  std::string contents;
  base::FileEnumerator enumerator(root, true,
                                  base::FileEnumerator::FILES | base::FileEnumerator::DIRECTORIES);
  for (base::FilePath path = enumerator.Next(); !path.empty(); path = enumerator.Next()) {
    base::FilePath relative;
    if (root.AppendRelativePath(path, &relative))
      contents += relative.AsUTF8Unsafe() + "\n";
  }
  stats_.root_scope()->SetString("installation_folder_contents", contents);
}

void SilentInstallerController::FailRun(const std::string& reason) {
  if (terminated_)
    return;
  LOG(ERROR) << reason;
  stats_.root_scope()->SetString("failure_reason", reason);
  success_ = false;
  Terminate();
}

void SilentInstallerController::Terminate() {
  if (terminated_) {
    VLOG(2) << "Termination already done.";
    return;
  }
  terminated_ = true;
  // A run that failed on this side (the fetch, the folder) leaves a back end
  // waiting for a package that will never come: it is told to roll back now,
  // so that it ends and the folder is free again while the statistics are
  // posted, which may take long.
  if (!success_ && runner_->backend_running())
    runner_->StopInstallation();
  // A run that ends before its back end was started no longer needs the
  // package; otherwise the fetcher goes once the back end has ended (Run).
  if (!runner_->backend_running())
    fetcher_.reset();
  stats_.root_scope()->SetInteger("installation_success", success_ ? 1 : 0);
  if (settings_->GetEnableInstallerStats() && (!settings_->GetAutoupdate() || !success_)) {
    LOG(INFO) << "Sending stats";
    stats_.SendTo(StatsSender::GetEndpoint(*command_line_), run_loop_.QuitClosure(),
                  download_involved_);
  } else {
    LOG(INFO) << "Not sending stats";
    run_loop_.Quit();
  }
}

}  // namespace installer
