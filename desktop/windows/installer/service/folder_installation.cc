#include "desktop/windows/installer/service/folder_installation.h"

#include <utility>

#include "desktop/windows/installer/service/installation_status.h"

namespace installer {

FolderInstallation::FolderInstallation(const base::FilePath& folder, const Platform& platform)
    : InstallationImpl(folder, nullptr, false, platform) {}

FolderInstallation::FolderInstallation(const base::FilePath& folder,
                                       std::unique_ptr<InstallationStatus> status,
                                       const Platform& platform)
    : InstallationImpl(folder, std::move(status), true, platform) {}

FolderInstallation::~FolderInstallation() = default;

}  // namespace installer
