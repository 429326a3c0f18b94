#include "desktop/windows/installer/installer_runner_backend.h"

#include <cstring>
#include <vector>

#include "base/command_line.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "desktop/windows/installer/child_success_event.h"
#include "desktop/windows/installer/installer.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/ipc/mailslot_constants.h"
#include "desktop/windows/installer/os_operations_impl.h"
#include "desktop/windows/installer/settings.h"

namespace installer {

InstallerRunnerBackend::InstallerRunnerBackend()
    : InstallerRunnerBackend(std::make_unique<Installer>(std::make_unique<OsOperationsImpl>()),
                             base::CommandLine::ForCurrentProcess()) {}

InstallerRunnerBackend::InstallerRunnerBackend(std::unique_ptr<Installer> installer,
                                               const base::CommandLine* command_line)
    : command_line_(command_line), installer_(std::move(installer)) {}

InstallerRunnerBackend::~InstallerRunnerBackend() {
  initial_process_watcher_.StopWatching();
  initial_process_.Close();
  if (observing_settings_)
    settings_->RemoveObserver(this);
  // A run still in progress is cancelled and rolled back here, while the
  // mutex is still held.
  installer_.reset();
  sender_.Close();
}

// static
base::Pickle InstallerRunnerBackend::SendMessage(InstallerMessageType type) {
  return InstallerMessage::BeginPickle(type);
}

bool InstallerRunnerBackend::WatchInitialProcess() {
  if (command_line_->HasSwitch(switches::kInitialProcHandle)) {
    std::string value = command_line_->GetSwitchValueASCII(switches::kInitialProcHandle);
    VLOG(1) << "Using initial process handle " << value;
    std::vector<uint8_t> bytes;
    if (!base::HexStringToBytes(value, &bytes) || (bytes.size() != 4 && bytes.size() != 8)) {
      LOG(ERROR) << "Failed parsing initial process handle";
      return false;
    }
    intptr_t handle = 0;
    if (bytes.size() == 4) {
      int32_t value32 = 0;
      memcpy(&value32, bytes.data(), 4);
      handle = value32;
    } else {
      int64_t value64 = 0;
      memcpy(&value64, bytes.data(), 8);
      handle = static_cast<intptr_t>(value64);
    }
    initial_process_.Set(reinterpret_cast<HANDLE>(handle));
  } else if (command_line_->HasSwitch(switches::kInitialPid)) {
    std::string value = command_line_->GetSwitchValueASCII(switches::kInitialPid);
    LOG(INFO) << "Using initial pid " << value;
    unsigned pid = 0;
    if (!base::StringToUint(value, &pid)) {
      LOG(ERROR) << "Failed parsing initial pid";
      return false;
    }
    initial_process_.Set(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    if (!initial_process_.IsValid()) {
      LOG(ERROR) << "Failed opening initial process";
      return false;
    }
  } else if (!command_line_->HasSwitch(switches::kRegisterAsProtocolHandler)) {
    LOG(ERROR) << "Missing information about initial process";
    return false;
  }
  if (initial_process_.IsValid() &&
      !initial_process_watcher_.StartWatchingOnce(initial_process_.Get(), this)) {
    LOG(ERROR) << "Failed watching initial process";
    return false;
  }
  return true;
}

bool InstallerRunnerBackend::HoldFolder(const base::FilePath& install_folder) {
  if (!initial_process_watched_) {
    if (!WatchInitialProcess())
      return false;
    initial_process_watched_ = true;
  }
  return HoldFolderWhileFrontEndLives(install_folder);
}

bool InstallerRunnerBackend::Run(Settings* settings) {
  settings_ = settings;
  if (!initial_process_watched_) {
    if (!WatchInitialProcess())
      return false;
    initial_process_watched_ = true;
  }
  installer_->AddObserver(this);
  if (settings_->IsFetchingStatus()) {
    LOG(INFO) << "Waiting for settings to be ready";
    settings_->AddObserver(this);
    observing_settings_ = true;
  } else {
    LOG(INFO) << "Settings already obtained. Running.";
    Start();
  }
  run_loop_.Run();
  LOG(INFO) << "Installer backend exiting";
  installer_->RemoveObserver(this);
  return installer_->succeeded();
}

void InstallerRunnerBackend::OnPathChanged() {
  if (!observing_settings_ || settings_->IsFetchingStatus())
    return;
  LOG(INFO) << "Settings obtained. Running.";
  settings_->RemoveObserver(this);
  observing_settings_ = false;
  Start();
}

bool InstallerRunnerBackend::HoldFolderWhileFrontEndLives(const base::FilePath& folder) {
  // From here on the front end's hold on the folder passes to this process
  // when the front end lets go or dies, so that no other installer gets the
  // folder while this one works in it or rolls back.
  const std::wstring name = InstallerMutex::GetName(folder);
  if (held_mutex_name_.empty()) {
    held_mutex_name_ = name;
    if (!mutex_.HoldInBackground(name))
      LOG(WARNING) << "Could not hold the installer mutex";
  } else if (held_mutex_name_ != name) {
    LOG(WARNING) << "The analysed install folder is not the one held";
  }
  // Checked only now that the hold is in place: a front end that died before
  // has left the folder to whoever came first, and this run must not touch
  // it.
  if (initial_process_.IsValid() &&
      ::WaitForSingleObject(initial_process_.Get(), 0) == WAIT_OBJECT_0) {
    LOG(INFO) << "Installer UI process ended";
    return false;
  }
  return true;
}

void InstallerRunnerBackend::Start() {
  VLOG(2) << "Starting installation";
  // The folder's analysis has arrived: the folder is known now, if it was
  // not held before.
  if (!HoldFolderWhileFrontEndLives(settings_->GetInstallPath())) {
    run_loop_.Quit();
    return;
  }
  sender_.Connect(kInstallerMailslotName + settings_->GetInstallPath().value());
  installer_->Start(settings_);
}

void InstallerRunnerBackend::Send(const InstallerMessage& message) {
  sender_.Send(message.ToPickle());
}

void InstallerRunnerBackend::OnImportantEvent() {
  Send(InstallerMessage::ImportantEvent());
}

void InstallerRunnerBackend::OnStartingNewMainProcess(int process_id) {
  VLOG(1) << "Sending IPC_MESSAGE_STARTING_NEW_MAIN_PROCESS(" << process_id << ")";
  Send(InstallerMessage::StartingNewMainProcess(process_id));
}

void InstallerRunnerBackend::OnReturnedToPreviousMainProcess() {
  VLOG(1) << "Sending IPC_MESSAGE_RETURNED_TO_PREVIOUS_MAIN_PROCESS";
  Send(InstallerMessage::ReturnedToPreviousMainProcess());
}

void InstallerRunnerBackend::OnTotalSteps(int total_steps) {
  VLOG(1) << "Sending IPC_MESSAGE_TOTAL_STEPS(" << total_steps << ")";
  Send(InstallerMessage::TotalSteps(total_steps));
}

void InstallerRunnerBackend::OnStep() {
  VLOG(1) << "Sending IPC_MESSAGE_STEP";
  Send(InstallerMessage::Step());
}

void InstallerRunnerBackend::OnFileCopyRetry(const std::string& file) {
  VLOG(1) << "Sending IPC_FILE_COPY_RETRY";
  Send(InstallerMessage::FileCopyRetry(file));
}

void InstallerRunnerBackend::OnError(int error_code, const std::wstring& detail,
                                     const std::string& message) {
  VLOG(1) << "Sending IPC_MESSAGE_ERROR(" << error_code << ",";
  Send(InstallerMessage::Error(error_code, detail, message));
  run_loop_.Quit();
}

void InstallerRunnerBackend::OnSuccess() {
  VLOG(1) << "Sending IPC_MESSAGE_SUCCESS";
  Send(InstallerMessage::Success());
  // An installer that started this one as its child waits for this report.
  ChildSuccessEvent::Report(*command_line_);
  run_loop_.Quit();
}

void InstallerRunnerBackend::OnInstallerTerminated(bool success) {
  VLOG(1) << "Installation is done: " << success;
  run_loop_.Quit();
}

void InstallerRunnerBackend::OnObjectSignaled(HANDLE object) {
  LOG(INFO) << "Installer UI process ended";
  run_loop_.Quit();
}

}  // namespace installer
