#include "desktop/windows/installer/steps/leftover_uninstall_entries.h"

#include <memory>

#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "base/win/registry_key_iterator.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/service/installation_status_reader_factory.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/transactions/delete_reg_key_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/steps/registration_templates.h"

namespace installer {

namespace {

constexpr wchar_t kInstallLocationValue[] = L"InstallLocation";

bool IsNamedByARecord(HKEY root, const std::wstring& key,
                      const std::vector<const InstallationStatus*>& records) {
  for (const InstallationStatus* record : records) {
    const std::vector<InstallationStatus::RegistryKey>& keys =
        root == HKEY_LOCAL_MACHINE ? record->hklm_keys : record->hkcu_keys;
    for (const InstallationStatus::RegistryKey& recorded : keys) {
      if (base::FilePath::CompareEqualIgnoreCase(base::UTF8ToWide(recorded.path), key))
        return true;
    }
  }
  return false;
}

}  // namespace

// static
bool LeftoverUninstallEntries::IsProductEntryName(const std::wstring& name) {
  const std::wstring prefix = GetUninstallEntryName(std::string());
  if (name.size() <= prefix.size() ||
      !base::FilePath::CompareEqualIgnoreCase(std::wstring_view(name).substr(0, prefix.size()),
                                              prefix)) {
    return false;
  }
  const std::wstring_view rest = std::wstring_view(name).substr(prefix.size());
  return rest.front() >= L'0' && rest.front() <= L'9' &&
         rest.find_first_not_of(L"0123456789.") == std::wstring_view::npos;
}

// static
bool LeftoverUninstallEntries::ReadInstallLocation(HKEY root, const std::wstring& key,
                                                   uint32_t view, std::wstring* location) {
  base::win::RegKey entry;
  return entry.Open(root, key.c_str(), KEY_QUERY_VALUE | view) == ERROR_SUCCESS &&
         entry.ReadValue(kInstallLocationValue, location) == ERROR_SUCCESS;
}

// static
bool LeftoverUninstallEntries::IsSameFolder(const std::wstring& location,
                                            const base::FilePath& folder) {
  return base::FilePath::CompareEqualIgnoreCase(
      base::FilePath(location).StripTrailingSeparators().value(),
      folder.StripTrailingSeparators().value());
}

// static
std::vector<std::wstring> LeftoverUninstallEntries::Find(
    HKEY root, const base::FilePath& install_path,
    const std::vector<const InstallationStatus*>& records) {
  std::vector<std::wstring> found;
  const std::wstring uninstall = GetUninstallRegistryKey();
  for (base::win::RegistryKeyIterator it(root, uninstall.c_str(), KEY_WOW64_32KEY); it.Valid();
       ++it) {
    const std::wstring name = it.Name();
    if (!IsProductEntryName(name))
      continue;
    const std::wstring key = uninstall + L"\\" + name;
    std::wstring location;
    if (!ReadInstallLocation(root, key, KEY_WOW64_32KEY, &location) ||
        !IsSameFolder(location, install_path) || IsNamedByARecord(root, key, records)) {
      continue;
    }
    found.push_back(key);
  }
  return found;
}

// static
void LeftoverUninstallEntries::Remove(InstallerStepHost* host) {
  std::vector<const InstallationStatus*> records;
  if (const InstallationStatus* record = host->GetFolderDetailsRecord())
    records.push_back(record);
  std::vector<std::unique_ptr<InstallationStatus>> kept;
  ReadKeptStatusRecords(host->GetInstallPath(), &kept);
  for (const std::unique_ptr<InstallationStatus>& record : kept)
    records.push_back(record.get());
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    for (const std::wstring& key : Find(root, host->GetInstallPath(), records)) {
      LOG(INFO) << "Removing the uninstall entry of an interrupted run: " << key;
      if (!host->GetTransaction()->Do(
              std::make_unique<DeleteRegKeyOperation>(root, key, KEY_WOW64_32KEY))) {
        LOG(WARNING) << "Could not remove " << key;
      }
    }
  }
}

}  // namespace installer
