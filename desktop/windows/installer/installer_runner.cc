#include "desktop/windows/installer/installer_runner.h"

#include <mutex>

#include "base/command_line.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/process/launch.h"
#include "base/process/startup_job.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "crash_reporting/crash_client.h"
#include "desktop/windows/installer/installation_folder_details.h"
#include "desktop/windows/installer/installer.h"
#include "desktop/windows/installer/installer_observer.h"
#include "desktop/windows/installer/installer_paths.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/ipc/installer_message.h"
#include "desktop/windows/installer/ipc/mailslot_constants.h"
#include "desktop/windows/installer/service/kernel_object_security.h"
#include "desktop/windows/installer/service/protected_folder.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/settings_switches.h"
#include "desktop/windows/installer/steps/installer_step.h"
#include "desktop/windows/installer/installer_kernel_objects.h"

namespace installer {

namespace {

constexpr char kServerTrackingDataFile[] = "server_tracking_data";

// Inheritable handles exist only between duplication and launch: the lock
// keeps other launches of this process from inheriting them.
std::mutex& LaunchLock() {
  static std::mutex lock;
  return lock;
}

// Why the settings' folder gave no operation, for the log: the analysis
// tells why a path cannot be used; a usable one fails only an uninstall
// (there is nothing there to uninstall).
std::string InvalidFolderReason(const Settings& settings) {
  const InstallationFolderDetails* details = settings.GetFolderDetails();
  if (details && !details->GetInvalidPathReason().empty())
    return details->GetInvalidPathReason();
  if (settings.GetUninstall())
    return "No installation to uninstall in the folder";
  return "The folder analysis gave no operation";
}

}  // namespace

InstallerRunner::InstallerRunner(const base::FilePath& package_folder,
                                 const base::FilePath& suite_folder)
    : receiver_(this), suite_folder_(suite_folder), package_folder_(package_folder) {}

InstallerRunner::~InstallerRunner() {
  process_watcher_.StopWatching();
  // A back end that has ended without its end being delivered yet lets go
  // of the folder here, as its delivery would have.
  if (backend_running_ && backend_process_.IsValid() &&
      ::WaitForSingleObject(backend_process_.Handle(), 0) == WAIT_OBJECT_0) {
    backend_running_ = false;
    InterruptWhatOutlivesTheBackend();
  }
  StopInstallation();
  receiver_.Close();
}

void InstallerRunner::AddObserver(InstallerObserver* observer) {
  observers_.AddObserver(observer);
}

void InstallerRunner::RemoveObserver(InstallerObserver* observer) {
  observers_.RemoveObserver(observer);
}

DWORD InstallerRunner::backend_pid() const {
  return backend_process_.IsValid() ? backend_process_.Pid() : 0;
}

bool InstallerRunner::WaitForBackendExit(DWORD timeout_ms) const {
  return !backend_process_.IsValid() ||
         ::WaitForSingleObject(backend_process_.Handle(), timeout_ms) == WAIT_OBJECT_0;
}

void InstallerRunner::WaitForBackendEnd() const {
  constexpr DWORD kBackendEndWaitMs = 120 * 1000;
  if (!WaitForBackendExit(kBackendEndWaitMs))
    LOG(WARNING) << "The installer backend did not end in time";
}

void InstallerRunner::ReportError(int category, const std::string& message) {
  LOG(ERROR) << message;
  for (InstallerObserver& observer : observers_)
    observer.OnError(category, std::wstring(), message);
}

bool InstallerRunner::StartInstallation(Settings* settings) {
  if (settings == settings_)
    LOG(INFO) << "Duplicate installation attempt detected";
  LOG(INFO) << "Beginning installation";
  CHECK(!settings_);
  CHECK(!settings->IsFetchingStatus());
  CHECK(!backend_running_);
  if (settings->GetOperation() == INVALID_PATH) {
    LOG(ERROR) << "Install folder refused: "
               << logging::UntrustedText(settings->GetInstallPath()) << ": "
               << InvalidFolderReason(*settings);
    ReportError(ERROR_CATEGORY_INVALID_OPERATION,
                "Attempting to start installation with invalid settings");
    return false;
  }
  settings->SetEditable(false);
  settings_ = settings;

  std::wstring mutex_name = InstallerMutex::GetName(settings->GetFolderDetails()->GetPath());
  VLOG(1) << "Installer mutex name: " << base::WideToUTF8(mutex_name);
  switch (mutex_.TryAcquire(mutex_name)) {
    case InstallerMutex::ACQUIRED:
      break;
    case InstallerMutex::NOT_CREATED:
      ReportError(ERROR_CATEGORY_MUTEX_NOT_CREATED, "Could not create installer mutex");
      return false;
    case InstallerMutex::HELD_ELSEWHERE:
      ReportError(ERROR_CATEGORY_MUTEX_HELD, "Could not acquire installer mutex");
      return false;
  }

  std::wstring mailslot = kInstallerMailslotName + settings->GetInstallPath().value();
  LOG(INFO) << "Installer mailslot name: " << base::WideToUTF8(mailslot);
  if (!receiver_.Connect(mailslot)) {
    ReportError(ERROR_CATEGORY_INSTALLATION, "Could not connect to mailslot");
    return false;
  }

  base::CommandLine command_line(base::CommandLine::NO_PROGRAM);
  settings->ToCommandLine(&command_line, false);
  command_line.AppendSwitchASCII(switches::kServerTrackingData, kServerTrackingDataFile);
  command_line.AppendSwitchASCII(switches::kInitialPid,
                                 base::NumberToString(::GetCurrentProcessId()));
  // The back end joins this process's crash reporter.
  command_line.AppendSwitchASCII(switches::kCrashReporterPid,
                                 base::NumberToString(crash_reporting::GetCrashReporterPid()));

  const std::wstring& install_path = settings->GetInstallPath().value();
  std::wstring interrupted_name =
      GetKernelObjectName(install_path, kernel_objects::kInstallationInterruptedEvent, true);
  LOG(INFO) << "Event name for interrupted installation: " << base::WideToUTF8(interrupted_name);
  interrupted_event_ = KernelObjectSecurity::CreateNamedEvent(interrupted_name, true);
  if (!interrupted_event_.IsValid()) {
    ReportError(ERROR_CATEGORY_INSTALLATION, "Could not create installation interruption event");
    return false;
  }

  if (have_package_) {
    LOG(INFO) << "Package is already available";
    command_line.SetProgram(package_folder_.Append(kPackageInstallerName));
  } else {
    std::wstring ready_name = GetKernelObjectName(install_path, kernel_objects::kPackageReadyEvent, true);
    LOG(INFO) << "Event name for package_ready: " << base::WideToUTF8(ready_name);
    package_ready_event_ = KernelObjectSecurity::CreateNamedEvent(ready_name, true);
    if (!package_ready_event_.IsValid()) {
      ReportError(ERROR_CATEGORY_INSTALLATION, "Could not create package ready event");
      return false;
    }
    base::FilePath executable;
    base::PathService::Get(base::FILE_EXE, &executable);
    command_line.SetProgram(executable);
    command_line.AppendSwitchPath(switches::kWaitForPackage, package_folder_);
  }
  if (!suite_folder_.empty()) {
    command_line.AppendSwitchNative(switches::kComponents,
                                    L"suite:" + suite_folder_.BaseName().value());
  }

  {
    std::lock_guard<std::mutex> lock(LaunchLock());
    HANDLE own = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(), ::GetCurrentProcess(),
                           &own, SYNCHRONIZE, TRUE, 0)) {
      ReportError(ERROR_CATEGORY_INSTALLATION, "Could not duplicate own process handle");
      return false;
    }
    base::win::ScopedHandle own_handle(own);
    uint64_t value = reinterpret_cast<uintptr_t>(own);
    command_line.AppendSwitchASCII(switches::kInitialProcHandle,
                                   base::HexEncode(&value, sizeof(value)));
    base::LaunchOptions options;
    options.inherit_handles = true;
    // A package fetched into a protected folder is trusted by an elevated
    // back end only through the handle of that folder, one that this front
    // end made (it is handed none itself).
    base::win::ScopedHandle handed_folder;
    if (ProtectedFolder::HandDown(base::CommandLine(base::CommandLine::NO_PROGRAM),
                                  package_folder_, &command_line, &handed_folder)) {
      options.handles_to_inherit.push_back(handed_folder.Get());
    }
    LOG(INFO) << "launching installer backend: "
              << base::WideToUTF8(command_line.GetCommandLineString());
    // Should this process end before the back end runs, the back end ends
    // too instead of waiting for ever, suspended, with the folder's objects.
    base::StartupJob startup_job;
    options.startup_job = &startup_job;
    backend_process_ = base::LaunchProcess(command_line.GetCommandLineString(), options);
  }
  if (!backend_process_.IsValid()) {
    ReportError(ERROR_CATEGORY_INSTALLATION, "Could not launch installer backend process");
    return false;
  }
  backend_running_ = true;
  ::AllowSetForegroundWindow(backend_process_.Pid());
  VLOG(2) << "Installer backend started.";
  if (!process_watcher_.StartWatchingOnce(backend_process_.Handle(), this)) {
    ReportError(ERROR_CATEGORY_INSTALLATION, "Could not monitor the installer process handle");
    StopInstallation();
    return false;
  }
  return true;
}

