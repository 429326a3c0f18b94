#include "desktop/windows/installer/settings_impl.h"

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <utility>

#include "base/base_paths.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/location.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/task/sequenced_task_runner.h"
#include "base/threading/thread.h"
#include "base/win/registry.h"
#include "base/win/registry_key_iterator.h"
#include "base/win/scoped_com_initializer.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/drive_lister_impl.h"
#include "desktop/windows/installer/installation_folder_details_impl.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/service/installation.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/user_token.h"
#include "desktop/windows/installer/service/windows_version_provider_impl.h"
#include "desktop/windows/installer/settings_command_line.h"
#include "desktop/windows/installer/settings_observer.h"
#include "desktop/windows/installer/settings_switches.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

constexpr int kMainReleaseChannel = 4;
constexpr wchar_t kUserProgramFilesFolderName[] = L"Programs";
// Drive order values below this one stay offered after the best drive.
constexpr int kWorstOfferedDriveOrder = 5;

uint32_t Bit(SettingsFlag flag) {
  return 1u << flag;
}

std::wstring ProductDisplayName() {
  return base::UTF8ToWide(GetProductDisplayName());
}

// Removable drives first, CD-ROMs and unknown drives last.
int DriveOrder(UINT type) {
  switch (type) {
    case DRIVE_REMOVABLE:
      return 0;
    case DRIVE_REMOTE:
      return 1;
    case DRIVE_FIXED:
      return 3;
    case DRIVE_RAMDISK:
      return 4;
    case DRIVE_CDROM:
      return 5;
    case DRIVE_NO_ROOT_DIR:
      return 7;
    default:
      return 6;
  }
}

// Whether an uninstall entry's stream word names this build's stream.
bool IsThisBuildsStream(const std::wstring& word) {
  switch (GetChannelNumber()) {
    case 4:
      return word == L"Tamber";
    case 3:
      return word == L"quenn" || word == L"Pallex";
    case 2:
      return word == L"fennick" || word == L"Fennick";
    case 1:
      return word == L"ulvane";
    default:
      return false;
  }
}

}  // namespace

// One analysis in flight: made on the settings' thread, filled on the
// worker, handed back in the reply unless cancelled meanwhile.
class SettingsImpl::StatusFetch : public base::RefCountedThreadSafe<StatusFetch> {
 public:
  StatusFetch(const base::FilePath& path, bool replace_old_engine, bool autoupdate,
              FolderDetailsFactory factory)
      : path_(path),
        replace_old_engine_(replace_old_engine),
        autoupdate_(autoupdate),
        factory_(std::move(factory)) {}

  // On the worker.
  void Run() {
    base::win::ScopedCOMInitializer com;
    details_ = factory_.Run(replace_old_engine_);
    details_->Initialize(path_, autoupdate_ ? 1 : 0);
  }

  const base::FilePath& path() const { return path_; }
  void Cancel() { cancelled_ = true; }
  bool cancelled() const { return cancelled_; }
  std::unique_ptr<InstallationFolderDetails> TakeDetails() { return std::move(details_); }

 private:
  friend class base::RefCountedThreadSafe<StatusFetch>;
  ~StatusFetch() = default;

  const base::FilePath path_;
  const bool replace_old_engine_;
  const bool autoupdate_;
  FolderDetailsFactory factory_;
  std::unique_ptr<InstallationFolderDetails> details_;
  // Only touched on the settings' thread.
  bool cancelled_ = false;
};

SettingsImpl::Environment::Environment() = default;
SettingsImpl::Environment::Environment(const Environment&) = default;
SettingsImpl::Environment& SettingsImpl::Environment::operator=(const Environment&) = default;
SettingsImpl::Environment::~Environment() = default;

