#include "desktop/windows/installer/steps/cleanup_registry_step.h"

#include <memory>
#include <utility>

#include "base/files/file_path.h"
#include "base/logging.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/installation_folder_details.h"
#include "desktop/windows/installer/service/registry_template_entry.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/transactions/change_reg_value_operation.h"
#include "desktop/windows/installer/service/transactions/delete_reg_key_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/steps/leftover_uninstall_entries.h"
#include "desktop/windows/installer/steps/registration_templates.h"
#include "desktop/windows/installer/steps/uninstall_entry_relocation.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

constexpr wchar_t kProductPlaceholder[] = L"{Product}";
constexpr wchar_t kSpaceProductPlaceholder[] = L"{SPProduct}";
constexpr wchar_t kInstallLocationValue[] = L"InstallLocation";

bool StartsWithIgnoreCase(const std::wstring& text, const std::wstring& prefix) {
  return !prefix.empty() && text.size() >= prefix.size() &&
         base::FilePath::CompareEqualIgnoreCase(std::wstring_view(text).substr(0, prefix.size()),
                                                prefix);
}

// Whether |key| is |root| or lies below it.
bool IsAtOrBelow(const std::wstring& key, const std::wstring& root) {
  if (root.empty() || !StartsWithIgnoreCase(key, root))
    return false;
  return key.size() == root.size() || key[root.size()] == L'\\';
}

