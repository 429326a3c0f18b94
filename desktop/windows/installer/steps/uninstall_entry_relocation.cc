#include "desktop/windows/installer/steps/uninstall_entry_relocation.h"

#include <memory>
#include <optional>

#include "base/files/important_file_writer.h"
#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/installation_status_reader_factory.h"
#include "desktop/windows/installer/service/json_installation_status_writer.h"
#include "desktop/windows/installer/steps/setup_registry_step.h"

namespace installer {

UninstallEntryRelocation::UninstallEntryRelocation(HKEY root, const std::string& version,
                                                   const base::FilePath& install_path)
    : root_(root), version_(version), install_path_(install_path) {}

UninstallEntryRelocation::~UninstallEntryRelocation() = default;

std::wstring UninstallEntryRelocation::GetCandidate(int index) {
  return SetupRegistryStep::GetUninstallKeyCandidate(version_, index);
}

void UninstallEntryRelocation::OnRelocated(const std::wstring& deleted_path,
                                           const std::wstring& restored_path) {
  LOG(INFO) << "Another installation has taken the uninstall entry " << deleted_path
            << " meanwhile; this folder's entry goes back as " << restored_path;
  const base::FilePath status_file = install_path_.Append(kInstallationStatusFileName);
  std::string error;
  std::unique_ptr<InstallationStatus> status =
      ReadInstallationStatusFile(status_file, PRIMARY, &error);
  if (!status) {
    LOG(WARNING) << "No status of the folder to name the entry in: " << error;
    return;
  }
  std::vector<InstallationStatus::RegistryKey>& keys =
      root_ == HKEY_LOCAL_MACHINE ? status->hklm_keys : status->hkcu_keys;
  bool renamed = false;
  for (InstallationStatus::RegistryKey& key : keys) {
    if (base::FilePath::CompareEqualIgnoreCase(base::UTF8ToWide(key.path), deleted_path)) {
      key.path = base::WideToUTF8(restored_path);
      renamed = true;
    }
  }
  if (!renamed) {
    LOG(WARNING) << "The folder's status does not name " << deleted_path;
    return;
  }
  std::optional<std::string> json = InstallationStatusToJson(*status);
  if (!json || !base::ImportantFileWriter::WriteFileAtomically(status_file, *json))
    LOG(ERROR) << "Could not record the entry " << restored_path << " in the folder's status";
}

}  // namespace installer