SettingsImpl::SettingsImpl(bool uninstall,
                           bool silent,
                           bool autoupdate,
                           const std::wstring& install_folder,
                           bool replace_old_engine,
                           int architecture,
                           const Environment& environment)
    : environment_(environment),
      command_line_install_folder_(base::FilePath(install_folder).NormalizePathSeparators()),
      architecture_(architecture) {
  if (!environment_.windows_version)
    environment_.windows_version = WindowsVersionProviderImpl::GetInstance();
  if (!environment_.folder_details_factory) {
    environment_.folder_details_factory = base::BindRepeating(
        [](bool replace) -> std::unique_ptr<InstallationFolderDetails> {
          return std::make_unique<InstallationFolderDetailsImpl>(replace);
        });
  }
  WriteFlag(UNINSTALL_FLAG, uninstall);
  WriteFlag(SILENT, silent);
  WriteFlag(AUTOUPDATE, autoupdate);
  WriteFlag(REPLACE_DROVIK_INSTALLATION, replace_old_engine);
  folder_details_ = MakeFolderDetails();

  ReadLastInstallPath();
  ListStandaloneFolders();

  VLOG(1) << "Obtaining system language";
  RcL10nHandler::GetInstance()->SetLanguage(&install_language_);
  LOG(INFO) << "Initializing settings";

  const base::CommandLine& command_line = GetCommandLine();
  if (uninstall) {
    WriteFlag(DELETE_PROFILE,
              ParseBoolSwitchValue(command_line.GetSwitchValueNative(switches::kDeleteUserProfile)));
    if (!command_line.HasSwitch(switches::kBackend))
      ReadRegisteredInstallations();
    SetInstallFolder(Installation::GetCurrent()->GetFolder());
    return;
  }

  if (command_line.HasSwitch(switches::kLanguage))
    SetInstallLanguage(command_line.GetSwitchValueNative(switches::kLanguage));
  ReadSettingsFromCommandLine();
  base::FilePath registry_folder;
  GetDefaultInstallFolder(&registry_folder, DEFAULT_FOLDER_REGISTRY);
  base::FilePath program_files_x86;
  if (architecture_ == 1 && command_line_install_folder_.empty() && !registry_folder.empty() &&
      base::PathService::Get(base::DIR_PROGRAM_FILESX86, &program_files_x86) &&
      program_files_x86.IsParent(registry_folder)) {
    // An x64 build finding the last install in the 32-bit program files:
    // upgrade that installation in place, or else start afresh in the x64
    // default folder rather than next to 32-bit programs.
    std::unique_ptr<InstallationFolderDetails> details = MakeFolderDetails();
    details->Initialize(registry_folder, autoupdate ? 1 : 0);
    if (details->IsExistingInstallation()) {
      OnFolderDetailsReady(std::move(details));
    } else {
      base::FilePath standard;
      GetDefaultInstallFolder(&standard, DEFAULT_FOLDER_STANDARD);
      SetInstallFolder(standard);
    }
    return;
  }
  base::FilePath folder;
  GetDefaultInstallFolder(
      &folder, DEFAULT_FOLDER_COMMAND_LINE | DEFAULT_FOLDER_REGISTRY | DEFAULT_FOLDER_STANDARD);
  SetInstallFolder(folder);
}

SettingsImpl::~SettingsImpl() {
  if (pending_fetch_)
    pending_fetch_->Cancel();
  // Joins the worker: an analysis still running finishes first.
  worker_thread_.reset();
}

const base::CommandLine& SettingsImpl::GetCommandLine() const {
  return environment_.command_line ? *environment_.command_line
                                   : *base::CommandLine::ForCurrentProcess();
}

std::unique_ptr<InstallationFolderDetails> SettingsImpl::MakeFolderDetails() const {
  return environment_.folder_details_factory.Run(GetFlag(REPLACE_DROVIK_INSTALLATION));
}

bool SettingsImpl::IsBeforeWindows7() const {
  return environment_.windows_version->GetVersion() < base::win::VERSION_WIN7;
}

bool SettingsImpl::IsAdministratorForDefaults() const {
  // A silent run cannot show the elevation prompt, so only rights held now
  // count there.
  const bool use_linked_token = !GetFlag(SILENT);
  if (environment_.user_token)
    return IsUserAdministrator(*environment_.user_token, use_linked_token);
  return IsUserAdministrator(use_linked_token);
}

// Default folder -------------------------------------------------------------

void SettingsImpl::GetDefaultInstallFolder(base::FilePath* path, int kind) const {
  VLOG(2) << "Retrieving default installation folder path"
          << " - Using command line: " << ((kind & DEFAULT_FOLDER_COMMAND_LINE) ? 1 : 0)
          << " - Using the registry: " << ((kind & DEFAULT_FOLDER_REGISTRY) ? 1 : 0)
          << " - Using the standard folder: " << ((kind & DEFAULT_FOLDER_STANDARD) ? 1 : 0);
  path->clear();
  if ((kind & DEFAULT_FOLDER_COMMAND_LINE) && !command_line_install_folder_.empty()) {
    *path = command_line_install_folder_;
    return;
  }
  VLOG(2) << "Default install folder: not from command line";
  if ((kind & DEFAULT_FOLDER_REGISTRY) && !GetFlag(COPY_ONLY)) {
    if (!last_install_folder_.empty()) {
      *path = last_install_folder_;
      return;
    }
  } else {
    VLOG(2) << "Default install folder: not from registry";
  }
  if (!(kind & DEFAULT_FOLDER_STANDARD))
    return;

  switch (GetInstallationMode()) {
    case ALL_USERS: {
      VLOG(2) << "Default install folder: for all users";
      base::FilePath program_files;
      const int key = architecture_ == 1 ? base::DIR_PROGRAM_FILES : base::DIR_PROGRAM_FILESX86;
      if (base::PathService::Get(key, &program_files))
        *path = program_files.Append(ProductDisplayName());
      return;
    }
    case STANDALONE:
      VLOG(2) << "Default install folder: for all standalone";
      if (!standalone_folders_.empty())
        *path = standalone_folders_.front();
      return;
    case CURRENT_USER: {
      VLOG(2) << "Default install folder: for current user";
      // The known folder is asked for its path also when it does not exist
      // yet (a user who never installed a program for themselves). Where it
      // cannot be had, it lies where it always did: the local application
      // data folder's "Programs".
      base::FilePath programs;
      if (IsBeforeWindows7() ||
          !GetKnownFolderPath(FOLDERID_UserProgramFiles, 0, &programs, false,
                              /*even_when_missing=*/true)) {
        programs.clear();
        if (base::PathService::Get(base::DIR_LOCAL_APP_DATA, &programs))
          programs = programs.Append(kUserProgramFilesFolderName);
      }
      if (!programs.empty())
        *path = programs.Append(ProductDisplayName());
      return;
    }
  }
}