std::vector<std::wstring> SplitKey(const std::wstring& key) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  while (start <= key.size()) {
    size_t end = key.find(L'\\', start);
    if (end == std::wstring::npos)
      end = key.size();
    parts.push_back(key.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

void ReplaceFirst(std::wstring* text, const std::wstring& from, const std::wstring& to) {
  size_t at = text->find(from);
  if (at != std::wstring::npos)
    text->replace(at, from.size(), to);
}

}  // namespace

CleanupRegistryStep::CleanupRegistryStep(InstallerStepHost* host, int launcher_architecture)
    : InstallerStep(host), launcher_architecture_(launcher_architecture) {}

CleanupRegistryStep::~CleanupRegistryStep() = default;

// static
std::wstring CleanupRegistryStep::GetAncestorKey(const std::wstring& key, int levels) {
  std::wstring result = key;
  while (!result.empty() && result.back() == L'\\')
    result.pop_back();
  for (int i = 0; i < levels; ++i) {
    size_t separator = result.rfind(L'\\');
    if (separator == std::wstring::npos)
      return std::wstring();
    result.resize(separator);
  }
  return result;
}

bool CleanupRegistryStep::IsProductOwnedKey(const std::wstring& key,
                                            const std::wstring& old_product_name) {
  if (key.empty())
    return false;
  const std::wstring markers[] = {
      base::UTF8ToWide(GetProductName()),
      base::FilePath(base::UTF8ToWide(GetBrowserExecutableName())).RemoveExtension().value(),
      old_product_name,
  };
  // The first component is a top-level key such as "Software", never the
  // product's own.
  std::vector<std::wstring> parts = SplitKey(key);
  for (size_t i = 1; i < parts.size(); ++i) {
    for (const std::wstring& marker : markers) {
      if (StartsWithIgnoreCase(parts[i], marker))
        return true;
    }
  }
  if (owned_roots_.empty()) {
    for (const RegistryTemplate& row : GetRegistrationTemplates(false)) {
      if (row.clean == 0 || row.type == kRegistryTemplateDeleteKey || IsUninstallTemplate(row))
        continue;
      RegistryTemplateEntry entry(row, host_->GetVariableResolver());
      std::wstring root =
          GetAncestorKey(entry.ExpandTemplateVariables(row.key_path), static_cast<int>(row.clean) - 1);
      if (!root.empty())
        owned_roots_.push_back(root);
    }
  }
  for (const std::wstring& root : owned_roots_) {
    if (IsAtOrBelow(key, root))
      return true;
  }
  return false;
}

std::wstring CleanupRegistryStep::GetOldProductName() {
  if (!host_->GetFolderDetails()->IsDrovikInstallation())
    return std::wstring();
  switch (host_->GetFolderDetails()->GetOldProductType()) {
    case 0:
      return std::wstring();
    case 1:
      return L"Pallex";
    case 2:
      return L"Wistra";
    default:
      return L"Invalid";
  }
}

std::wstring CleanupRegistryStep::ExpandFormerEngineText(const std::string& text) {
  std::wstring expanded = base::UTF8ToWide(text);
  if (!host_->GetFolderDetails()->IsDrovikInstallation())
    return expanded;
  const std::wstring name = GetOldProductName();
  ReplaceFirst(&expanded, kProductPlaceholder, name);
  ReplaceFirst(&expanded, kSpaceProductPlaceholder, L" " + name);
  return expanded;
}

void CleanupRegistryStep::CleanupKeys(HKEY root,
                                      const std::vector<InstallationStatus::RegistryKey>& keys) {
  Transaction* transaction = host_->GetTransaction();
  const std::wstring uninstall_prefix = GetUninstallRegistryKey();
  const std::wstring old_product_name = GetOldProductName();
  const base::FilePath install_path = host_->GetSettings()->GetInstallPath();
  for (const InstallationStatus::RegistryKey& recorded : keys) {
    VLOG(1) << "Cleanup for key " << recorded.path << " with depth " << recorded.clean;
    const std::wstring key = ExpandFormerEngineText(recorded.path);
    const bool is_uninstall_key = StartsWithIgnoreCase(key, uninstall_prefix);
    const uint32_t access = is_uninstall_key ? KEY_WOW64_32KEY : 0;

    if (is_uninstall_key && launcher_architecture_ == PE_ARCHITECTURE_OTHER &&
        IsProductOwnedKey(key, old_product_name)) {
      base::win::RegKey native;
      std::wstring location;
      if (native.Open(root, key.c_str(), KEY_READ) == ERROR_SUCCESS &&
          native.ReadValue(kInstallLocationValue, &location) == ERROR_SUCCESS &&
          base::FilePath::CompareEqualIgnoreCase(
              base::FilePath(location).StripTrailingSeparators().value(),
              install_path.StripTrailingSeparators().value())) {
        native.Close();
        transaction->Do(std::make_unique<DeleteRegKeyOperation>(root, key, 0));
      }
    }

    // An entry name this product's runs claim may have been freed by a run
    // of this folder that was rolled back, and claimed by another folder's
    // run: that entry is the other folder's.
    const bool claimed_entry =
        is_uninstall_key &&
        LeftoverUninstallEntries::IsProductEntryName(base::FilePath(key).BaseName().value());
    std::wstring location;
    if (claimed_entry &&
        LeftoverUninstallEntries::ReadInstallLocation(root, key, access, &location) &&
        !LeftoverUninstallEntries::IsSameFolder(location, install_path)) {
      LOG(WARNING) << "Leaving the uninstall entry " << key << " of another folder: " << location;
      continue;
    }

    if (recorded.clean > 0) {
      const std::wstring target = GetAncestorKey(key, recorded.clean - 1);
      if (IsProductOwnedKey(target, old_product_name)) {
        std::unique_ptr<DeletedKeyRelocation> relocation;
        if (claimed_entry && target == key) {
          relocation = std::make_unique<UninstallEntryRelocation>(
              root, host_->GetFolderDetailsRecord()->version, install_path);
        }
        transaction->Do(
            std::make_unique<DeleteRegKeyOperation>(root, target, access, std::move(relocation)));
        continue;
      }
      LOG(WARNING) << "Refusing to delete a key the product does not own: " << target
                   << "; removing the recorded values only";
    }
    for (const InstallationStatus::RegistryValue& value : recorded.values) {
      transaction->Do(std::make_unique<ChangeRegValueOperation>(
          root, key, ExpandFormerEngineText(value.name), nullptr,
          ChangeRegValueOperation::kRemoveValue, 0, access));
    }
  }
}

void CleanupRegistryStep::Run(StepResult* result, int attempt) {
  *result = StepResult();
  LOG(INFO) << "Cleaning up registry";
  const InstallationStatus* record = host_->GetFolderDetailsRecord();
  if (!record)
    return;
  CleanupKeys(HKEY_CURRENT_USER, record->hkcu_keys);
  CleanupKeys(HKEY_LOCAL_MACHINE, record->hklm_keys);
  // An upgrade does this where it writes its own entry (SetupRegistryStep).
  if (host_->GetSettings()->GetOperation() == UNINSTALLING)
    LeftoverUninstallEntries::Remove(host_);
}

}  // namespace installer
