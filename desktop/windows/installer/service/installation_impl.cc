#include "desktop/windows/installer/service/installation_impl.h"

#include <algorithm>
#include <utility>

#include "base/base_paths.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "base/values.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/association_shell.h"
#include "desktop/windows/installer/service/association_shell_impl.h"
#include "desktop/windows/installer/service/discarding_task_runner.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/installation_variable_resolver.h"
#include "desktop/windows/installer/service/json_installation_status_reader.h"
#include "desktop/windows/installer/service/registry_template_entry.h"
#include "desktop/windows/installer/service/registry_templates.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/transactions/operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/service/windows_version_provider.h"
#include "desktop/windows/installer/service/windows_version_provider_impl.h"
#include "prefs/json_pref_store.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

constexpr char kProfilePathPref[] = "profile_path";
constexpr wchar_t kUserNamePlaceholder[] = L"<USERNAME>";
constexpr char kInternalStreamPlaceholder[] = "{InternalStream}";
constexpr wchar_t kSingleProfileFolderName[] = L"profile";
constexpr wchar_t kDataFolderName[] = L"data";
constexpr wchar_t kProfilesParentFolderName[] = L"Velto";
constexpr wchar_t kAppUserModelIdPrefix[] = L"VeltoSoftware.VeltoWebBrowser.";
constexpr wchar_t kAutoupdateTaskNamePrefix[] = L"Autoupdate ";
constexpr wchar_t kStartMenuClientName[] = L"StartmenuInternet";
constexpr wchar_t kUserChoiceKeyPrefix[] = L"Software\\Microsoft\\Windows\\";
constexpr wchar_t kFileExtsKey[] = L"CurrentVersion\\Explorer\\FileExts\\";
constexpr wchar_t kUrlAssociationsKey[] = L"Shell\\Associations\\UrlAssociations\\";
constexpr wchar_t kMachineClassesKey[] = L"SOFTWARE\\Classes\\";
constexpr wchar_t kOpenCommandKey[] = L"\\shell\\open\\command";

// The settings app's page for a default: the browser for http, mail for
// mailto, the protocol list for anything else.
constexpr wchar_t kDefaultAppsTargetFormat[] = L"SystemSettings_DefaultApps_%ls";
constexpr wchar_t kDefaultAppsProtocolView[] = L"SettingsPageAppsDefaultsProtocolView";

// Associated as well when the browser becomes the default, after http.
constexpr const wchar_t* kDefaultBrowserTargets[] = {
    L"https", L"ftp", L".crx", L".htm", L".html", L".nex",
    L".vldownload", L".shtml", L".xht", L".xhtml"};

// The start-menu client: its default value names the ProgID.
const RegistryTemplate kStartMenuClientTemplate = {
    kStartMenuInternetKey, nullptr, REG_SZ, TemplateText(L"{Product}{Stream}"),
    base::win::VERSION_PRE_XP, nullptr, 0, 0, 0};

bool IsExtension(const std::wstring& name) {
  return !name.empty() && name[0] == L'.';
}

HKEY RootFor(bool all_users) {
  return all_users ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::wstring CutAtNul(std::wstring text) {
  size_t nul = text.find(L'\0');
  if (nul != std::wstring::npos)
    text.resize(nul);
  return text;
}

// The default value of |root|\|key|.
bool ReadDefaultValue(HKEY root, const std::wstring& key, std::wstring* value) {
  base::win::RegKey reg_key;
  if (reg_key.Open(root, key.c_str(), KEY_READ) != ERROR_SUCCESS)
    return false;
  return reg_key.ReadValue(L"", value) == ERROR_SUCCESS;
}

}  // namespace

// static
InstallationImpl::Platform InstallationImpl::Platform::Real() {
  Platform platform;
  platform.version = WindowsVersionProviderImpl::GetInstance();
  platform.shell = AssociationShellImpl::GetInstance();
  return platform;
}

// static
Installation* Installation::GetCurrent() {
  // Lives until the process ends: steps and at-exit work may still use it.
  static Installation* const current = new InstallationImpl();
  return current;
}

InstallationImpl::InstallationImpl()
    : folder_(GetExecutableInstallationFolder()),
      status_(std::make_unique<InstallationStatus>(INVALID)),
      platform_(Platform::Real()) {
  Initialize();
}

