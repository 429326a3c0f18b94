// The operations of Installer that hand the run to another installer process
// or wait for one: the elevated copy, the folder-permission helper, the
// package's own installer and the tasks that run after elevation in the
// user's own context.
#include <windows.h>
#include <aclapi.h>

#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/process/launch.h"
#include "base/process/startup_job.h"
#include "base/process/process.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/windows_version.h"
#include "crash_reporting/crash_client.h"
#include "desktop/windows/installer/child_success_event.h"
#include "desktop/windows/installer/installation_folder_details.h"
#include "desktop/windows/installer/installer.h"
#include "desktop/windows/installer/installer_observer.h"
#include "desktop/windows/installer/installer_paths.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/os_operations.h"
#include "desktop/windows/installer/protected_package.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/settings_switches.h"
#include "desktop/windows/installer/service/installation_status_loader_impl.h"
#include "desktop/windows/installer/service/kernel_object_security.h"
#include "desktop/windows/installer/service/privileges.h"
#include "desktop/windows/installer/service/protected_folder.h"
#include "desktop/windows/installer/service/signature_verification.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/steps/component_entry.h"
#include "desktop/windows/installer/steps/installer_step.h"
#include "desktop/windows/installer/installer_kernel_objects.h"

namespace installer {

// The waits below for another installer process have no time limit: each
// child watches the front end itself (it gets "initial-pid") and ends when
// the front end goes or interrupts, so a slow but working child is never cut
// short and reported as failed while it may still finish.

bool Installer::CanElevate() {
  if (environment_.privileges->IsAdministrator())
    return true;
  if (base::win::GetVersion() < base::win::VERSION_VISTA)
    return true;
  return environment_.privileges->IsUacEnabled();
}

int Installer::RunElevated() {
  LOG(INFO) << "Running the installer elevated.";
  if (!CanElevate()) {
    LOG(ERROR) << "Cannot elevate with UAC disabled";
    return CHILD_NOT_ELEVATED;
  }
  if (command_line().HasSwitch(switches::kRunElevated)) {
    LOG(ERROR) << "This process should already be elevated, but isn't.";
    return CHILD_NOT_ELEVATED;
  }
  base::CommandLine child(base::CommandLine::NO_PROGRAM);
  settings_->ToCommandLine(&child, true);
  child.AppendSwitchASCII(switches::kParentPid, std::to_string(::GetCurrentProcessId()));
  if (command_line().HasSwitch(switches::kWaitForPackage)) {
    child.AppendSwitchNative(switches::kWaitForPackage,
                             command_line().GetSwitchValueNative(switches::kWaitForPackage));
  }
  child.AppendSwitch(switches::kRunElevated);
  base::FilePath executable;
  if (!base::PathService::Get(base::FILE_EXE, &executable)) {
    LOG(ERROR) << "Failed to obtain installer exe file path";
    return CHILD_SETUP_ERROR;
  }
  ChildSuccessEvent child_success;
  if (!child_success.Prepare(&child))
    return CHILD_SETUP_ERROR;
  for (InstallerObserver& observer : observers_)
    observer.OnStartingNewMainProcess(0);
  base::win::ScopedHandle process;
  DWORD error = 0;
  if (!environment_.privileges->LaunchElevated(executable, child.GetArgumentsString(), &process,
                                               &error)) {
    LOG(ERROR) << "Failed to run the elevated process " << error;
    return CHILD_NOT_ELEVATED;
  }
  DWORD wait = ::WaitForSingleObject(process.Get(), INFINITE);
  DWORD wait_error = wait == WAIT_FAILED ? ::GetLastError() : 0;
  for (InstallerObserver& observer : observers_)
    observer.OnReturnedToPreviousMainProcess();
  DWORD exit_code = 1;
  if (wait == WAIT_FAILED) {
    LOG(ERROR) << "Failed wait for the elevated installer " << wait_error;
    return CHILD_FAILED;
  }
  if (wait != WAIT_OBJECT_0) {
    LOG(ERROR) << "Unexpected result when waiting for the elevated installer";
    return CHILD_FAILED;
  }
  if (!::GetExitCodeProcess(process.Get(), &exit_code) || exit_code != 0)
    return CHILD_FAILED;
  if (!child_success.IsSet()) {
    LOG(ERROR) << "The elevated installer ended without reporting success";
    return CHILD_FAILED;
  }
  if (command_line().HasSwitch(switches::kWaitForPackage))
    WaitForPackage(true);
  else
    RunPostElevationTasks();
  return CHILD_SUCCEEDED;
}

int Installer::GiveFolderPermissions(const base::FilePath& path, bool permanent) {
  // Support scripts search the logs for this line word for word, the missing
  // space after "the" included.
  LOG(INFO) << "Run an elevated process in order to "
            << (permanent ? "permanently" : "temporarily")
            << " give permissions on the" "install folder to this process";
  if (!CanElevate()) {
    LOG(ERROR) << "Cannot elevate with UAC disabled";
    return CHILD_NOT_ELEVATED;
  }
  std::wstring user;
  if (!GetCurrentUserName(&user)) {
    LOG(ERROR) << "Failed to obtain user name";
    return CHILD_SETUP_ERROR;
  }
  VLOG(1) << "User name is " << base::WideToUTF8(user);
  base::CommandLine helper(base::CommandLine::NO_PROGRAM);
  helper.AppendSwitchPath(switches::kSetFolderPermission, path);
  helper.AppendSwitchNative(switches::kPermissionsForUser, user);
  if (permanent)
    helper.AppendSwitch(switches::kPermanentPermissions);
  if (settings_->GetOperation() == UNINSTALLING)
    helper.AppendSwitch(switches::kRunUninstallBat);
  helper.AppendSwitchASCII(switches::kCrashReporterPid,
                           base::NumberToString(crash_reporting::GetCrashReporterPid()));
  if (command_line().HasSwitch(switches::kWaitForPackage)) {
    helper.AppendSwitchNative(switches::kWaitForPackage,
                              command_line().GetSwitchValueNative(switches::kWaitForPackage));
  }
  helper.AppendSwitchNative(switches::kInitialPid,
                            command_line().GetSwitchValueNative(switches::kInitialPid));
  base::FilePath executable;
  if (!base::PathService::Get(base::FILE_EXE, &executable)) {
    LOG(ERROR) << "Failed to obtain installer exe file path";
    return CHILD_SETUP_ERROR;
  }
  // The helper may run as another administrator account; an event of these
  // names that another account made is refused.
  base::win::ScopedHandle granted = KernelObjectSecurity::CreateNamedEvent(
      GetKernelObjectName(path.value(), kernel_objects::kGiveInstallPermissionEvent, false), false);
  if (!granted.IsValid()) {
    LOG(ERROR) << "Failed to create event for communicating with the elevated process "
               << ::GetLastError();
    return CHILD_SETUP_ERROR;
  }
  base::win::ScopedHandle undo = KernelObjectSecurity::CreateNamedEvent(
      GetKernelObjectName(path.value(), kernel_objects::kGiveInstallPermissionUndoEvent, false),
      false);
  if (!undo.IsValid()) {
    LOG(ERROR) << "Failed to create event for communicating with the elevated process "
               << ::GetLastError();
    return CHILD_SETUP_ERROR;
  }
  // Before Vista the elevated helper runs as another user, whom the events'
  // default security would keep out.
  if (base::win::GetVersion() < base::win::VERSION_VISTA &&
      (!FixEventACL(granted.Get()) || !FixEventACL(undo.Get()))) {
    return CHILD_SETUP_ERROR;
  }
  base::win::ScopedHandle process;
  DWORD error = 0;
  if (!environment_.privileges->LaunchElevated(executable, helper.GetArgumentsString(), &process,
                                               &error)) {
    LOG(ERROR) << "Failed to run the elevated process " << error;
    return CHILD_NOT_ELEVATED;
  }
  // A helper that waits for the package watches the front end as well.
  HANDLE handles[] = {granted.Get(), process.Get()};
  DWORD wait = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
  if (wait != WAIT_OBJECT_0) {
    LOG(ERROR) << "Failed to run the elevated process";
    return CHILD_FAILED;
  }
  done_event_ = std::move(undo);
  second_installer_pid_ = ::GetProcessId(process.Get());
  return CHILD_SUCCEEDED;
}

// static
bool Installer::FixEventACL(HANDLE event) {
  PACL old_dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD error = ::GetSecurityInfo(event, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, &old_dacl, nullptr, &descriptor);
  if (error != ERROR_SUCCESS) {
    LOG(ERROR) << "FixEventACL: failed to GetSecurityInfo " << error;
    return false;
  }
  SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!::AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
    LOG(ERROR) << "FixEventACL: failed to AllocateAndInitializeSid " << ::GetLastError();
    ::LocalFree(descriptor);
    return false;
  }
  EXPLICIT_ACCESSW access = {
      GENERIC_ALL, GRANT_ACCESS, NO_INHERITANCE,
      {nullptr, NO_MULTIPLE_TRUSTEE, TRUSTEE_IS_SID, TRUSTEE_IS_WELL_KNOWN_GROUP,
       static_cast<LPWSTR>(administrators)}};
  PACL new_dacl = nullptr;
  bool fixed = false;
  error = ::SetEntriesInAclW(1, &access, old_dacl, &new_dacl);
  if (error != ERROR_SUCCESS) {
    LOG(ERROR) << "FixEventACL: failed to SetEntriesInAcl " << error;
  } else {
    error = ::SetSecurityInfo(event, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, new_dacl, nullptr);
    if (error != ERROR_SUCCESS)
      LOG(ERROR) << "FixEventACL: failed to SetSecurityInfo " << error;
    else
      fixed = true;
  }
  if (new_dacl)
    ::LocalFree(new_dacl);
  ::FreeSid(administrators);
  ::LocalFree(descriptor);
  return fixed;
}

