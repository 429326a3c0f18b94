#include "desktop/windows/installer/installer.h"

#include <utility>

#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_split.h"
#include "base/strings/utf_string_conversions.h"
#include "base/time/clock.h"
#include "base/time/default_clock.h"
#include "base/values.h"
#include "crash_reporting/crash_points.h"
#include "desktop/windows/installer/installation_folder_details.h"
#include "desktop/windows/installer/installation_folder_details_impl.h"
#include "desktop/windows/installer/installer_observer.h"
#include "desktop/windows/installer/interrupted_run_cleanup.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/os_operations.h"
#include "desktop/windows/installer/pref_default_overrides_fetcher.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/settings_switches.h"
#include "desktop/windows/installer/service/contained_path.h"
#include "desktop/windows/installer/service/installation.h"
#include "desktop/windows/installer/service/prefs_task_pool_holder.h"
#include "desktop/windows/installer/service/privileges.h"
#include "desktop/windows/installer/service/registry_template_entry.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/transactions/create_folder_operation.h"
#include "desktop/windows/installer/service/transactions/delete_file_operation.h"
#include "desktop/windows/installer/steps/installer_step.h"
#include "desktop/windows/installer/steps/remove_installed_files_step.h"
#include "desktop/windows/installer/steps/shortcut_installer.h"
#include "features/command_line_feature_reader.h"
#include "features/feature_registry.h"
#include "features/features.h"
#include "features/installer_features.h"
#include "features/list_value_feature_reader.h"
#include "product_config/product_config.h"
#include "desktop/windows/installer/installer_kernel_objects.h"