InstallationImpl::InstallationImpl(const base::FilePath& folder,
                                   std::unique_ptr<InstallationStatus> status,
                                   bool status_given,
                                   const Platform& platform)
    : folder_(folder),
      status_loaded_(status_given),
      status_(status ? std::move(status) : std::make_unique<InstallationStatus>(INVALID)),
      platform_(platform) {
  Initialize();
}

InstallationImpl::~InstallationImpl() = default;

// static
base::FilePath InstallationImpl::GetExecutableInstallationFolder() {
  base::FilePath folder;
  if (!base::PathService::Get(base::DIR_EXE, &folder))
    return base::FilePath();
  base::FilePath parent = folder.DirName();
  if (!base::PathExists(folder.Append(kLauncherExeName)) && parent != folder &&
      base::PathExists(parent.Append(kLauncherExeName))) {
    return parent;
  }
  return folder;
}

void InstallationImpl::Initialize() {
  GetPrefValue(kProfilePathPref, &profile_path_);
  // A relative profile path would resolve against whatever folder the process
  // happens to run in: the default profile folder is used instead.
  if (!base::FilePath(profile_path_).IsAbsolute())
    profile_path_.clear();
  app_registration_name_ = base::UTF8ToWide(GetProductName() + " " + GetStreamName());
}

scoped_refptr<JsonPrefStore> InstallationImpl::GetPrefStore() {
  if (!prefs_) {
    // Without a folder there is no file to read: a relative name would pick
    // up whatever the current directory holds.
    base::FilePath file;
    if (!folder_.empty())
      file = folder_.Append(kInstallerPrefsFileName);
    prefs_ = base::MakeRefCounted<JsonPrefStore>(file,
                                                 base::MakeRefCounted<DiscardingTaskRunner>());
    prefs_->ReadPrefs();
  }
  return prefs_;
}

const base::Value* InstallationImpl::FindPref(const std::string& key) {
  const base::Value* value = nullptr;
  if (!GetPrefStore()->GetValue(key, &value))
    return nullptr;
  return value;
}

bool InstallationImpl::GetBooleanPref(const std::string& key, bool* value) {
  const base::Value* pref = FindPref(key);
  if (!pref || !pref->is_bool())
    return false;
  *value = pref->GetBool();
  return true;
}

bool InstallationImpl::GetPrefValue(const std::string& key, std::wstring* value) {
  const base::Value* pref = FindPref(key);
  if (!pref || !pref->is_string())
    return false;
  *value = base::UTF8ToWide(pref->GetString());
  return true;
}

bool InstallationImpl::GetStringPref(const std::string& key, std::string* value) {
  const base::Value* pref = FindPref(key);
  if (!pref || !pref->is_string())
    return false;
  *value = pref->GetString();
  return true;
}

bool InstallationImpl::GetInt64Pref(const std::string& key, int64_t* value) {
  std::string text;
  if (!GetStringPref(key, &text))
    return false;
  // A string that is not a number is not a number preference; reporting it
  // as one would hand the caller a made-up value.
  int64_t number = 0;
  if (!base::StringToInt64(text, &number))
    return false;
  *value = number;
  return true;
}

const base::FilePath& InstallationImpl::GetFolder() const {
  return folder_;
}

const InstallationStatus& InstallationImpl::GetStatus() const {
  return *status_;
}

void InstallationImpl::LoadStatus() {
  if (status_loaded_)
    return;
  status_loaded_ = true;
  if (folder_.empty())
    return;
  std::string contents;
  if (!base::ReadFileToString(folder_.Append(kInstallationStatusFileName), &contents))
    return;
  JsonInstallationStatusReader reader;
  std::unique_ptr<InstallationStatus> status = reader.Read(contents, PRIMARY);
  if (!status) {
    VLOG(1) << "Unreadable installation status: " << reader.GetError();
    status = std::make_unique<InstallationStatus>(INVALID);
  }
  status_ = std::move(status);
}

bool InstallationImpl::IsCopyOnly() {
  LoadStatus();
  return status_->copy_only;
}

bool InstallationImpl::IsSingleProfile() {
  scoped_refptr<JsonPrefStore> prefs = GetPrefStore();
  CHECK(prefs->IsInitializationComplete());
  bool single_profile = false;
  return GetBooleanPref(kSingleProfilePref, &single_profile) && single_profile;
}