void Installer::WaitForPackage(bool post_elevation) {
  LOG(INFO) << "Need to wait for actual package";
  post_elevation_ = post_elevation;
  std::wstring name =
      GetKernelObjectName(settings_->GetInstallPath().value(), kernel_objects::kPackageReadyEvent, true);
  VLOG(1) << "Event name for package_ready: " << base::WideToUTF8(name);
  package_ready_event_.Set(::OpenEventW(SYNCHRONIZE, FALSE, name.c_str()));
  if (!package_ready_event_.IsValid()) {
    LOG(ERROR) << Fail(ERROR_CATEGORY_INSTALLATION, std::wstring(),
                       "Failed to open a handle to the package ready event");
    return;
  }
  if (::WaitForSingleObject(package_ready_event_.Get(), 0) == WAIT_OBJECT_0) {
    OnObjectSignaled(package_ready_event_.Get());
    return;
  }
  // However long the download takes: a front end that gives up interrupts
  // the run, and one that dies ends the back end (InstallerRunnerBackend).
  if (!package_ready_watcher_.StartWatchingOnce(package_ready_event_.Get(), this)) {
    LOG(ERROR) << Fail(ERROR_CATEGORY_INSTALLATION, std::wstring(),
                       "Failed to watch the package ready event");
    return;
  }
}

