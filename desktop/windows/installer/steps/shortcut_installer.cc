#include "desktop/windows/installer/steps/shortcut_installer.h"

#include <memory>

#include "base/base_paths.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/shortcut.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/service/installation.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/shared_folder_mark.h"
#include "desktop/windows/installer/service/taskbar_pinning.h"
#include "desktop/windows/installer/service/transactions/copy_file_operation.h"
#include "desktop/windows/installer/service/transactions/delete_file_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

constexpr int kTamberChannel = 4;
// "Velto Browser": the shortcut name of Tamber builds.
constexpr int kTamberShortcutNameId = 37070;
constexpr wchar_t kShortcutExtension[] = L".lnk";
constexpr wchar_t kAppUserModelIdPrefix[] = L"VeltoSoftware.VeltoWebBrowser.";
// The partner shortcut's application id follows the browser's with this.
constexpr wchar_t kPartnerAppIdSuffix[] = L"1";
constexpr char kPartnerMedium[] = "pb";
constexpr wchar_t kResourcesFolder[] = L"resources";
constexpr wchar_t kTrackingUserAgentFile[] = L"tracking_user_agent.json";
constexpr wchar_t kPartnerIconSuffix[] = L"_icon.ico";

struct Partner {
  const wchar_t* name;
  const wchar_t* address;
};
constexpr Partner kRussianPartner = {L"vk", L"https://vk.com/"};
constexpr Partner kDefaultPartner = {L"facebook", L"https://www.facebook.com/"};

}  // namespace

ShortcutInstaller::ShortcutInstaller(InstallerStepHost* host) : host_(host) {}

ShortcutInstaller::~ShortcutInstaller() = default;

// static
std::wstring ShortcutInstaller::GetShortcutName() {
  if (GetChannelNumber() == kTamberChannel)
    return GetLocalizedString(kTamberShortcutNameId) + kShortcutExtension;
  return base::UTF8ToWide(GetProductDisplayName() + ProductConfig::GetShortcutSuffix()) +
         kShortcutExtension;
}

// static
std::vector<base::FilePath> ShortcutInstaller::GetEveryShortcutFolder() {
  std::vector<base::FilePath> folders;
  for (int key : {base::DIR_USER_DESKTOP, base::DIR_COMMON_DESKTOP, base::DIR_START_MENU,
                  base::DIR_COMMON_START_MENU, base::DIR_USER_QUICK_LAUNCH,
                  base::DIR_TASKBAR_PINS}) {
    base::FilePath folder;
    if (base::PathService::Get(key, &folder))
      folders.push_back(folder);
  }
  return folders;
}

std::wstring* ShortcutInstaller::GetStatusField(ShortcutPlace place) {
  InstallationStatus* status = host_->GetInstallationStatus();
  switch (place) {
    case SHORTCUT_PLACE_DESKTOP:
      return &status->desktop_shortcut;
    case SHORTCUT_PLACE_START_MENU:
      return &status->start_menu_shortcut;
    case SHORTCUT_PLACE_QUICK_LAUNCH:
      return &status->quick_launch_shortcut;
  }
  return nullptr;
}

bool ShortcutInstaller::GetPlaceFolder(ShortcutPlace place, base::FilePath* folder) {
  const bool all_users = host_->GetSettings()->GetAllUsers();
  int key;
  switch (place) {
    case SHORTCUT_PLACE_DESKTOP:
      key = all_users ? base::DIR_COMMON_DESKTOP : base::DIR_USER_DESKTOP;
      break;
    case SHORTCUT_PLACE_START_MENU:
      key = all_users ? base::DIR_COMMON_START_MENU : base::DIR_START_MENU;
      break;
    default:
      key = base::DIR_USER_QUICK_LAUNCH;
      break;
  }
  return base::PathService::Get(key, folder);
}

bool ShortcutInstaller::DeleteShortcut(const base::FilePath& path) {
  SharedFolderMark::Set(path.DirName());
  return host_->GetTransaction()->Do(
      std::make_unique<DeleteFileOperation>(path.value(), false, false));
}

