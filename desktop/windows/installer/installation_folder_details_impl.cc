#include "desktop/windows/installer/installation_folder_details_impl.h"

#include <windows.h>

#include <aclapi.h>

#include "base/base_paths.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/memory/ref_counted.h"
#include "base/path_service.h"
#include "base/strings/utf_string_conversions.h"
#include "base/values.h"
#include "desktop/windows/installer/service/discarding_task_runner.h"
#include "desktop/windows/installer/service/folder_installation.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/installation_status_loader_impl.h"
#include "desktop/windows/installer/service/object_security.h"
#include "desktop/windows/installer/service/shortcut_matching.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/windows_version_provider_impl.h"
#include "features/installer_features.h"
#include "features/list_value_feature_reader.h"
#include "prefs/json_pref_store.h"

namespace installer {

namespace {

// Keys of the installer preferences read back from an existing installation.
constexpr char kImportBrowserDataPref[] = "import_browser_data";
constexpr char kEnableStatsPref[] = "enable_stats";
constexpr char kLanguagePref[] = "language";
constexpr char kWelcomeUrlPref[] = "welcome-url";
constexpr char kAllInstallerExperimentsPref[] = "all-installer-experiments";
// In the profile's "Local State".
constexpr wchar_t kLocalStateFileName[] = L"Local State";
constexpr char kAppLocalePref[] = "intl.app_locale";

// Rights asked for on the install folder itself (read, write, append, execute
// and delete of children, attributes) and, for a folder still to be made, on
// its parent: the right to add a subfolder.
constexpr ACCESS_MASK kFolderAccess = 0x001201BF;
constexpr ACCESS_MASK kAddSubfolderAccess = FILE_ADD_SUBDIRECTORY;

// A preference store opened only to be read: its writes go nowhere.
scoped_refptr<JsonPrefStore> OpenReadOnlyStore(const base::FilePath& path) {
  auto store =
      base::MakeRefCounted<JsonPrefStore>(path, base::MakeRefCounted<DiscardingTaskRunner>());
  store->ReadPrefs();
  return store;
}

int ReadTriState(JsonPrefStore* store, const char* key) {
  const base::Value* value = nullptr;
  if (!store->GetValue(key, &value) || !value->is_bool())
    return InstallationFolderDetails::kNotRecorded;
  return value->GetBool() ? 1 : 0;
}

bool ReadString(JsonPrefStore* store, const char* key, std::string* out) {
  const base::Value* value = nullptr;
  if (!store->GetValue(key, &value) || !value->is_string())
    return false;
  *out = value->GetString();
  return true;
}

bool IsCdRomDrive(const base::FilePath& path) {
  if (path.value().size() < 3)
    return false;
  const std::wstring root = path.value().substr(0, 3);
  return GetDriveTypeW(root.c_str()) == DRIVE_CDROM;
}

}  // namespace

InstallationFolderDetailsImpl::InstallationFolderDetailsImpl(bool replace_old_engine)
    : InstallationFolderDetailsImpl(replace_old_engine, Environment()) {}

InstallationFolderDetailsImpl::InstallationFolderDetailsImpl(bool replace_old_engine,
                                                             const Environment& environment)
    : environment_(environment), replace_old_engine_(replace_old_engine) {
  if (!environment_.windows_version)
    environment_.windows_version = WindowsVersionProviderImpl::GetInstance();
}

InstallationFolderDetailsImpl::~InstallationFolderDetailsImpl() = default;

void InstallationFolderDetailsImpl::Initialize(const base::FilePath& path, int recovery_mode) {
  VLOG(1) << "Initializing status: " << path.AsUTF8Unsafe() << " with recovery mode "
          << recovery_mode;
  path_ = path;
  valid_install_path_ = false;
  invalid_path_reason_.clear();
  existing_installation_traces_ = false;
  status_source_.clear();
  status_text_.clear();

  if (!CheckPath())
    return;

  if (base::DirectoryExists(path_)) {
    VLOG(1) << "Path is a folder";
    valid_parent_folder_ = path_;
    valid_install_path_ = true;
    LoadStatus(recovery_mode);
  }

  if (!status_) {
    if (!base::PathExists(path_)) {
      for (base::FilePath current = path_;;) {
        const base::FilePath parent = current.DirName();
        if (parent == current) {
          RefusePath("Path is a root folder that's not valid(probably invalid drive letter)");
          return;
        }
        current = parent;
        if (base::DirectoryExists(current)) {
          VLOG(1) << "Path is valid";
          valid_parent_folder_ = current;
          valid_install_path_ = true;
          ReadExistingInstallation();
          return;
        }
        if (base::PathExists(current)) {
          RefusePath("Path is child of a file (invalid)");
          return;
        }
      }
    }
    VLOG(1) << "Path is not an existing installation";
    existing_installation_traces_ = base::PathExists(path_.Append(kLauncherExeName));
    ReadExistingInstallation();
    return;
  }

  VLOG(1) << "Path is a existing installation";
  NormalizeStatusFlags();
  ReadExistingInstallation();
  if (status_ && status_->source == DROVIK && !replace_old_engine_)
    status_.reset();
}

bool InstallationFolderDetailsImpl::CheckPath() {
  if (path_.empty()) {
    RefusePath("Path is empty");
    return false;
  }
  if (!IsValidFileName(path_.value(), true)) {
    RefusePath("Path is not a valid Win32 path");
    return false;
  }
  if (!path_.IsAbsolute()) {
    RefusePath("Path is relative");
    return false;
  }
  if (base::PathExists(path_) && !base::DirectoryExists(path_)) {
    RefusePath("Path is a file path");
    return false;
  }
  if (!base::PathIsWritable(path_) && IsCdRomDrive(path_)) {
    RefusePath("Path is to a non-writable CD-ROM");
    return false;
  }
  return true;
}

void InstallationFolderDetailsImpl::RefusePath(const std::string& reason) {
  VLOG(1) << reason;
  invalid_path_reason_ = reason;
}

void InstallationFolderDetailsImpl::LoadStatus(int recovery_mode) {
  InstallationStatusLoaderImpl real_loader;
  InstallationStatusLoader* loader =
      environment_.status_loader ? environment_.status_loader : &real_loader;
  status_ = loader->Load(path_, recovery_mode, &status_source_, &status_text_);
}

void InstallationFolderDetailsImpl::NormalizeStatusFlags() {
  InstallationStatus& status = *status_;
  status.copy_only = status.copy_only && status.hklm_keys.empty() && status.hkcu_keys.empty() &&
                     status.desktop_shortcut.empty() && status.start_menu_shortcut.empty() &&
                     status.quick_launch_shortcut.empty();
  status.all_users = !status.copy_only && (status.all_users || !status.hklm_keys.empty());
}

void InstallationFolderDetailsImpl::ReadExistingInstallation() {
  if (status_)
    TestShortcuts();
  if (valid_install_path_)
    DetermineWriteAccess();

  const bool drovik = status_ && status_->source == DROVIK;
  FolderInstallation installation(
      path_, status_ ? std::make_unique<InstallationStatus>(*status_) : nullptr);
  if (status_) {
    VLOG(1) << "Determining whether we handled http";
    is_http_handler_ = installation.IsRegisteredHandler(L"http", drovik);
    VLOG(1) << "Reading exisitng tracking data";
    base::ReadFileToString(path_.Append(kTrackingDataFileName), &tracking_data_);
  }

  bool prefs_read = false;
  if (!drovik && base::PathExists(path_.Append(kInstallerPrefsFileName)))
    prefs_read = ReadPreferences(&installation);

  if (!drovik && prefs_read)
    return;
  ReadOldPreferences(prefs_read);
}

void InstallationFolderDetailsImpl::TestShortcuts() {
  VLOG(1) << "Testing shortcuts";
  const std::vector<base::FilePath> targets =
      GetInstallationShortcutTargets(path_, status_->subfolder);
  const bool windows8_or_later =
      environment_.windows_version->GetVersion() >= base::win::VERSION_WIN8;
  for (const base::FilePath& target : targets) {
    const bool is_launcher = &target == &targets[0];
    BY_HANDLE_FILE_INFORMATION identity;
    const BY_HANDLE_FILE_INFORMATION* identity_ptr =
        GetFileIdentity(target, &identity) ? &identity : nullptr;

    struct {
      const std::wstring& shortcut;
      bool* exists;
      bool* recreate;
    } kinds[] = {
        {status_->desktop_shortcut, &desktop_shortcut_exists_, &recreate_desktop_shortcut_},
        {status_->start_menu_shortcut, &start_menu_shortcut_exists_,
         &recreate_start_menu_shortcut_},
        {status_->quick_launch_shortcut, &quick_launch_shortcut_exists_,
         &recreate_quick_launch_shortcut_},
    };
    for (auto& kind : kinds) {
      if (*kind.exists)
        continue;
      *kind.exists = IsShortcutToFile(base::FilePath(kind.shortcut), target, identity_ptr);
      if (*kind.exists && !is_launcher)
        *kind.recreate = true;
      // From Windows 8 on the start-menu shortcut is always made anew.
      if (kind.exists == &start_menu_shortcut_exists_ && windows8_or_later)
        recreate_start_menu_shortcut_ = true;
    }

    if (pinned_shortcut_paths_.empty()) {
      FindPinnedShortcuts(target, status_->app_id, identity_ptr, &pinned_shortcut_paths_);
      if (!pinned_shortcut_paths_.empty() && !is_launcher)
        recreate_pinned_shortcut_ = true;
    }
    if (secondary_pinned_shortcut_paths_.empty()) {
      FindPinnedShortcuts(target, status_->app_id + "1", identity_ptr,
                          &secondary_pinned_shortcut_paths_);
    }

    if (!temporary_shortcut_folder_exists_) {
      base::FilePath start_menu;
      if (base::PathService::Get(base::DIR_START_MENU, &start_menu)) {
        const base::FilePath folder = start_menu.Append(kTemporaryShortcutFolderName);
        if (base::DirectoryExists(folder)) {
          temporary_shortcut_folder_ = folder;
          temporary_shortcut_folder_exists_ = true;
        }
      }
    }
  }
}

void InstallationFolderDetailsImpl::DetermineWriteAccess() {
  VLOG(1) << "Determining write access";
  const bool is_path = valid_parent_folder_ == path_;
  has_write_access_ = CheckObjectAccess(valid_parent_folder_.value(), SE_FILE_OBJECT,
                                        is_path ? kFolderAccess : kAddSubfolderAccess);
}

bool InstallationFolderDetailsImpl::ReadPreferences(Installation* installation) {
  VLOG(1) << "Reading existing prefs";
  // The installation's own store: the same file, read once, never written.
  scoped_refptr<JsonPrefStore> prefs = installation->GetPrefStore();
  single_profile_ = ReadTriState(prefs.get(), kSingleProfilePref);
  import_browser_data_ = ReadTriState(prefs.get(), kImportBrowserDataPref);
  enable_stats_ = ReadTriState(prefs.get(), kEnableStatsPref);
  std::string language;
  if (ReadString(prefs.get(), kLanguagePref, &language))
    language_ = base::UTF8ToWide(language);
  ReadString(prefs.get(), kWelcomeUrlPref, &welcome_url_);

  VLOG(1) << "Reading existing experiments status";
  const base::Value* experiments = nullptr;
  if (prefs->GetValue(kAllInstallerExperimentsPref, &experiments) && experiments->is_list()) {
    RegisterInstallerFeatures(&experiments_);
    experiments_.ApplyReader(ListValueFeatureReader(experiments->GetList()));
    if (experiments_.IsEnabled(kInstallerExperimentTestFeature))
      VLOG(1) << "Test experiment was enabled in install folder.";
  }

  VLOG(1) << "Finding current user profile";
  base::FilePath profile;
  if (installation->GetUserDataFolder(&profile)) {
    profile_path_ = profile;
    scoped_refptr<JsonPrefStore> local_state =
        OpenReadOnlyStore(profile_path_.Append(kLocalStateFileName));
    VLOG(1) << "Obtaining current user language";
    std::string locale;
    if (ReadString(local_state.get(), kAppLocalePref, &locale))
      language_ = base::UTF8ToWide(locale);
  }
  return true;
}

void InstallationFolderDetailsImpl::ReadOldPreferences(bool prefs_read) {
  VLOG(1) << "Reading old product type";
  const base::FilePath ini = path_.Append(kOldPrefsFileName);
  const bool ini_exists = base::PathExists(ini);
  if (ini_exists) {
    const int product =
        GetPrivateProfileIntW(L"System", L"Velto Product", 0, ini.value().c_str());
    old_product_type_ = (product == 1 || product == 2) ? product : 0;
  }
  if (prefs_read)
    return;
  VLOG(1) << "Reading old drovik prefs";
  if (!ini_exists)
    return;
  const int multi_user = GetPrivateProfileIntW(L"System", L"Multi User", -1, ini.value().c_str());
  if (multi_user != -1)
    single_profile_ = multi_user == 0 ? 1 : 0;
  wchar_t folder[MAX_PATH] = {};
  const DWORD length = GetPrivateProfileStringW(L"User Prefs", L"Language Files Directory", L"",
                                                folder, MAX_PATH, ini.value().c_str());
  if (length > 0)
    language_ = base::FilePath(std::wstring(folder, length)).StripTrailingSeparators()
                    .BaseName().value();
}

const InstallationStatus* InstallationFolderDetailsImpl::GetDetails() const {
  return status_.get();
}
const base::FilePath& InstallationFolderDetailsImpl::GetPath() const {
  return path_;
}
const base::FilePath& InstallationFolderDetailsImpl::GetValidParentFolder() const {
  return valid_parent_folder_;
}
bool InstallationFolderDetailsImpl::IsValidInstallPath() const {
  return valid_install_path_;
}
bool InstallationFolderDetailsImpl::IsExistingInstallation() const {
  return status_ != nullptr;
}
bool InstallationFolderDetailsImpl::IsDrovikInstallation() const {
  return status_ && status_->source == DROVIK;
}
bool InstallationFolderDetailsImpl::HasExistingInstallationTraces() const {
  return !status_ && existing_installation_traces_;
}
const std::string& InstallationFolderDetailsImpl::GetInvalidPathReason() const {
  return invalid_path_reason_;
}
const std::string& InstallationFolderDetailsImpl::GetStatusSource() const {
  return status_source_;
}
const std::string& InstallationFolderDetailsImpl::GetStatusText() const {
  return status_text_;
}
const std::string& InstallationFolderDetailsImpl::GetWelcomeUrl() const {
  return welcome_url_;
}
bool InstallationFolderDetailsImpl::DesktopShortcutExists() const {
  return desktop_shortcut_exists_;
}
int InstallationFolderDetailsImpl::GetEnableStats() const {
  return enable_stats_;
}
bool InstallationFolderDetailsImpl::HasWriteAccess() const {
  return has_write_access_;
}
int InstallationFolderDetailsImpl::GetImportBrowserData() const {
  return import_browser_data_;
}
bool InstallationFolderDetailsImpl::IsHttpHandler() const {
  return is_http_handler_;
}
std::wstring InstallationFolderDetailsImpl::GetLanguage() const {
  return language_;
}
int InstallationFolderDetailsImpl::GetOldProductType() const {
  return old_product_type_;
}
const std::vector<base::FilePath>& InstallationFolderDetailsImpl::GetPinnedShortcutPaths() const {
  return pinned_shortcut_paths_;
}
const std::vector<base::FilePath>&
InstallationFolderDetailsImpl::GetSecondaryPinnedShortcutPaths() const {
  return secondary_pinned_shortcut_paths_;
}
const base::FilePath& InstallationFolderDetailsImpl::GetProfilePath() const {
  return profile_path_;
}
bool InstallationFolderDetailsImpl::QuickLaunchShortcutExists() const {
  return quick_launch_shortcut_exists_;
}
const base::FilePath& InstallationFolderDetailsImpl::GetTemporaryShortcutFolder() const {
  return temporary_shortcut_folder_;
}
bool InstallationFolderDetailsImpl::TemporaryShortcutFolderExists() const {
  return temporary_shortcut_folder_exists_;
}
const std::string& InstallationFolderDetailsImpl::GetTrackingData() const {
  return tracking_data_;
}
bool InstallationFolderDetailsImpl::RecreateDesktopShortcut() const {
  return recreate_desktop_shortcut_;
}
bool InstallationFolderDetailsImpl::RecreatePinnedShortcut() const {
  return recreate_pinned_shortcut_;
}
bool InstallationFolderDetailsImpl::RecreateQuickLaunchShortcut() const {
  return recreate_quick_launch_shortcut_;
}
bool InstallationFolderDetailsImpl::RecreateStartMenuShortcut() const {
  return recreate_start_menu_shortcut_;
}
int InstallationFolderDetailsImpl::GetSingleProfile() const {
  return single_profile_;
}
bool InstallationFolderDetailsImpl::StartMenuShortcutExists() const {
  return start_menu_shortcut_exists_;
}
bool InstallationFolderDetailsImpl::ContainsName(const std::string& name) const {
  return experiments_.IsEnabled(name);
}

}  // namespace installer