void Installer::OnObjectSignaled(HANDLE object) {
  if (object == interrupted_event_.Get()) {
    LOG(INFO) << "Installation was interrupted";
    Cancel();
    return;
  }
  if (object != package_ready_event_.Get() || ended_ || !settings_)
    return;
  LOG(INFO) << "Package is ready";
  // The package's installer works in the folder under this run's rights: a
  // temporary grant is undone only when the run ends, after it.
  package_ready_watcher_.StopWatching();
  RunPackageInstaller(command_line().GetSwitchValuePath(switches::kWaitForPackage));
}

std::unique_ptr<ProtectedPackage> Installer::TakePackage(const base::FilePath& package_folder) {
  ProtectedPackage::Options options;
  options.require_signatures = !IsRunningExecutableUnsigned();
  options.components =
      ParseComponentEntries(command_line().GetSwitchValueNative(switches::kComponents));
  auto package = std::make_unique<ProtectedPackage>(options);
  std::string error;
  if (!package->Take(package_folder, &error)) {
    LOG(ERROR) << "The package was not taken: " << logging::UntrustedText(error);
    LOG(ERROR) << Fail(ERROR_CATEGORY_INSTALLATION, std::wstring(),
                       "The package could not be verified for the elevated installation.");
    return nullptr;
  }
  // Taking a large package takes a while; the front end may have given up.
  if (CancelIfInterrupted())
    return nullptr;
  return package;
}

bool Installer::MustTakePackage(const base::FilePath& package_folder) {
  return environment_.privileges->IsElevated() &&
         !ProtectedFolder::IsProtected(command_line(), package_folder);
}