void SettingsImpl::GetSuggestedInstallFolders(std::vector<base::FilePath>* folders) const {
  if (GetFlag(COPY_ONLY)) {
    *folders = standalone_folders_;
    return;
  }
  base::FilePath folder;
  GetDefaultInstallFolder(&folder, DEFAULT_FOLDER_REGISTRY | DEFAULT_FOLDER_STANDARD);
  folders->assign(1, folder);
}

// Flags ----------------------------------------------------------------------

bool SettingsImpl::GetFlag(SettingsFlag flag) const {
  return (flags_ & Bit(flag)) != 0;
}

void SettingsImpl::WriteFlag(SettingsFlag flag, bool value) {
  if (value)
    flags_ |= Bit(flag);
  else
    flags_ &= ~Bit(flag);
}

bool SettingsImpl::SetFlag(SettingsFlag flag, bool value) {
  if (!editable_)
    return false;
  WriteFlag(flag, value);
  VLOG(1) << GetSettingsFlagName(flag) << " set to: " << (value ? 1 : 0);
  NotifySettingChanged();
  return true;
}

void SettingsImpl::NotifySettingChanged() {
  for (SettingsObserver& observer : observers_)
    observer.OnSettingChanged();
}

void SettingsImpl::ApplyDefaultFlags() {
  WriteFlag(ALL_USERS_FLAG, IsAdministratorForDefaults());
  WriteFlag(COPY_ONLY, false);
  WriteFlag(LAUNCH_VELTO, true);
  WriteFlag(DEFAULT_BROWSER, GetChannelNumber() == kMainReleaseChannel && !GetFlag(AUTOUPDATE));
  WriteFlag(IMPORT_BROWSER_DATA, true);
  WriteFlag(ENABLE_INSTALLER_STATS, true);
  WriteFlag(ENABLE_VELTO_STATS, true);
  WriteFlag(SINGLE_PROFILE, false);
  WriteFlag(DESKTOP_SHORTCUT, true);
  WriteFlag(START_MENU_SHORTCUT, true);
  WriteFlag(QUICK_LAUNCH_SHORTCUT, IsBeforeWindows7());
  WriteFlag(PINNED_SHORTCUT, true);
}

void SettingsImpl::ApplyCopyOnlyRule(bool copy_only) {
  WriteFlag(COPY_ONLY, copy_only);
  if (copy_only) {
    for (SettingsFlag flag : {ALL_USERS_FLAG, DEFAULT_BROWSER, DESKTOP_SHORTCUT,
                              START_MENU_SHORTCUT, QUICK_LAUNCH_SHORTCUT, PINNED_SHORTCUT,
                              INSTALL_POMREL}) {
      WriteFlag(flag, false);
    }
    return;
  }
  const base::CommandLine& command_line = GetCommandLine();
  const std::pair<SettingsFlag, const char*> shortcuts[] = {
      {DESKTOP_SHORTCUT, switches::kDesktopShortcut},
      {START_MENU_SHORTCUT, switches::kStartMenuShortcut},
      {QUICK_LAUNCH_SHORTCUT, switches::kQuickLaunchShortcut},
      {PINNED_SHORTCUT, switches::kPinToTaskbar},
  };
  for (const auto& [flag, name] : shortcuts) {
    WriteFlag(flag, !command_line.HasSwitch(name) ||
                        ParseBoolSwitchValue(command_line.GetSwitchValueNative(name)));
  }
}

bool SettingsImpl::SetCopyOnly(bool value) {
  if (!editable_ || operation_ == UPGRADING)
    return false;
  ApplyCopyOnlyRule(value);
  LOG(INFO) << "COPY_ONLY set to: " << (value ? 1 : 0);
  NotifySettingChanged();
  return true;
}