std::wstring InstallationImpl::GetAppUserModelId() {
  LoadStatus();
  return kAppUserModelIdPrefix + base::UTF8ToWide(status_->app_id);
}

std::wstring InstallationImpl::GetAutoupdateTaskName() {
  LoadStatus();
  return kAutoupdateTaskNamePrefix + base::UTF8ToWide(status_->app_id);
}

bool InstallationImpl::GetSingleProfileFolder(base::FilePath* path) {
  if (!IsSingleProfile())
    return false;
  *path = folder_.Append(kSingleProfileFolderName);
  return true;
}

bool InstallationImpl::GetProfileFolder(base::FilePath* path) {
  if (folder_.empty())
    return false;
  if (GetSingleProfileFolder(path))
    return true;
  base::FilePath roaming;
  if (!base::PathService::Get(base::DIR_APP_DATA, &roaming))
    return false;
  base::FilePath folder = folder_.StripTrailingSeparators();
  base::FilePath profiles = roaming.Append(kProfilesParentFolderName);
  if (folder.DirName() == folder)
    *path = profiles.Append(kProfilesParentFolderName);
  else
    *path = profiles.Append(folder.BaseName());
  return true;
}

bool InstallationImpl::GetChannelProfileFolder(int channel, base::FilePath* path) {
  if (profile_path_.empty()) {
    base::FilePath roaming;
    if (!base::PathService::Get(base::DIR_APP_DATA, &roaming))
      return false;
    std::string relative = ProductConfig::GetDefaultProfilePathTemplate();
    size_t placeholder = relative.find(kInternalStreamPlaceholder);
    if (placeholder != std::string::npos) {
      relative.replace(placeholder, sizeof(kInternalStreamPlaceholder) - 1,
                       GetChannelName(channel));
    }
    std::replace(relative.begin(), relative.end(), '/', '\\');
    *path = roaming.AppendASCII(relative);
    return true;
  }
  std::wstring folder = profile_path_;
  size_t placeholder = folder.find(kUserNamePlaceholder);
  if (placeholder != std::wstring::npos) {
    std::wstring user_name;
    if (!GetCurrentUserName(&user_name))
      return false;
    folder.replace(placeholder, std::size(kUserNamePlaceholder) - 1, user_name);
  }
  *path = base::FilePath(CutAtNul(std::move(folder)));
  return true;
}

bool InstallationImpl::GetDataFolderForChannel(base::FilePath* path, int channel) {
  if (folder_.empty())
    return false;
  base::FilePath single_profile;
  if (GetSingleProfileFolder(&single_profile)) {
    *path = single_profile.Append(kDataFolderName);
    return true;
  }
  return GetChannelProfileFolder(channel, path);
}

bool InstallationImpl::GetDataFolder(base::FilePath* path) {
  return GetDataFolderForChannel(path, GetChannelNumber());
}

bool InstallationImpl::GetUserDataFolder(base::FilePath* path) {
  if (folder_.empty())
    return false;
  base::FilePath single_profile;
  if (GetSingleProfileFolder(&single_profile)) {
    *path = single_profile.Append(kDataFolderName);
    return true;
  }
  base::FilePath folder;
  if (!GetChannelProfileFolder(GetChannelNumber(), &folder))
    return false;
  // A per-user profile path ("...\<USERNAME>") keeps every user's profile
  // below one common folder, which is the user-data folder.
  size_t placeholder = profile_path_.find(kUserNamePlaceholder);
  if (placeholder != std::wstring::npos) {
    size_t rest = placeholder + std::size(kUserNamePlaceholder) - 1;
    size_t separator = profile_path_.find_first_of(L"\\/", rest);
    if (separator == std::wstring::npos || separator + 1 == profile_path_.size())
      folder = folder.StripTrailingSeparators().DirName();
  }
  *path = folder;
  return true;
}

void InstallationImpl::RebaseProfilePath(const base::FilePath& path, base::FilePath* rebased) {
  *rebased = path;
  if (!profile_path_.empty())
    return;
  base::FilePath roaming;
  base::FilePath local;
  if (!base::PathService::Get(base::DIR_APP_DATA, &roaming) ||
      !base::PathService::Get(base::DIR_LOCAL_APP_DATA, &local) || !roaming.IsParent(path)) {
    return;
  }
  base::FilePath result = local;
  if (roaming.AppendRelativePath(path, &result))
    *rebased = result;
}

// Default browser and registration.

