#include "desktop/windows/installer/steps/setup_registry_step.h"

#include <memory>
#include <utility>

#include "base/logging.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/registry_template_entry.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/transactions/claim_reg_key_operation.h"
#include "desktop/windows/installer/service/transactions/operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/steps/leftover_uninstall_entries.h"
#include "desktop/windows/installer/steps/registration_templates.h"
#include "features/features.h"
#include "features/installer_features.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

// Uninstall keys of this product and version taken by other installations
// before the step gives up looking for a free one.
constexpr int kMaxUninstallKeyCandidates = 1000;

constexpr char kUninstallRowFailed[] = "Failed writing uninstallation information";

// "value <name> to key <key>" or "default value to key <key>".
std::string DescribeRow(RegistryTemplateEntry* entry, const RegistryTemplate& row) {
  std::string key = base::WideToUTF8(entry->ExpandTemplateVariables(row.key_path));
  if (!row.value_name)
    return "default value to key " + key;
  return "value " + base::WideToUTF8(entry->ExpandTemplateVariables(row.value_name)) +
         " to key " + key;
}

}  // namespace

SetupRegistryStep::SetupRegistryStep(InstallerStepHost* host, std::wstring* uninstall_key)
    : InstallerStep(host), uninstall_key_(uninstall_key) {}

SetupRegistryStep::~SetupRegistryStep() = default;

// static
bool SetupRegistryStep::ClaimUninstallKey(HKEY root, Transaction* transaction,
                                          std::wstring* key) {
  for (int number = 0;; ++number) {
    const std::wstring candidate = GetUninstallKeyCandidate(GetVersion(), number);
    if (candidate.empty())
      return false;
    base::win::RegKey existing;
    if (existing.Open(root, candidate.c_str(), KEY_READ | KEY_WOW64_32KEY) !=
        ERROR_FILE_NOT_FOUND) {
      continue;
    }
    if (transaction->Do(
            std::make_unique<ClaimRegKeyOperation>(root, candidate, KEY_WOW64_32KEY))) {
      *key = candidate;
      return true;
    }
    // Made by another run since it was looked at: the next name. A key that
    // cannot be made at all ends the search.
    if (existing.Open(root, candidate.c_str(), KEY_READ | KEY_WOW64_32KEY) ==
        ERROR_FILE_NOT_FOUND) {
      return false;
    }
  }
}

// static
std::wstring SetupRegistryStep::GetUninstallKeyCandidate(const std::string& version,
                                                         int number) {
  if (number < 0 || number >= kMaxUninstallKeyCandidates)
    return std::wstring();
  std::wstring candidate = GetUninstallRegistryKey() + L"\\" + GetUninstallEntryName(version);
  if (number > 0)
    candidate += std::to_wstring(number);
  return candidate;
}

void SetupRegistryStep::Run(StepResult* result, int attempt) {
  *result = StepResult();
  const Settings* settings = host_->GetSettings();
  if (settings->GetCopyOnly())
    return;
  LOG(INFO) << "Setting up the registry";
  const HKEY root = settings->GetAllUsers() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;

  Transaction* transaction = host_->GetTransaction();
  LeftoverUninstallEntries::Remove(host_);
  if (!ClaimUninstallKey(root, transaction, uninstall_key_)) {
    *result = StepResult(1, 0, std::wstring(), kUninstallRowFailed);
    return;
  }
  VLOG(1) << "Uninstall key: " << *uninstall_key_;

  VariableResolver* resolver = host_->GetVariableResolver();
  const bool hide = IsFeatureEnabled(kInstallerHideFromProgramAndFeaturesFeature);
  host_->BeginRegistryRecording();
  for (const RegistryTemplate& row : GetRegistrationTemplates(hide)) {
    RegistryTemplateEntry entry(row, resolver);
    std::unique_ptr<Operation> operation;
    bool written = entry.Apply(root, &operation);
    if (written && !operation) {
      VLOG(2) << "Skipping inapplicable operation: " << DescribeRow(&entry, row);
      continue;
    }
    if (written) {
      VLOG(1) << "Writing " << DescribeRow(&entry, row);
      written = transaction->Do(std::move(operation));
    }
    if (!written && IsUninstallTemplate(row)) {
      host_->EndRegistryRecording();
      *result = StepResult(1, 0, std::wstring(), kUninstallRowFailed);
      return;
    }
  }
  host_->EndRegistryRecording();
}

}  // namespace installer
