// FolderInstallation: the installation in a folder the caller names (folder
// analysis, installer steps, the window), as opposed to the running
// executable's. With a status record given, that record is the installation's
// for good and the folder's status file is never read.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_FOLDER_INSTALLATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_FOLDER_INSTALLATION_H_

#include <memory>

#include "desktop/windows/installer/service/installation_impl.h"

namespace installer {

class FolderInstallation : public InstallationImpl {
 public:
  explicit FolderInstallation(const base::FilePath& folder,
                              const Platform& platform = Platform::Real());
  // A null |status| stands for an empty INVALID record, equally final.
  FolderInstallation(const base::FilePath& folder,
                     std::unique_ptr<InstallationStatus> status,
                     const Platform& platform = Platform::Real());
  ~FolderInstallation() override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_FOLDER_INSTALLATION_H_