bool SettingsImpl::SetLaunch(bool value) {
  return SetFlag(LAUNCH_VELTO, value);
}
bool SettingsImpl::SetDefaultBrowser(bool value) {
  return !GetFlag(COPY_ONLY) && SetFlag(DEFAULT_BROWSER, value);
}
bool SettingsImpl::SetImportBrowserData(bool value) {
  return SetFlag(IMPORT_BROWSER_DATA, value);
}
bool SettingsImpl::SetEnableInstallerStats(bool value) {
  return SetFlag(ENABLE_INSTALLER_STATS, value);
}
bool SettingsImpl::SetEnableVeltoStats(bool value) {
  return SetFlag(ENABLE_VELTO_STATS, value);
}
bool SettingsImpl::SetDesktopShortcut(bool value) {
  return !GetFlag(COPY_ONLY) && SetFlag(DESKTOP_SHORTCUT, value);
}
bool SettingsImpl::SetStartMenuShortcut(bool value) {
  return SetFlag(START_MENU_SHORTCUT, value);
}
bool SettingsImpl::SetQuickLaunchShortcut(bool value) {
  return SetFlag(QUICK_LAUNCH_SHORTCUT, value);
}
bool SettingsImpl::SetDeleteProfile(bool value) {
  return GetFlag(UNINSTALL_FLAG) && SetFlag(DELETE_PROFILE, value);
}
bool SettingsImpl::SetInstallPomrel(bool value) {
  return !GetFlag(COPY_ONLY) && SetFlag(INSTALL_POMREL, value);
}
bool SettingsImpl::SetSingleProfile(bool value) {
  return operation_ != UPGRADING && SetFlag(SINGLE_PROFILE, value);
}
bool SettingsImpl::SetAllUsers(bool value) {
  return operation_ != UPGRADING && !GetFlag(COPY_ONLY) && SetFlag(ALL_USERS_FLAG, value);
}

bool SettingsImpl::SetMode(InstallationMode mode) {
  VLOG(2) << "Changing Settings using SetMode";
  if (!editable_)
    return false;
  std::vector<base::FilePath> suggested;
  GetSuggestedInstallFolders(&suggested);
  const base::FilePath& current = GetInstallPath();
  const bool reset_folder =
      std::any_of(suggested.begin(), suggested.end(),
                  [&current](const base::FilePath& folder) {
                    return base::FilePath::CompareEqualIgnoreCase(folder.value(), current.value());
                  });
  const bool single_profile_may_change = !GetCommandLine().HasSwitch(switches::kSingleProfile);

  bool result = false;
  switch (mode) {
    case ALL_USERS:
    case CURRENT_USER:
      if (single_profile_may_change)
        SetSingleProfile(false);
      result = SetCopyOnly(false);
      if (result)
        result = SetAllUsers(mode == ALL_USERS);
      break;
    case STANDALONE:
      if (single_profile_may_change)
        SetSingleProfile(true);
      result = SetCopyOnly(true);
      break;
    default:
      return false;
  }

  if (reset_folder) {
    base::FilePath folder;
    GetDefaultInstallFolder(&folder, DEFAULT_FOLDER_REGISTRY | DEFAULT_FOLDER_STANDARD);
    SetInstallFolder(folder);
  }
  return result;
}

bool SettingsImpl::AlwaysTrue() const {
  return true;
}

bool SettingsImpl::CanSetDefaultBrowser() const {
  if (GetFlag(COPY_ONLY))
    return false;
  return !(GetFlag(REPLACE_DROVIK_INSTALLATION) && folder_details_->IsDrovikInstallation() &&
           folder_details_->IsHttpHandler());
}

bool SettingsImpl::IsNotCopyOnly() const {
  return !GetFlag(COPY_ONLY);
}
bool SettingsImpl::IsNewInstallation() const {
  return operation_ == INSTALLING;
}
bool SettingsImpl::HasRegisteredInstallation() const {
  return single_registration_;
}

