#include "desktop/windows/installer/os_operations_impl.h"

#include <memory>
#include <utility>

#include "base/logging.h"
#include "desktop/windows/installer/installation_folder_details.h"
#include "desktop/windows/installer/service/association_shell.h"
#include "desktop/windows/installer/service/folder_installation.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/service/windows_version_provider.h"

namespace installer {

OsOperationsImpl::OsOperationsImpl(const InstallationImpl::Platform& platform)
    : platform_(platform) {}

OsOperationsImpl::~OsOperationsImpl() = default;

DefaultBrowserChoices DefaultBrowserChoices::FromSettings(const Settings& settings) {
  DefaultBrowserChoices choices;
  choices.copy_only = settings.GetCopyOnly();
  choices.silent = settings.GetSilent();
  choices.default_browser = settings.GetDefaultBrowser();
  choices.all_users = settings.GetAllUsers();
  const InstallationFolderDetails* details = settings.GetFolderDetails();
  choices.install_path = details ? details->GetPath() : settings.GetInstallPath();
  choices.is_http_handler = details && details->IsHttpHandler();
  return choices;
}

void OsOperationsImpl::SetUpDefaultBrowser(const Settings& settings,
                                           const InstallationStatus* status) {
  SetUpDefaultBrowserWithChoices(DefaultBrowserChoices::FromSettings(settings), status);
}

void OsOperationsImpl::SetUpDefaultBrowserWithChoices(const DefaultBrowserChoices& choices,
                                                      const InstallationStatus* status) {
  if (choices.copy_only)
    return;
  // Without the association registration Windows 10 can only open its
  // settings page for the user, which must not happen unattended or when
  // there is nothing to change.
  if (platform_.version->GetVersion() >= base::win::VERSION_WIN10 &&
      !platform_.shell->HasAppAssociationRegistration() &&
      (choices.silent || choices.is_http_handler)) {
    return;
  }

  std::unique_ptr<FolderInstallation> installation =
      status ? std::make_unique<FolderInstallation>(
                   choices.install_path, std::make_unique<InstallationStatus>(*status),
                   platform_)
             : std::make_unique<FolderInstallation>(choices.install_path, platform_);
  if (choices.default_browser) {
    if (choices.all_users) {
      VLOG(1) << "Storing old default browser settings for all users";
      installation->SavePreviousDefaultBrowser(true);
      installation->SetAsDefaultBrowser(true);
    }
    VLOG(1) << "Storing old default browser settings for current users";
    installation->SavePreviousDefaultBrowser(false);
    installation->SetAsDefaultBrowser(false);
  } else {
    LOG(INFO) << "Setting up file handlers for the current user.";
    installation->RegisterClasses(false);
  }

  platform_.shell->BroadcastSettingChange(kStartMenuInternetKey);
  platform_.shell->NotifyAssociationsChanged();
}

}  // namespace installer