void InstallerRunner::NotifyPackageReady() {
  if (have_package_)
    return;
  VLOG(2) << "Recording that we have the package";
  have_package_ = true;
  if (backend_running_ && package_ready_event_.IsValid()) {
    LOG(INFO) << "Informing the installer backend that the package is ready";
    ::SetEvent(package_ready_event_.Get());
  }
}

void InstallerRunner::StopInstallation() {
  LOG(INFO) << "Stopping installer backend (if running)";
  if (backend_running_ && interrupted_event_.IsValid()) {
    LOG(INFO) << "Sending installation interrupted event";
    ::SetEvent(interrupted_event_.Get());
  }
  receiver_.Close();
  package_ready_event_.Close();
  settings_ = nullptr;
  if (!backend_running_) {
    LetGoOfTheFolder();
    return;
  }
  // A running back end keeps the folder this run's while it rolls back: the
  // mutex is let go of once it has ended (OnObjectSignaled), and the
  // interrupted event stays for it to find however late it looks. Should
  // this runner go first, the back end takes the mutex over when this
  // thread ends (see InstallerMutex).
}

void InstallerRunner::InterruptWhatOutlivesTheBackend() {
  // The run ends with its back end. An installer the back end handed the
  // run to may outlive it (the back end was killed while it waited for the
  // package's installer or the elevated copy): with nobody left to report
  // its outcome, it must not go on and commit what this front end reports
  // as failed. After a back end that succeeded, none of the run is at work.
  if (!interrupted_event_.IsValid())
    return;
  VLOG(1) << "Interrupting what is left of the run";
  ::SetEvent(interrupted_event_.Get());
}