bool SettingsImpl::GetLaunch() const { return GetFlag(LAUNCH_VELTO); }
bool SettingsImpl::GetDefaultBrowser() const { return GetFlag(DEFAULT_BROWSER); }
bool SettingsImpl::GetImportBrowserData() const { return GetFlag(IMPORT_BROWSER_DATA); }
bool SettingsImpl::GetEnableInstallerStats() const { return GetFlag(ENABLE_INSTALLER_STATS); }
bool SettingsImpl::GetEnableVeltoStats() const { return GetFlag(ENABLE_VELTO_STATS); }
bool SettingsImpl::GetDesktopShortcut() const { return GetFlag(DESKTOP_SHORTCUT); }
bool SettingsImpl::GetStartMenuShortcut() const { return GetFlag(START_MENU_SHORTCUT); }
bool SettingsImpl::GetQuickLaunchShortcut() const { return GetFlag(QUICK_LAUNCH_SHORTCUT); }
bool SettingsImpl::GetPinnedShortcut() const { return GetFlag(PINNED_SHORTCUT); }
bool SettingsImpl::GetDeleteProfile() const { return GetFlag(DELETE_PROFILE); }
bool SettingsImpl::GetReplaceDrovikInstallation() const {
  return GetFlag(REPLACE_DROVIK_INSTALLATION);
}
bool SettingsImpl::GetInstallPomrel() const { return GetFlag(INSTALL_POMREL); }
bool SettingsImpl::GetCopyOnly() const { return GetFlag(COPY_ONLY); }
bool SettingsImpl::GetSingleProfile() const { return GetFlag(SINGLE_PROFILE); }
bool SettingsImpl::GetAllUsers() const { return GetFlag(ALL_USERS_FLAG); }
bool SettingsImpl::GetSilent() const { return GetFlag(SILENT); }
bool SettingsImpl::GetUninstall() const { return GetFlag(UNINSTALL_FLAG); }
bool SettingsImpl::GetAutoupdate() const { return GetFlag(AUTOUPDATE); }

InstallationMode SettingsImpl::GetInstallationMode() const {
  if (GetFlag(COPY_ONLY))
    return STANDALONE;
  return GetFlag(ALL_USERS_FLAG) ? ALL_USERS : CURRENT_USER;
}

// Plain values ---------------------------------------------------------------

InstallationOperation SettingsImpl::GetOperation() const { return operation_; }
const InstallationFolderDetails* SettingsImpl::GetFolderDetails() const {
  return folder_details_.get();
}
bool SettingsImpl::IsFetchingStatus() const { return pending_fetch_ != nullptr; }
const base::FilePath& SettingsImpl::GetInstallPath() const { return folder_details_->GetPath(); }
const std::wstring& SettingsImpl::GetInstallLanguage() const { return install_language_; }
const base::FilePath& SettingsImpl::GetProfileFolder() const { return profile_folder_; }
void SettingsImpl::SetProfileFolder(const base::FilePath& folder) { profile_folder_ = folder; }
bool SettingsImpl::IsEditable() const { return editable_; }
void SettingsImpl::SetEditable(bool editable) { editable_ = editable; }
int SettingsImpl::GetArchitecture() const { return architecture_; }
const std::string& SettingsImpl::GetNiuid() const { return niuid_; }
void SettingsImpl::SetNiuid(const std::string& niuid) { niuid_ = niuid; }
const std::string& SettingsImpl::GetMedium() const { return medium_; }
void SettingsImpl::SetMedium(const std::string& medium) { medium_ = medium; }

void SettingsImpl::AddObserver(SettingsObserver* observer) {
  if (!observers_.HasObserver(observer))
    observers_.AddObserver(observer);
}

void SettingsImpl::RemoveObserver(SettingsObserver* observer) {
  observers_.RemoveObserver(observer);
}

void SettingsImpl::SetInstallLanguage(const std::wstring& language) {
  if (!editable_ || language == install_language_)
    return;
  install_language_ = language;
  VLOG(1) << "Attempt setting install_language_ to: " << base::WideToUTF8(install_language_);
  RcL10nHandler::GetInstance()->SetLanguage(&install_language_);
  LOG(INFO) << "Actual install_language_ set: " << base::WideToUTF8(install_language_);
  for (SettingsObserver& observer : observers_)
    observer.OnLanguageChanged();
}

// Command-line form ----------------------------------------------------------

void SettingsImpl::ReadSettingsFromCommandLine() {
  if (!editable_)
    return;
  ApplyDefaultFlags();
  if (environment_.command_line_form)
    environment_.command_line_form->ReadSettings(GetCommandLine(), this);
}

void SettingsImpl::CopyImportSwitches(base::CommandLine* command_line) const {
  if (environment_.command_line_form)
    environment_.command_line_form->CopyImportSwitches(GetCommandLine(), command_line);
}

base::CommandLine* SettingsImpl::ToCommandLine(base::CommandLine* command_line,
                                               bool suppress_launch) const {
  if (environment_.command_line_form)
    environment_.command_line_form->WriteSettings(*this, suppress_launch, command_line);
  return command_line;
}

void SettingsImpl::WriteStats(const std::string& prefix, StatsScope* scope) const {
  if (environment_.command_line_form)
    environment_.command_line_form->WriteStats(*this, prefix, scope);
}

void SettingsImpl::LogFlagsAndLanguage() const {
  for (SettingsFlag flag : {ENABLE_VELTO_STATS, IMPORT_BROWSER_DATA, LAUNCH_VELTO, SINGLE_PROFILE})
    LOG(INFO) << GetSettingsFlagName(flag) << ": " << (GetFlag(flag) ? 1 : 0);
  LOG(INFO) << "language: " << base::WideToUTF8(install_language_);
}