void Installer::RunPackageInstaller(const base::FilePath& package_folder) {
  // An elevated installer runs and installs a package only from a protected
  // folder that it made or was handed by the elevated installer that made
  // it; any other package folder (the user's, or one its command line names)
  // another account may change: it takes the package from there into a
  // folder of its own first (ProtectedPackage).
  std::unique_ptr<ProtectedPackage> taken;
  base::FilePath folder = package_folder;
  if (MustTakePackage(package_folder)) {
    taken = TakePackage(package_folder);
    if (!taken)
      return;
    folder = taken->folder();
  }
  base::CommandLine child(folder.Append(kPackageInstallerName));
  settings_->ToCommandLine(&child, false);
  if (post_elevation_)
    child.AppendSwitch(switches::kPostElevatedInstallTasks);
  // The package's installer joins this process's crash reporter.
  child.AppendSwitchASCII(switches::kCrashReporterPid,
                          base::NumberToString(crash_reporting::GetCrashReporterPid()));
  ChildSuccessEvent child_success;
  const bool prepared = child_success.Prepare(&child);
  for (InstallerObserver& observer : observers_)
    observer.OnStartingNewMainProcess(0);
  // The package's installer trusts its folder only by the handle it gets.
  base::win::ScopedHandle handed;
  const bool handed_down =
      prepared && ProtectedFolder::HandDown(command_line(), folder, &child, &handed);
  LOG(INFO) << "Running installer from the package with command line: "
            << base::WideToUTF8(child.GetCommandLineString());
  base::Process process;
  if (prepared) {
    // Should this process end before the package's installer runs, that
    // installer ends too instead of waiting for ever, suspended.
    base::StartupJob startup_job;
    base::LaunchOptions options;
    options.startup_job = &startup_job;
    if (handed_down)
      options.handles_to_inherit.push_back(handed.Get());
    process = base::LaunchProcess(child.GetCommandLineString(), options);
  }
  int exit_code = 1;
  const bool ended = process.IsValid() && process.WaitForExit(&exit_code);
  for (InstallerObserver& observer : observers_)
    observer.OnReturnedToPreviousMainProcess();
  if (!process.IsValid()) {
    LOG(ERROR) << Fail(ERROR_CATEGORY_INSTALLATION, std::wstring(),
                       "Failed to start installer process from the package folder.");
  } else if (ended && exit_code == 0 && child_success.IsSet()) {
    Succeed();
  } else {
    if (ended && exit_code == 0)
      LOG(ERROR) << "The installer from the package ended without reporting success";
    LOG(ERROR) << Fail(ERROR_CATEGORY_INSTALLATION, std::wstring(),
                       "Installer process did not complete successfully.");
  }
}

void Installer::RunPostElevationTasks() {
  VLOG(1) << "Running post elevation installation tasks.";
  InstallationOperation operation = settings_->GetOperation();
  if (operation != UNINSTALLING)
    os_operations_->SetUpDefaultBrowser(*settings_, nullptr);
  const InstallationFolderDetails* details = settings_->GetFolderDetails();
  // The elevated run has just installed: the status it wrote names the new
  // version's subfolder and components. The settings' analysis of the folder
  // may be older than that run (this process analysed the folder before it
  // elevated). An uninstall leaves no status; its components are those of
  // the analysis.
  std::unique_ptr<InstallationStatus> written;
  if (operation != UNINSTALLING) {
    std::string error;
    std::string contents;
    written = InstallationStatusLoaderImpl().Load(details->GetPath(), 0, &error, &contents);
    if (!written)
      LOG(ERROR) << "No status after the elevated installation: " << error;
  }
  const InstallationStatus* record =
      written ? written.get() : details->IsExistingInstallation() ? details->GetDetails() : nullptr;
  if (written)
    installation_status_.subfolder = written->subfolder;
  if (record) {
    for (const InstallationStatus::Component& component : record->components) {
      if (!IsPlainComponentName(component.name)) {
        LOG(ERROR) << "Not a component name: " << logging::UntrustedText(component.name);
        continue;
      }
      base::FilePath folder(component.path);
      base::CommandLine child(GetComponentInstallerPath(folder, component.name));
      child.AppendSwitch(switches::kPostElevatedInstallTasks);
      child.AppendSwitchPath(switches::kInstallFolder, folder);
      LOG(INFO) << "Launching " << logging::UntrustedText(component.name)
                << " component subinstaller with command line "
                << base::WideToUTF8(child.GetCommandLineString());
      base::LaunchProcess(child.GetCommandLineString(), base::LaunchOptions());
    }
  }
  if (operation != UNINSTALLING)
    FinalizeInstallation();
}

}  // namespace installer