void InstallerRunner::LetGoOfTheFolder() {
  // The installer that gets the mutex next makes the mailslot and the events
  // of the folder anew: their names are free before the mutex is (the
  // receiver is closed by the callers).
  package_ready_event_.Close();
  interrupted_event_.Close();
  if (mutex_.owned()) {
    LOG(INFO) << "Letting go of the installer mutex";
    mutex_.Release();
  }
  mutex_.Close();
}

void InstallerRunner::OnObjectSignaled(HANDLE object) {
  LOG(INFO) << "Installer backend process signaled";
  DWORD exit_code = 0;
  backend_exit_code_.reset();
  if (::GetExitCodeProcess(backend_process_.Handle(), &exit_code))
    backend_exit_code_ = exit_code;
  bool success = backend_exit_code_ == DWORD{0};
  backend_running_ = false;
  InterruptWhatOutlivesTheBackend();
  // The back end has rolled back or kept its work: the folder and the names
  // made from it are free for other installers, also while this front end
  // still ends its run (sends its statistics, which may take long without a
  // network). What the back end wrote is still read and delivered.
  receiver_.CloseWhenRead();
  LetGoOfTheFolder();
  for (InstallerObserver& observer : observers_)
    observer.OnInstallerTerminated(success);
}

void InstallerRunner::LogEndWithoutReport() const {
  LOG(ERROR) << "Installer backend ended without reporting success or an error, exit code "
             << (backend_exit_code_ ? base::NumberToString(*backend_exit_code_) : "unknown");
}

void InstallerRunner::HandleMessage(const base::Pickle& pickle) {
  InstallerMessage message;
  if (!InstallerMessage::FromPickle(pickle, &message))
    return;
  // FromPickle has logged the message, or why it was dropped.
  for (InstallerObserver& observer : observers_)
    message.Notify(&observer);
}

}  // namespace installer