// Folder analysis ------------------------------------------------------------

void SettingsImpl::SetInstallFolderString(const std::wstring& folder) {
  SetInstallFolder(base::FilePath(folder));
}

void SettingsImpl::SetInstallFolder(const base::FilePath& given_folder) {
  if (!editable_)
    return;
  // The install path names the mutex, mailslot and events that the front
  // end and the back end meet at, and the back end receives it through its
  // command line, where folders are normalised: both must spell it alike.
  const base::FilePath folder = given_folder.NormalizePathSeparators();
  VLOG(1) << "Setting install folder to: " << folder.AsUTF8Unsafe();
  // Compared with the folder that will be current once a pending analysis
  // arrives, so that going back to the analysed folder cancels the other.
  if (pending_fetch_ && folder == GetInstallPath()) {
    pending_fetch_->Cancel();
    pending_fetch_ = nullptr;
    return;
  }
  if (folder == (pending_fetch_ ? pending_fetch_->path() : GetInstallPath()))
    return;
  if (pending_fetch_)
    pending_fetch_->Cancel();
  pending_fetch_ = base::MakeRefCounted<StatusFetch>(folder, GetFlag(REPLACE_DROVIK_INSTALLATION),
                                                     GetFlag(AUTOUPDATE),
                                                     environment_.folder_details_factory);
  FetchStatus(pending_fetch_);
}

scoped_refptr<base::TaskRunner> SettingsImpl::GetWorker() {
  if (environment_.worker)
    return environment_.worker;
  if (!worker_thread_) {
    worker_thread_ = std::make_unique<base::Thread>("FetchStatus");
    if (!worker_thread_->Start()) {
      LOG(ERROR) << "Cannot start the folder analysis thread";
      worker_thread_.reset();
      return nullptr;
    }
  }
  return worker_thread_->task_runner();
}

void SettingsImpl::FetchStatus(scoped_refptr<StatusFetch> fetch) {
  scoped_refptr<base::TaskRunner> worker = GetWorker();
  if (!worker ||
      !worker->PostTaskAndReply(FROM_HERE, base::BindOnce(&StatusFetch::Run, fetch),
                                base::BindOnce(&SettingsImpl::OnFetchReplied,
                                               weak_factory_.GetWeakPtr(), fetch))) {
    LOG(ERROR) << "Cannot post the folder analysis";
    if (pending_fetch_ == fetch)
      pending_fetch_ = nullptr;
  }
}

void SettingsImpl::OnFetchReplied(scoped_refptr<StatusFetch> fetch) {
  if (fetch->cancelled())
    return;
  OnFolderDetailsReady(fetch->TakeDetails());
}