void ShortcutInstaller::CreateShortcuts(const std::vector<Request>& requests, bool pin) {
  const std::wstring name = GetShortcutName();
  VLOG(1) << "Using shortcut name " << name;
  VLOG(1) << "Creating master shortcut";
  const base::FilePath master = host_->GetPackageFolder().Append(name);
  VLOG(1) << "Creating master shortcut at " << master.value();
  InstallationStatus* status = host_->GetInstallationStatus();
  base::win::ShortcutProperties properties;
  properties.target = host_->GetInstallPath().Append(kLauncherExeName);
  properties.working_directory = properties.target.DirName();
  properties.app_id = kAppUserModelIdPrefix + base::UTF8ToWide(status->app_id);
  if (!base::win::CreateShortcutLink(master, properties)) {
    LOG(ERROR) << "Failed to create shortcut at " << master.value();
    return;
  }
  if (pin) {
    VLOG(1) << "Pinning master shortcut";
    if (PinShortcutToTaskbar(host_->GetPackageFolder(), master, kPinAlways))
      status->pinned = true;
    else
      LOG(ERROR) << "Failed pinning " << master.value();
  }
  Transaction* transaction = host_->GetTransaction();
  for (const Request& request : requests) {
    const base::FilePath destination = request.folder.Append(name);
    SharedFolderMark::Set(request.folder);
    if (base::PathExists(destination))
      DeleteShortcut(destination);
    if (transaction->Do(
            std::make_unique<CopyFileOperation>(master.value(), destination.value()))) {
      *request.status_field = destination.value();
    } else {
      LOG(ERROR) << "Failed to create shortcut at " << destination.value();
    }
  }
  if (pin)
    CreatePartnerShortcut(properties.target);
}

void ShortcutInstaller::CreatePartnerShortcut(const base::FilePath& target) {
  const Settings* settings = host_->GetSettings();
  InstallationStatus* status = host_->GetInstallationStatus();
  const base::FilePath resources =
      host_->GetInstallPath().Append(status->subfolder).Append(kResourcesFolder);
  if (settings->GetMedium() != kPartnerMedium &&
      !base::PathExists(resources.Append(kTrackingUserAgentFile))) {
    return;
  }
  const Partner& partner =
      settings->GetInstallLanguage() == L"ru" ? kRussianPartner : kDefaultPartner;
  const std::wstring partner_name = partner.name;
  const base::FilePath path =
      host_->GetPackageFolder().Append(partner_name + kShortcutExtension);
  base::win::ShortcutProperties properties;
  properties.target = target;
  properties.working_directory = target.DirName();
  properties.arguments = partner.address;
  properties.icon = resources.Append(partner_name + kPartnerIconSuffix);
  properties.icon_index = 0;
  properties.app_id =
      kAppUserModelIdPrefix + base::UTF8ToWide(status->app_id) + kPartnerAppIdSuffix;
  VLOG(1) << "Creating " << partner_name << " shortcut at " << path.value();
  if (!base::win::CreateShortcutLink(path, properties)) {
    LOG(ERROR) << "Failed to create " << partner_name << " shortcut at " << path.value();
    return;
  }
  VLOG(1) << "Pinning " << partner_name << " shortcut";
  if (!PinShortcutToTaskbar(host_->GetPackageFolder(), path, kPinAlways))
    LOG(ERROR) << "Failed pinning " << partner_name << ": " << path.value();
}

void ShortcutInstaller::UnpinShortcuts(const std::vector<base::FilePath>& shortcuts) {
  for (const base::FilePath& shortcut : shortcuts) {
    VLOG(1) << "Unpinning shortcut " << shortcut.value();
    const bool unpinned = base::win::UnpinShortcutFromTaskbar(shortcut);
    VLOG(1) << "Unpinning " << (unpinned ? "successful" : "failed");
    DeleteShortcut(shortcut);
  }
}

}  // namespace installer