namespace installer {

namespace {

// Generic read, write and execute of files: what the run needs in its folder.
constexpr ACCESS_MASK kInstallFolderAccess = 0x001201BF;
// A step runs at most this many times after its first run.
constexpr int kMaxStepRetries = 5;
// How long the browser's launcher may take to hand over to the browser.
constexpr DWORD kLauncherWaitMs = 60 * 1000;

constexpr char kInstallerExperimentsPref[] = "installer-experiments";
constexpr wchar_t kLocalStateFileName[] = L"Local State";
constexpr wchar_t kPreferencesFileName[] = L"Preferences";
constexpr wchar_t kPartnerContentFileName[] = L"custom_partner_content.json";
constexpr wchar_t kTrackingUserAgentFileName[] = L"tracking_user_agent.json";
constexpr char kKeepPartnerContentFeature[] = "keep-custom-partner-content-file-in-profile";

const RegistryTemplate kSetLastInstallPathRow = {
    L"{CompanyRegistryKey}", L"Last {Stream} Install Path", REG_SZ,
    TemplateText(L"{InstallFolder}\\"), 1, nullptr, 0, 0, 0};
const RegistryTemplate kDeleteLegacyX64LastInstallPathRow = {
    L"{CompanyRegistryKey}", L"Last {Stream} Install Path x64", kRegistryTemplateRemoveValue,
    TemplateText(L"{InstallFolder}\\"), 1, nullptr, 0, 0, 0};

// The non-empty lines of a files list, split at CR and LF, white space kept.
std::vector<std::string> SplitFilesList(const std::string& contents) {
  return base::SplitString(contents, "\r\n", base::KEEP_WHITESPACE, base::SPLIT_WANT_NONEMPTY);
}

}  // namespace

Installer::Installer(std::unique_ptr<OsOperations> os_operations,
                     const InstallerEnvironment& environment)
    : os_operations_(std::move(os_operations)),
      environment_(environment),
      task_runner_(base::SingleThreadTaskRunner::GetCurrentDefault()) {
  FillInstallerEnvironment(&environment_);
}

Installer::~Installer() {
  if (running_)
    Cancel();
  package_ready_watcher_.StopWatching();
  interrupted_watcher_.StopWatching();
  package_ready_event_.Close();
  interrupted_event_.Close();
  steps_.clear();
  done_event_.Close();
}

void Installer::AddObserver(InstallerObserver* observer) {
  observers_.AddObserver(observer);
}

void Installer::RemoveObserver(InstallerObserver* observer) {
  observers_.RemoveObserver(observer);
}

void Installer::Start(Settings* settings) {
  LOG(INFO) << "Beginning installation";
  CHECK(!settings_);
  CHECK(!settings->IsFetchingStatus());
  settings->SetEditable(false);
  settings_ = settings;
  succeeded_ = false;
  ended_ = false;
  task_runner_->PostTask(FROM_HERE,
                         base::BindOnce(&Installer::Run, weak_factory_.GetWeakPtr()));
}

const base::CommandLine& Installer::command_line() const {
  return *environment_.command_line;
}

void Installer::Run() {
  running_ = true;
  InstallationOperation operation = settings_->GetOperation();
  const InstallationFolderDetails* details = settings_->GetFolderDetails();
  if (operation == REGISTERING_PROTOCOL_HANDLER) {
    base::PathService::Get(base::DIR_EXE, &package_folder_);
    BuildAndStartSteps(operation);
    return;
  }
  if (operation != UPGRADING && !details->IsDrovikInstallation() && settings_->GetAutoupdate()) {
    LOG(ERROR) << Fail(ERROR_CATEGORY_NOT_ALLOWED_IN_AUTOUPDATE, std::wstring(),
                       "Settings operation invalid for autoupdate");
    return;
  }
  if (operation == INVALID_PATH) {
    LOG(ERROR) << Fail(ERROR_CATEGORY_INVALID_OPERATION, std::wstring(),
                       "Settings operation invalid");
    return;
  }
  if (!base::PathService::Get(base::DIR_EXE, &package_folder_)) {
    LOG(ERROR) << Fail(ERROR_CATEGORY_INSTALLATION, std::wstring(), "Failed getting our own path");
    return;
  }
  if (command_line().HasSwitch(switches::kPostElevatedInstallTasks)) {
    LOG(INFO) << "Post elevation installation tasks only";
    RunPostElevationTasks();
    Succeed();
    return;
  }

  std::wstring event_name = GetKernelObjectName(settings_->GetInstallPath().value(),
                                                kernel_objects::kInstallationInterruptedEvent, true);
  VLOG(1) << "Event name for interrupted installation: " << base::WideToUTF8(event_name);
  interrupted_event_.Set(::OpenEventW(SYNCHRONIZE, FALSE, event_name.c_str()));
  if (!interrupted_event_.IsValid()) {
    LOG(ERROR) << Fail(ERROR_CATEGORY_INSTALLATION, std::wstring(),
                       "Failed to open a handle to the installation interrupted event");
    return;
  }
  if (!interrupted_watcher_.StartWatchingOnce(interrupted_event_.Get(), this)) {
    LOG(ERROR) << Fail(ERROR_CATEGORY_INSTALLATION, std::wstring(),
                       "Failed to watch the installation interrupted event");
    return;
  }

  if (command_line().HasSwitch(switches::kParentPid)) {
    unsigned pid = 0;
    if (base::StringToUint(command_line().GetSwitchValueASCII(switches::kParentPid), &pid))
      second_installer_pid_ = pid;
    LOG(INFO) << "Second installer pid: " << second_installer_pid_;
  }

  Privileges* privileges = environment_.privileges;
  const bool is_elevated_admin = privileges->IsElevatedAdministrator();
  LOG(INFO) << "is_elevated_admin: " << is_elevated_admin;
  bool write_access = true;
  const base::FilePath& path = details->GetPath();
  const bool all_users = settings_->GetAllUsers();

  if (all_users && settings_->GetSilent() && !is_elevated_admin) {
    LOG(ERROR) << Fail(ERROR_CATEGORY_INSTALLATION, std::wstring(),
                       "Installation requires elevation, but cannot elevate when silent");
    return;
  }
  if (details->GetValidParentFolder() != path && (!all_users || is_elevated_admin)) {
    VLOG(2) << "Using write permissions from the status";
    write_access = details->HasWriteAccess();
    if (write_access &&
        !transaction_.Do(std::make_unique<CreateFolderOperation>(path.value()))) {
      LOG(ERROR) << Fail(ERROR_CATEGORY_INSTALLATION, path.value(),
                         "Could not create installation folder");
      return;
    }
  }
  if (operation != UNINSTALLING && !settings_->GetCopyOnly() && !settings_->GetAutoupdate())
    SaveLastInstallPath();
  if (write_access)
    write_access = privileges->CheckFileAccess(path, kInstallFolderAccess);
  const bool single_profile_wanted =
      settings_->GetSingleProfile() && details->GetSingleProfile() != 1;
  if (operation == INSTALLING && !write_access && single_profile_wanted) {
    LOG(ERROR) << Fail(ERROR_CATEGORY_NO_FOLDER_RIGHTS, std::wstring(),
                       "Single profile installations are only allowed to locations where the "
                       "user has write access");
    return;
  }
  if (all_users && !is_elevated_admin) {
    LOG(INFO) << "All users is set but we have no admin privs -> elevate";
    EndWithElevatedResult(RunElevated());
    return;
  }
  LOG(INFO) << "Write privileges for install folder: " << write_access;
  if (!write_access &&
      !privileges->GrantFileAccess(path, kInstallFolderAccess, false, &saved_folder_security_)) {
    if (is_elevated_admin) {
      LOG(ERROR) << Fail(ERROR_CATEGORY_NO_FOLDER_RIGHTS, std::wstring(),
                         "Could not obtain write permissions to installation folder");
      return;
    }
    if (privileges->IsAdministrator()) {
      LOG(INFO) << "Running elevated because of folder privileges";
      EndWithElevatedResult(RunElevated());
      return;
    }
    LOG(INFO) << "Need temporary write permissions from administrative user";
    bool permanent = settings_->GetSingleProfile() || command_line().HasSwitch(switches::kComponents);
    switch (GiveFolderPermissions(path, permanent)) {
      case CHILD_SUCCEEDED:
        VLOG(2) << "Temporary write permission obtained";
        if (!privileges->CheckFileAccess(path, kInstallFolderAccess)) {
          LOG(ERROR) << Fail(ERROR_CATEGORY_NO_FOLDER_RIGHTS, std::wstring(),
                             "No write access to installation folder after attempting to get it "
                             "via elevated process");
          return;
        }
        break;
      case CHILD_NOT_ELEVATED:
        LOG(ERROR) << Fail(ERROR_CATEGORY_ELEVATION_FAILED, std::wstring(),
                           "Failed to elevate the process to give us write permissions to "
                           "installation folder");
        return;
      case CHILD_FAILED:
        LOG(ERROR) << Fail(ERROR_CATEGORY_INSTALLATION, std::wstring(),
                           "The process for giving us write permission to the installer folder "
                           "didn't complete successfully");
        return;
      default:
        LOG(ERROR) << Fail(ERROR_CATEGORY_INSTALLATION, std::wstring(),
                           "Error when setting up the process to give us write permissions to "
                           "installation folder");
        return;
    }
  }
  if (!transaction_.Do(std::make_unique<CreateFolderOperation>(path.value()))) {
    LOG(ERROR) << Fail(ERROR_CATEGORY_FOLDER_NOT_CREATED, path.value(),
                       "Could not create installation folder");
    return;
  }
  // A single-profile install by an administrator leaves the user full rights
  // on the profile folder alone: the install folder holds executables that a
  // SYSTEM task runs, so the user gets no rights there beyond the default.
  if (operation == INSTALLING && is_elevated_admin && single_profile_wanted &&
      !settings_->GetProfileFolder().empty()) {
    const base::FilePath& profile = settings_->GetProfileFolder();
    if (!transaction_.Do(std::make_unique<CreateFolderOperation>(profile.value())) ||
        !privileges->GrantFileAccess(profile, GENERIC_ALL, true, nullptr)) {
      LOG(WARNING) << "Could not give the user rights on the profile folder";
    }
  }
  for (InstallerObserver& observer : observers_)
    observer.OnImportantEvent();
  if (command_line().HasSwitch(switches::kWaitForPackage)) {
    VLOG(2) << "Need to wait for package";
    WaitForPackage(false);
    return;
  }
  // An elevated installer that runs from a package folder another account
  // can change (the user's, whoever started it and however) makes the
  // installation from what it takes from there (RunPackageInstaller).
  if ((operation == INSTALLING || operation == UPGRADING) && MustTakePackage(package_folder_)) {
    RunPackageInstaller(package_folder_);
    return;
  }
  if (!PrepareRun(operation))
    return;
  BuildAndStartSteps(operation);
}

bool Installer::PrepareRun(InstallationOperation operation) {
  const InstallationFolderDetails* details = settings_->GetFolderDetails();
  const base::FilePath& path = details->GetPath();
  installation_status_.copy_only = settings_->GetCopyOnly();
  installation_status_.all_users = settings_->GetAllUsers();
  installation_status_.path = path.value();
  installation_status_.version = GetVersion();
  const InstallationStatus* record = details->GetDetails();
  if (operation == UPGRADING && record && !record->app_id.empty()) {
    installation_status_.app_id = record->app_id;
  } else {
    installation_status_.app_id = base::NumberToString(
        static_cast<long long>(environment_.clock->Now().ToTimeT()));
    VLOG(1) << "AppId for new installation: " << installation_status_.app_id;
  }

  if (operation == INSTALLING || operation == UPGRADING) {
    if (!ReadFilesLists())
      return false;
    CleanUpAfterInterruptedRun();
    if (!CreateVersionSubfolder())
      return false;
  } else if (operation == UNINSTALLING) {
    CleanUpAfterInterruptedRun();
  }
  if (operation == UNINSTALLING && record) {
    base::FilePath browser = path;
    if (!record->subfolder.empty() &&
        !AppendContainedPath(path, record->subfolder, &browser)) {
      browser.clear();
    }
    std::string executable = GetBrowserExecutableName();
    // The deletion is only a test of whether the browser runs: it is kept
    // in the transaction and becomes final with the rest of the uninstall.
    if (browser.empty() ||
        !transaction_.Do(std::make_unique<DeleteFileOperation>(
            browser.AppendASCII(executable).value(), true, false))) {
      LOG(ERROR) << Fail(ERROR_CATEGORY_BROWSER_IN_USE, std::wstring(),
                         "Can't uninstall when " + executable + " is in use");
      return false;
    }
  }
  if (operation == UPGRADING) {
    scoped_refptr<JsonPrefStore> prefs =
        GetPrefsTaskPool()->CreateJsonPrefStore(path.Append(kInstallerPrefsFileName));
    const base::Value* experiments = nullptr;
    if (prefs->GetValue(kInstallerExperimentsPref, &experiments) && experiments->is_list()) {
      GetFeatureRegistry()->ApplyReader(ListValueFeatureReader(experiments->GetList()));
      GetFeatureRegistry()->ApplyReader(CommandLineFeatureReader(command_line()));
    }
  }
  if (details->ContainsName(kInstallerExperimentTestFeature) !=
      IsFeatureEnabled(kInstallerExperimentTestFeature)) {
    LOG(INFO) << "Changing the status of the test experiment.";
  }
  return true;
}

void Installer::SaveLastInstallPath() {
  LOG(INFO) << "Saving last installation path.";
  std::unique_ptr<Operation> operation;
  RegistryTemplateEntry entry(kSetLastInstallPathRow, this);
  if (!entry.Apply(HKEY_CURRENT_USER, &operation) || !operation) {
    LOG(ERROR) << "Could not convert kSetLastInstallPathRegOp";
  } else if (!transaction_.Do(std::move(operation))) {
    LOG(WARNING) << "Could not write last installation path";
  }
  if (settings_->GetArchitecture() != 1)
    return;
  RegistryTemplateEntry legacy(kDeleteLegacyX64LastInstallPathRow, this);
  if (!legacy.Apply(HKEY_CURRENT_USER, &operation) || !operation ||
      !transaction_.Do(std::move(operation))) {
    LOG(WARNING) << "Could not delete legacy x64 last install path";
  }
}

bool Installer::ReadFilesLists() {
  LOG(INFO) << "Reading files list";
  std::string contents;
  if (!base::ReadFileToString(package_folder_.Append(kFilesListName), &contents)) {
    LOG(ERROR) << Fail(ERROR_CATEGORY_INSTALLATION, std::wstring(), "Could not read files list");
    return false;
  }
  files_list_ = SplitFilesList(contents);
  if (files_list_.empty()) {
    LOG(ERROR) << Fail(ERROR_CATEGORY_INSTALLATION, std::wstring(), "No files in files list");
    return false;
  }
  root_files_list_.clear();
  if (base::ReadFileToString(package_folder_.Append(kRootFilesListName), &contents)) {
    root_files_list_ = SplitFilesList(contents);
    LOG(INFO) << "Read root files list";
  }
  // Entries name files below the package and the install folder: one that
  // could leave them refuses the whole package before anything is copied.
  for (const std::vector<std::string>* list : {&files_list_, &root_files_list_}) {
    for (const std::string& entry : *list) {
      if (!IsContainedRelativePath(entry)) {
        LOG(ERROR) << Fail(ERROR_CATEGORY_INSTALLATION, std::wstring(),
                           "Files list entry outside the installation: " + entry);
        return false;
      }
    }
  }
  CHECK_LE(files_list_.size() + root_files_list_.size(), 2147483647u);
  return true;
}

void Installer::CleanUpAfterInterruptedRun() {
  // Before the version folder is chosen: a folder left by an interrupted run
  // of this version is removed rather than skipped.
  std::vector<std::wstring> root_names = {kLauncherName,
                                          InstallationFolderDetailsImpl::kTrackingDataFileName,
                                          PrefDefaultOverridesFetcher::kFileName,
                                          kInstallerPrefsFileName};
  for (const std::string& entry : root_files_list_)
    root_names.push_back(base::UTF8ToWide(entry));
  // The shortcuts, which runs of every install folder replace and remove.
  const InstallationFolderDetails* details = settings_->GetFolderDetails();
  std::vector<InterruptedRunCleanup::SharedFiles> shared_files;
  for (const base::FilePath& folder : ShortcutInstaller::GetEveryShortcutFolder())
    shared_files.push_back({folder, ShortcutInstaller::GetShortcutName()});
  base::FilePath start_menu;
  if (base::PathService::Get(base::DIR_START_MENU, &start_menu)) {
    shared_files.push_back(
        {start_menu, RemoveInstalledFilesStep::kOldCompanionShortcutPattern});
  }
  for (const std::vector<base::FilePath>* pinned :
       {&details->GetPinnedShortcutPaths(), &details->GetSecondaryPinnedShortcutPaths()}) {
    for (const base::FilePath& shortcut : *pinned)
      shared_files.push_back({shortcut.DirName(), shortcut.BaseName().value()});
  }
  InterruptedRunCleanup(details->GetPath(), details->GetDetails(), GetVersion(),
                        std::move(root_names), std::move(shared_files))
      .Run();
}

bool Installer::CreateVersionSubfolder() {
  const base::FilePath& path = settings_->GetFolderDetails()->GetPath();
  std::string version = GetVersion();
  std::string subfolder = version;
  for (int counter = 0; base::PathExists(path.AppendASCII(subfolder)); ++counter)
    subfolder = version + "_" + base::NumberToString(counter);
  LOG(INFO) << "Installation subfolder " << subfolder;
  installation_status_.subfolder = base::ASCIIToWide(subfolder);
  if (!transaction_.Do(
          std::make_unique<CreateFolderOperation>(path.AppendASCII(subfolder).value()))) {
    LOG(ERROR) << Fail(ERROR_CATEGORY_FOLDER_NOT_CREATED, base::ASCIIToWide(subfolder),
                       "Creating installation subfolder failed");
    return false;
  }
  return true;
}

void Installer::BuildAndStartSteps(InstallationOperation operation) {
  InstallerStepListInput input;
  input.host = this;
  input.files_list = &files_list_;
  input.root_files_list = &root_files_list_;
  input.uninstall_key_name = &uninstall_key_name_;
  input.launcher_architecture =
      GetPeArchitecture(settings_->GetFolderDetails()->GetPath().Append(kLauncherName));
  steps_ = environment_.step_list_builder.Run(operation, input);
  if (operation == INSTALLING || operation == UPGRADING) {
    int total = static_cast<int>(steps_.size() + files_list_.size() + root_files_list_.size()) - 1;
    for (InstallerObserver& observer : observers_)
      observer.OnTotalSteps(total);
  } else if (operation == UNINSTALLING) {
    int total = static_cast<int>(steps_.size()) + 1;
    for (InstallerObserver& observer : observers_)
      observer.OnTotalSteps(total);
  }
  next_step_ = 0;
  ScheduleNextStep();
}

void Installer::ScheduleNextStep() {
  if (next_step_ < steps_.size()) {
    InstallerStep* step = steps_[next_step_].get();
    task_runner_->PostTask(FROM_HERE,
                           base::BindOnce(&Installer::Step, weak_factory_.GetWeakPtr(), step, 0));
    for (InstallerObserver& observer : observers_)
      observer.OnStep();
    ++next_step_;
    return;
  }
  // The event's watcher may not have had its turn yet: an interruption that
  // came while the last step ran still stops the run before it is kept.
  if (CancelIfInterrupted())
    return;
  InstallationOperation operation = settings_->GetOperation();
  if (operation == INSTALLING || operation == UPGRADING)
    FinalizeInstallation();
  Succeed();
}

void Installer::Step(InstallerStep* step, int attempt) {
  crash_reporting::CrashPoint(crash_reporting::kCrashPointInstallerStep);
  StepResult result;
  step->Run(&result, attempt);
  bool retry = result.code == StepResult::CODE_RETRY_THEN_FAIL ||
               result.code == StepResult::CODE_RETRY_THEN_CONTINUE;
  if (retry && attempt < kMaxStepRetries) {
    task_runner_->PostDelayedTask(
        FROM_HERE,
        base::BindOnce(&Installer::Step, weak_factory_.GetWeakPtr(), step, attempt + 1),
        environment_.step_retry_delay);
    return;
  }
  if (result.code == StepResult::CODE_DONE ||
      result.code == StepResult::CODE_RETRY_THEN_CONTINUE) {
    ScheduleNextStep();
    return;
  }
  LOG(ERROR) << Fail(result.category, result.detail, result.message);
}

std::string Installer::Fail(uint32_t category, const std::wstring& detail,
                            const std::string& message) {
  if (ended_) {
    LOG(WARNING) << "Failure after the end of the run: " << message;
    return message;
  }
  for (InstallerObserver& observer : observers_)
    observer.OnError(static_cast<int>(category), detail, message);
  Cancel();
  return message;
}

bool Installer::CancelIfInterrupted() {
  if (!interrupted_event_.IsValid() ||
      ::WaitForSingleObject(interrupted_event_.Get(), 0) != WAIT_OBJECT_0) {
    return false;
  }
  LOG(INFO) << "Installation was interrupted";
  Cancel();
  return true;
}

void Installer::Cancel() {
  if (ended_) {
    LOG(WARNING) << "Cancel after the end of the run";
    return;
  }
  ended_ = true;
  LOG(INFO) << "Installation cancelled";
  transaction_.Rollback();
  Finish();
  for (InstallerObserver& observer : observers_)
    observer.OnInstallerTerminated(false);
}

void Installer::Succeed() {
  if (ended_) {
    LOG(WARNING) << "Success after the end of the run";
    return;
  }
  ended_ = true;
  // What the run reports is so before it reports it: the backups of what
  // the run replaced go now, and what it does only when kept (an
  // uninstall's clean-up) is done, so that a run killed after it said it
  // succeeded has left neither behind.
  transaction_.Commit();
  LOG(INFO) << "Installation succeeded";
  succeeded_ = true;
  for (InstallerObserver& observer : observers_)
    observer.OnSuccess();
  crash_reporting::CrashPoint(crash_reporting::kCrashPointInstallerSucceeded);
  Finish();
}

void Installer::Finish() {
  if (!saved_folder_security_.empty())
    environment_.privileges->RestoreFileAccess(&saved_folder_security_);
  if (done_event_.IsValid())
    ::SetEvent(done_event_.Get());
  // Steps and retries still posted belong to the run that ends here.
  weak_factory_.InvalidateWeakPtrs();
  interrupted_watcher_.StopWatching();
  settings_ = nullptr;
  uninstall_key_name_.clear();
  running_ = false;
}

void Installer::FinalizeInstallation() {
  LOG(INFO) << "Finalizing successful installation";
  const InstallationFolderDetails* details = settings_->GetFolderDetails();
  const base::FilePath& profile = details->GetProfilePath();
  if (!profile.empty()) {
    VLOG(1) << "User profile modifications";
    scoped_refptr<JsonPrefStore> local_state =
        GetPrefsTaskPool()->CreateJsonPrefStore(profile.Append(kLocalStateFileName));
    const base::Value* locale = nullptr;
    if (local_state->GetValue("intl.app_locale", &locale)) {
      LOG(INFO) << "Updating user profile language";
      local_state->SetValue("intl.app_locale",
                            base::Value(base::WideToUTF8(settings_->GetInstallLanguage())));
    }
    if (!settings_->GetAutoupdate()) {
      scoped_refptr<JsonPrefStore> preferences =
          GetPrefsTaskPool()->CreateJsonPrefStore(profile.Append(kPreferencesFileName));
      LOG(INFO) << "Removing stat pref from the user profile";
      preferences->RemoveValue("statistics.collection_enabled");

      base::FilePath profile_partner = profile.Append(kPartnerContentFileName);
      base::FilePath profile_agent = profile.Append(kTrackingUserAgentFileName);
      base::FilePath resources = details->GetPath()
                                     .Append(installation_status_.subfolder)
                                     .Append(L"resources");
      base::FilePath new_partner = resources.Append(kPartnerContentFileName);
      base::FilePath new_agent = resources.Append(kTrackingUserAgentFileName);
      bool updated = false;
      if (installation_status_.subfolder.empty()) {
        // Without the new version's folder its files cannot be told missing:
        // the user's files stay as they are.
        LOG(ERROR) << "The installed version's folder is unknown: partner content left as it is";
      } else if (!base::PathExists(new_partner) && !base::PathExists(new_agent)) {
        bool partner_existed = base::PathExists(profile_partner);
        bool partner_deleted = partner_existed && base::DeleteFile(profile_partner);
        base::DeleteFile(profile_agent);
        LOG(INFO) << "Removing tracking ua file from the user profile";
        updated = partner_deleted;
      } else if (!base::PathExists(profile_partner) && !base::PathExists(profile_agent) &&
                 IsFeatureEnabled(kKeepPartnerContentFeature) && base::PathExists(new_partner)) {
        LOG(INFO) << "Installed new cutsom edition to the user profile";
        updated = base::CopyFile(new_partner, profile_partner);
        if (!updated)
          LOG(WARNING) << "Failed to copy new custom edition file.";
      }
      if (updated) {
        LOG(INFO) << "Flag the fact that custom content was updated in profile.";
        local_state->SetValue("custom_partner_content.updated", base::Value(true));
      }
    }
  }
  if (settings_->GetLaunch()) {
    base::CommandLine launcher(details->GetPath().Append(kLauncherName));
    settings_->CopyImportSwitches(&launcher);
    if (settings_->GetOperation() != UPGRADING)
      launcher.AppendSwitch(switches::kStartMaximized);
    LOG(INFO) << "Launching velto with command line "
              << base::WideToUTF8(launcher.GetCommandLineString());
    base::Process process = base::LaunchProcess(launcher.GetCommandLineString(),
                                                base::LaunchOptions());
    // The launcher hands over to the browser and ends; the run does not wait
    // for longer than that may reasonably take.
    if (process.IsValid() && !process.WaitForExitWithTimeout(kLauncherWaitMs, nullptr))
      LOG(WARNING) << "The launcher did not end in time";
  }
}

void Installer::EndWithElevatedResult(int result) {
  switch (result) {
    case CHILD_SUCCEEDED:
      VLOG(2) << "Succeeded elevated run";
      // After an elevated run that waited for the package, the run ends with
      // the package's own installer (WaitForPackage), not here.
      if (!command_line().HasSwitch(switches::kWaitForPackage))
        Succeed();
      return;
    case CHILD_NOT_ELEVATED:
      LOG(ERROR) << Fail(ERROR_CATEGORY_ELEVATION_FAILED, std::wstring(),
                         "Elevated installation failed.");
      return;
    case CHILD_FAILED:
      LOG(ERROR) << Fail(ERROR_CATEGORY_INSTALLATION, std::wstring(),
                         "Installer process did not complete successfully.");
      return;
    default:
      LOG(ERROR) << Fail(ERROR_CATEGORY_INSTALLATION, std::wstring(),
                         "Error when setting up the installer process");
      return;
  }
}

// InstallerStepHost:

const Settings* Installer::GetSettings() {
  return settings_;
}

Transaction* Installer::GetTransaction() {
  return &transaction_;
}

OsOperations* Installer::GetOsOperations() {
  return os_operations_.get();
}

const InstallationStatus* Installer::GetFolderDetailsRecord() {
  return settings_->GetFolderDetails()->GetDetails();
}

const base::FilePath& Installer::GetPackageFolder() {
  return package_folder_;
}

const base::FilePath& Installer::GetInstallPath() {
  return settings_->GetFolderDetails()->GetPath();
}

const base::FilePath& Installer::GetInstallFolder() {
  return settings_->GetInstallPath();
}

InstallationStatus* Installer::GetInstallationStatus() {
  return &installation_status_;
}

const InstallationFolderDetails* Installer::GetFolderDetails() {
  return settings_->GetFolderDetails();
}

uint32_t Installer::GetSecondInstallerPid() {
  return second_installer_pid_;
}

VariableResolver* Installer::GetVariableResolver() {
  return this;
}

bool Installer::HasDoneEvent() {
  return done_event_.IsValid();
}

void Installer::BeginRegistryRecording() {
  recording_registry_ = true;
}

void Installer::EndRegistryRecording() {
  recording_registry_ = false;
}

void Installer::OnFileCopyRetry(const std::string& text) {
  for (InstallerObserver& observer : observers_)
    observer.OnFileCopyRetry(text);
}

bool Installer::IsExistingInstallation() {
  return settings_->GetFolderDetails()->IsExistingInstallation();
}

bool Installer::IsDrovikInstallation() {
  return settings_->GetFolderDetails()->IsDrovikInstallation();
}

bool Installer::IsMinimalInstall() {
  return base::PathExists(package_folder_.Append(kMinimalInstallMarkerName));
}

std::string Installer::GetServerTrackingData() {
  return command_line().GetSwitchValueASCII(switches::kServerTrackingData);
}

const InstallerEnvironment& Installer::GetEnvironment() {
  return environment_;
}

// VariableResolver:

std::wstring Installer::ResolveVariable(const std::wstring& name) {
  if (name == L"InstallFolder")
    return settings_->GetFolderDetails()->GetPath().value();
  if (name == L"Version")
    return base::UTF8ToWide(GetVersion());
  if (name == L"Executable")
    return base::UTF8ToWide(GetBrowserExecutableName());
  if (name == L"Product")
    return base::UTF8ToWide(GetProductName());
  if (name == L"Company")
    return base::UTF8ToWide(ProductConfig::GetCompanyName());
  if (name == L"CompanyRegistryKey")
    return GetProductRegistryKey();
  if (name == L"Stream")
    return base::UTF8ToWide(GetStreamName());
  if (name == L"Uninstall")
    return uninstall_key_name_;
  if (name == L"HelpURL")
    return base::UTF8ToWide(ProductConfig::GetUrl("help"));
  if (name == L"CompanyURL")
    return base::UTF8ToWide(ProductConfig::GetUrl("homepage"));
  if (name == L"DownloadsURL")
    return base::UTF8ToWide(ProductConfig::GetUrl("download"));
  return name;
}

std::vector<InstallationStatus::RegistryKey>* Installer::GetRegistryKeys(HKEY root) {
  if (!recording_registry_)
    return nullptr;
  return root == HKEY_LOCAL_MACHINE ? &installation_status_.hklm_keys
                                    : &installation_status_.hkcu_keys;
}

}  // namespace installer