void SettingsImpl::OnFolderDetailsReady(std::unique_ptr<InstallationFolderDetails> details) {
  if (!editable_)
    return;
  pending_fetch_ = nullptr;
  folder_details_ = std::move(details);
  const InstallationOperation old_operation = operation_;
  operation_ = INVALID_PATH;
  LOG(INFO) << "Install folder set: " << GetInstallPath().AsUTF8Unsafe();

  const bool uninstall = GetFlag(UNINSTALL_FLAG);
  const bool existing = folder_details_->IsExistingInstallation();
  if (!folder_details_->IsValidInstallPath() || (uninstall && !existing)) {
    VLOG(1) << "Invalid install folder";
    for (SettingsObserver& observer : observers_)
      observer.OnPathChanged();
    return;
  }
  LogFolderDetails(*folder_details_);

  // Values an earlier folder's installation gave must not stay.
  if (existing || old_operation == UPGRADING)
    ReadSettingsFromCommandLine();

  const base::CommandLine& command_line = GetCommandLine();
  if (uninstall)
    operation_ = UNINSTALLING;
  else if (existing)
    operation_ = command_line.HasSwitch(switches::kRegisterAsProtocolHandler)
                     ? REGISTERING_PROTOCOL_HANDLER
                     : UPGRADING;
  else
    operation_ = INSTALLING;
  LOG(INFO) << "Operation: " << operation_;

  const InstallationFolderDetails& folder = *folder_details_;
  if (existing) {
    VLOG(1) << "Using settings from existing installation";
    const InstallationStatus* status = folder.GetDetails();
    ApplyCopyOnlyRule(status->copy_only);
    WriteFlag(ALL_USERS_FLAG, status->all_users);
    if (folder.GetSingleProfile() == 1)
      WriteFlag(SINGLE_PROFILE, true);
    if (!command_line.HasSwitch(switches::kDesktopShortcut))
      WriteFlag(DESKTOP_SHORTCUT, folder.DesktopShortcutExists());
    if (!command_line.HasSwitch(switches::kStartMenuShortcut))
      WriteFlag(START_MENU_SHORTCUT, folder.StartMenuShortcutExists());
    if (!command_line.HasSwitch(switches::kQuickLaunchShortcut))
      WriteFlag(QUICK_LAUNCH_SHORTCUT, folder.QuickLaunchShortcutExists());
    if (!command_line.HasSwitch(switches::kPinToTaskbar)) {
      WriteFlag(PINNED_SHORTCUT,
                !folder.GetPinnedShortcutPaths().empty() || !GetFlag(AUTOUPDATE));
    }
    // A choice the installation never recorded is no refusal: it stays at
    // its default (on) rather than turning import or statistics off.
    if (!command_line.HasSwitch(switches::kImportBrowserData))
      WriteFlag(IMPORT_BROWSER_DATA, folder.GetImportBrowserData() != 0);
    if (!command_line.HasSwitch(switches::kEnableStats)) {
      WriteFlag(ENABLE_VELTO_STATS, folder.GetEnableStats() != 0);
      if (!command_line.HasSwitch(switches::kEnableInstallerStats))
        WriteFlag(ENABLE_INSTALLER_STATS, GetFlag(ENABLE_VELTO_STATS));
    }
    const bool drovik = folder.IsDrovikInstallation();
    const bool replace = GetFlag(REPLACE_DROVIK_INSTALLATION);
    if (GetFlag(AUTOUPDATE) && drovik && !replace)
      WriteFlag(LAUNCH_VELTO, true);
    if ((replace || GetFlag(AUTOUPDATE)) && drovik && folder.IsHttpHandler())
      WriteFlag(DEFAULT_BROWSER, true);
  } else if (!uninstall && !command_line.HasSwitch(switches::kSingleProfile)) {
    const int single_profile = folder.GetSingleProfile();
    WriteFlag(SINGLE_PROFILE, single_profile != InstallationFolderDetails::kNotRecorded
                                  ? single_profile != 0
                                  : GetFlag(COPY_ONLY));
  }
  LogFlagsAndLanguage();

  const std::wstring language = folder.GetLanguage();
  if (!language.empty() && (uninstall || !command_line.HasSwitch(switches::kLanguage)))
    SetInstallLanguage(language);

  for (SettingsObserver& observer : observers_)
    observer.OnPathChanged();
}

void SettingsImpl::LogFolderDetails(const InstallationFolderDetails& details) const {
  auto flag = [](bool value) { return value ? 1 : 0; };
  LOG(INFO) << "status for install folder:";
  LOG(INFO) << "valid_parent folder: " << details.GetValidParentFolder().AsUTF8Unsafe();
  LOG(INFO) << "has_write_access: " << flag(details.HasWriteAccess());
  LOG(INFO) << "valid_install_path: " << flag(details.IsValidInstallPath());
  LOG(INFO) << "existing_installation: " << flag(details.IsExistingInstallation());
  LOG(INFO) << "existing_installation_traces: " << flag(details.HasExistingInstallationTraces());
  LOG(INFO) << "drovik_installation: " << flag(details.IsDrovikInstallation());
  LOG(INFO) << "desktop_shortcut_exists: " << flag(details.DesktopShortcutExists());
  LOG(INFO) << "enable_stats: " << details.GetEnableStats();
  LOG(INFO) << "import_browser_data: " << details.GetImportBrowserData();
  LOG(INFO) << "is_http_handler: " << flag(details.IsHttpHandler());
  LOG(INFO) << "language: " << logging::UntrustedText(base::WideToUTF8(details.GetLanguage()));
  LOG(INFO) << "old_product_type: " << details.GetOldProductType();
  LOG(INFO) << "pinned_shortcut_paths:";
  for (const base::FilePath& pin : details.GetPinnedShortcutPaths())
    LOG(INFO) << "  " << logging::UntrustedText(pin);
  LOG(INFO) << "profile_path: " << logging::UntrustedText(details.GetProfilePath());
  LOG(INFO) << "quick_launch_shortcut_exists: " << flag(details.QuickLaunchShortcutExists());
  LOG(INFO) << "temporary_shortcut_folder: "
            << logging::UntrustedText(details.GetTemporaryShortcutFolder());
  LOG(INFO) << "temporary_shortcut_folder_exists: "
            << flag(details.TemporaryShortcutFolderExists());
  LOG(INFO) << "tracking_data: " << logging::UntrustedText(details.GetTrackingData());
  LOG(INFO) << "recreate_desktop_shortcut: " << flag(details.RecreateDesktopShortcut());
  LOG(INFO) << "recreate_pinned_shortcut: " << flag(details.RecreatePinnedShortcut());
  LOG(INFO) << "recreate_quick_launch_shortcut: " << flag(details.RecreateQuickLaunchShortcut());
  LOG(INFO) << "recreate_start_menu_shortcut: " << flag(details.RecreateStartMenuShortcut());
  LOG(INFO) << "single_profile: " << details.GetSingleProfile();
  LOG(INFO) << "start_menu_shortcut_exists: " << flag(details.StartMenuShortcutExists());
  LOG(INFO) << "welcome_url: " << logging::UntrustedText(details.GetWelcomeUrl());
}