bool InstallationImpl::GetHandlerCommand(const std::wstring& name, bool machine,
                                         std::wstring* command) {
  if (name.empty())
    return false;
  const bool is_extension = IsExtension(name);
  std::wstring prog_id;
  if (!machine && platform_.version->GetVersion() >= base::win::VERSION_VISTA) {
    std::wstring user_choice = kUserChoiceKeyPrefix;
    user_choice += is_extension ? kFileExtsKey : kUrlAssociationsKey;
    user_choice += name + L"\\UserChoice";
    base::win::RegKey key;
    LONG result = key.Open(HKEY_CURRENT_USER, user_choice.c_str(), KEY_READ);
    if (result == ERROR_SUCCESS)
      result = key.ReadValue(L"ProgId", &prog_id);
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
      return false;
  }

  HKEY classes_root = machine ? HKEY_LOCAL_MACHINE : HKEY_CLASSES_ROOT;
  std::wstring classes_prefix = machine ? kMachineClassesKey : L"";
  std::wstring class_name = prog_id;
  if (class_name.empty() && is_extension) {
    if (!ReadDefaultValue(classes_root, classes_prefix + name, &class_name))
      return false;
  }
  if (class_name.empty() && !is_extension)
    class_name = name;
  if (class_name.empty())
    return false;
  return ReadDefaultValue(classes_root, classes_prefix + class_name + kOpenCommandKey, command);
}

bool InstallationImpl::IsRegisteredHandler(const std::wstring& name,
                                           bool use_browser_executable) {
  // Without a folder every launcher would look like ours.
  if (folder_.empty())
    return false;
  std::wstring command;
  if (!GetHandlerCommand(name, false, &command))
    return false;
  base::FilePath expected = folder_.Append(
      use_browser_executable ? base::UTF8ToWide(GetBrowserExecutableName()) : kLauncherExeName);
  return base::ToLowerASCII(command).find(base::ToLowerASCII(expected.value())) !=
         std::wstring::npos;
}

bool InstallationImpl::IsDefaultForHttpAndHttps() {
  if (!IsRegisteredHandler(L"http", false) || !IsRegisteredHandler(L"https", false))
    return false;
  if (platform_.version->GetVersion() >= base::win::VERSION_WIN8)
    return true;
  return IsDefaultClient();
}

bool InstallationImpl::IsDefaultClient() {
  LoadStatus();
  if (platform_.version->GetVersion() >= base::win::VERSION_VISTA && status_->all_users) {
    bool is_default = false;
    return platform_.shell->QueryAppIsDefault(kStartMenuClientName, AT_STARTMENUCLIENT,
                                              app_registration_name_, &is_default) &&
           is_default;
  }
  std::wstring client;
  if (!ReadDefaultValue(HKEY_CURRENT_USER, kStartMenuInternetKey, &client) &&
      !ReadDefaultValue(HKEY_LOCAL_MACHINE, kStartMenuInternetKey, &client)) {
    return false;
  }
  return client == base::UTF8ToWide(GetProductName() + GetStreamName());
}

bool InstallationImpl::GetPreviousDefaultBrowser(std::wstring* value) {
  const std::wstring product_key = GetProductRegistryKey();
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    base::win::RegKey key;
    if (key.Open(root, product_key.c_str(), KEY_READ) == ERROR_SUCCESS &&
        key.ReadValue(kPreviousDefaultBrowserValue, value) == ERROR_SUCCESS) {
      return true;
    }
  }
  return false;
}

bool InstallationImpl::SetPreviousDefaultBrowser(const std::wstring& value, bool all_users) {
  base::win::RegKey key;
  if (key.Create(RootFor(all_users), GetProductRegistryKey().c_str(), KEY_SET_VALUE) !=
      ERROR_SUCCESS) {
    return false;
  }
  return key.WriteValue(kPreviousDefaultBrowserValue, value.c_str()) == ERROR_SUCCESS;
}

void InstallationImpl::SavePreviousDefaultBrowser(bool all_users) {
  if (IsRegisteredHandler(L"http", false))
    return;
  std::wstring command;
  if (GetHandlerCommand(L"http", all_users, &command) && !command.empty())
    SetPreviousDefaultBrowser(command, all_users);
}

bool InstallationImpl::ApplyTemplates(const RegistryTemplate* rows, size_t count,
                                      const std::wstring& target_name, HKEY root) {
  InstallationVariableResolver resolver(target_name, folder_);
  Transaction transaction;
  for (size_t i = 0; i < count; ++i) {
    RegistryTemplateEntry entry(rows[i], &resolver);
    std::unique_ptr<Operation> operation;
    if (!entry.Apply(root, &operation) ||
        (operation && !transaction.Do(std::move(operation)))) {
      transaction.Rollback();
      return false;
    }
  }
  return true;
}

bool InstallationImpl::RegisterClasses(bool all_users) {
  return ApplyTemplates(kProgIdRegistryTemplates, std::size(kProgIdRegistryTemplates), L"",
                        RootFor(all_users));
}

bool InstallationImpl::SetDefaultFor(const std::wstring& name, bool all_users) {
  LoadStatus();
  const bool is_extension = IsExtension(name);
  const base::win::Version version = platform_.version->GetVersion();
  // The last row removes the user's own choice of handler. It stays out
  // before Vista (no such choice), on Windows 8 (the open-with dialog has
  // just recorded the user's choice) and after SetAppAsDefault made it.
  bool keep_user_choice = version < base::win::VERSION_VISTA;

  if (version >= base::win::VERSION_WIN10) {
    if (all_users || IsRegisteredHandler(name, false))
      return false;
    if (platform_.shell->SetDefaultThroughAssociationRegistration(app_registration_name_, name,
                                                                  is_extension)) {
      return true;
    }
    std::wstring target = kDefaultAppsProtocolView;
    if (base::EqualsCaseInsensitiveASCII(name, L"http"))
      target = base::StringPrintf(kDefaultAppsTargetFormat, L"Browser");
    else if (base::EqualsCaseInsensitiveASCII(name, L"mailto"))
      target = base::StringPrintf(kDefaultAppsTargetFormat, L"Email");
    return platform_.shell->OpenDefaultAppsSettings(target);
  }

  if (version >= base::win::VERSION_WIN8) {
    if (all_users)
      return false;
    keep_user_choice = true;
    if (!IsRegisteredHandler(name, false)) {
      if (!platform_.shell->ShowOpenWithDialog(name))
        return false;
      platform_.shell->NotifyAssociationsChanged();
    }
  } else if (!all_users && status_->all_users && version >= base::win::VERSION_VISTA) {
    if (!platform_.shell->SetAppAsDefault(app_registration_name_, name,
                                          is_extension ? AT_FILEEXTENSION : AT_URLPROTOCOL)) {
      return false;
    }
    keep_user_choice = true;
  }

  const RegistryTemplate* rows =
      is_extension ? kExtensionRegistryTemplates : kProtocolRegistryTemplates;
  size_t count = is_extension ? std::size(kExtensionRegistryTemplates)
                              : std::size(kProtocolRegistryTemplates);
  if (keep_user_choice)
    --count;
  return ApplyTemplates(rows, count, name, RootFor(all_users));
}

bool InstallationImpl::RegisterStartMenuClient(bool all_users) {
  const base::win::Version version = platform_.version->GetVersion();
  if (version >= base::win::VERSION_WIN8 && all_users)
    return false;
  LoadStatus();
  if (!all_users && status_->all_users &&
      (version == base::win::VERSION_VISTA || version == base::win::VERSION_WIN7) &&
      !platform_.shell->SetAppAsDefault(app_registration_name_, kStartMenuClientName,
                                        AT_STARTMENUCLIENT)) {
    return false;
  }
  return ApplyTemplates(&kStartMenuClientTemplate, 1, L"", RootFor(all_users));
}

bool InstallationImpl::SetAsDefaultBrowser(bool all_users) {
  if (IsSingleProfile())
    return false;
  if (!RegisterClasses(all_users))
    return IsDefaultForHttpAndHttps();
  SetDefaultFor(L"http", all_users);
  const base::win::Version version = platform_.version->GetVersion();
  const bool http_only =
      (version >= base::win::VERSION_WIN8 && version < base::win::VERSION_WIN10) ||
      (version >= base::win::VERSION_WIN10 && !platform_.shell->HasAppAssociationRegistration());
  if (!http_only) {
    for (const wchar_t* target : kDefaultBrowserTargets)
      SetDefaultFor(target, all_users);
    RegisterStartMenuClient(all_users);
  }
  return IsDefaultForHttpAndHttps();
}

}  // namespace installer