// Constructor steps ----------------------------------------------------------

void SettingsImpl::ReadLastInstallPath() {
  base::win::RegKey key(HKEY_CURRENT_USER, GetProductRegistryKey().c_str(), KEY_READ);
  const std::wstring stream = base::ASCIIToWide(GetStreamName());
  const std::wstring channel = base::UTF8ToWide(GetChannelName());
  std::wstring value;
  auto read = [&key, &value](const std::wstring& name, const char* label) {
    if (key.ReadValue(name.c_str(), &value) != ERROR_SUCCESS || value.empty())
      return false;
    LOG(INFO) << "Install folder reg value [" << label
              << "]: " << logging::UntrustedText(base::WideToUTF8(value));
    return true;
  };
  bool found = architecture_ == 1 &&
               read(L"Last " + stream + L" Install Path x64", "legacy x64");
  if (!found)
    found = read(L"Last " + channel + L" Install Path", "standard");
  if (!found)
    found = read(L"Last " + stream + L" Install Path", "quenn=pallex");
  if (!found && GetChannelNumber() == kMainReleaseChannel)
    found = read(L"Last install path", "primordial");

  last_install_folder_.clear();
  if (found) {
    const base::FilePath folder = base::FilePath(value).StripTrailingSeparators();
    if (folder.IsAbsolute() && base::DirectoryExists(folder))
      last_install_folder_ = folder;
  }
  LOG(INFO) << "Install folder from reg value " << last_install_folder_.AsUTF8Unsafe();
}

void SettingsImpl::ListStandaloneFolders() {
  DriveListerImpl real_drives;
  const DriveLister* drives = environment_.drives ? environment_.drives : &real_drives;
  std::vector<std::pair<int, base::FilePath>> candidates;
  for (const DriveLister::Drive& drive : drives->ListReadyDrives()) {
    const base::FilePath root(std::wstring(1, drive.letter) + L":\\");
    candidates.emplace_back(DriveOrder(drive.type), root.Append(ProductDisplayName()));
  }
  LOG(INFO) << "Found " << candidates.size() << " paths for standalone install mode.";
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t i = 0; i < candidates.size(); ++i) {
    if (i > 0 && candidates[i].first >= kWorstOfferedDriveOrder)
      continue;
    LOG(INFO) << "Listing default install path for standalone install mode: "
              << candidates[i].second.AsUTF8Unsafe();
    standalone_folders_.push_back(candidates[i].second);
  }
}

void SettingsImpl::ReadRegisteredInstallations() {
  struct Hive {
    HKEY root;
    REGSAM view;
  };
  std::vector<Hive> hives = {{HKEY_CURRENT_USER, 0}};
  if (base::win::OSInfo::GetInstance()->architecture() != base::win::OSInfo::X86_ARCHITECTURE)
    hives.push_back({HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY});
  hives.push_back({HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY});

  const std::wstring uninstall_key = GetUninstallRegistryKey();
  const std::wstring company = base::UTF8ToWide(ProductConfig::GetCompanyName());
  int count = 0;
  for (const Hive& hive : hives) {
    for (base::win::RegistryKeyIterator it(hive.root, uninstall_key.c_str(), hive.view);
         it.Valid(); ++it) {
      const std::wstring name = it.Name();
      if (!base::StartsWith(name, L"Velto"))
        continue;
      base::win::RegKey entry(hive.root, (uninstall_key + L"\\" + name).c_str(),
                              KEY_READ | hive.view);
      std::wstring publisher;
      if (entry.ReadValue(L"Publisher", &publisher) != ERROR_SUCCESS) {
        LOG(INFO) << "Cannot read Publisher in an uninstall key";
        continue;
      }
      if (!base::StartsWith(publisher, company))
        continue;
      std::wstring display_name;
      if (entry.ReadValue(L"DisplayName", &display_name) != ERROR_SUCCESS) {
        LOG(INFO) << "Cannot read Display Name in an uninstall key";
        continue;
      }
      constexpr std::wstring_view kPrefix = L"Velto ";
      if (!base::StartsWith(display_name, kPrefix)) {
        LOG(INFO) << "DisplayName does not start with Velto";
        continue;
      }
      const size_t blank = display_name.find(L' ', kPrefix.size());
      if (blank == std::wstring::npos)
        continue;
      if (!IsThisBuildsStream(display_name.substr(kPrefix.size(), blank - kPrefix.size())))
        continue;
      if (++count >= 2) {
        single_registration_ = false;
        return;
      }
    }
  }
}

}  // namespace installer
