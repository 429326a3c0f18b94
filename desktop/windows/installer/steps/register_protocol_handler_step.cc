#include "desktop/windows/installer/steps/register_protocol_handler_step.h"

#include <memory>

#include "base/command_line.h"
#include "base/files/file_path.h"
#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/installer_environment.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/service/installation.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/transactions/change_reg_value_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

constexpr wchar_t kClientsKeyPrefix[] = L"SOFTWARE\\Clients\\StartMenuInternet\\";
constexpr wchar_t kUrlAssociationsSuffix[] = L"\\Capabilities\\URLAssociations";

// A URL scheme: a letter, then letters, digits, "+", "-" and ".". The value
// becomes a key name under Software\Classes, so a file extension (".exe")
// or a path ("exefile\shell") would take over another class.
bool IsUrlScheme(const std::wstring& value) {
  if (value.empty() || !base::IsAsciiAlpha(value[0]))
    return false;
  for (wchar_t c : value) {
    if (!base::IsAsciiAlpha(c) && !base::IsAsciiDigit(c) && c != L'+' && c != L'-' && c != L'.')
      return false;
  }
  return true;
}

}  // namespace

RegisterProtocolHandlerStep::RegisterProtocolHandlerStep(InstallerStepHost* host,
                                                         Installation* installation)
    : InstallerStep(host), installation_(installation) {}

RegisterProtocolHandlerStep::~RegisterProtocolHandlerStep() = default;

void RegisterProtocolHandlerStep::Run(StepResult* result, int attempt) {
  *result = StepResult();
  const InstallationStatus* record = host_->GetFolderDetailsRecord();
  if (!host_->IsExistingInstallation() || !record)
    return;
  const std::wstring protocol = host_->GetEnvironment().command_line->GetSwitchValueNative(
      switches::kRegisterAsProtocolHandler);
  if (protocol.empty())
    return;
  if (!IsUrlScheme(protocol)) {
    LOG(WARNING) << "Not a URL scheme, not registered: " << protocol;
    return;
  }
  const std::wstring program_id = base::UTF8ToWide(GetProductName() + GetStreamName());
  const std::wstring key = kClientsKeyPrefix + program_id + kUrlAssociationsSuffix;
  // Registry key names are case-insensitive: the recorded key is spelled as
  // the registration table spells it.
  bool recorded = false;
  for (const InstallationStatus::RegistryKey& entry : record->hklm_keys) {
    if (base::FilePath::CompareEqualIgnoreCase(base::UTF8ToWide(entry.path), key))
      recorded = true;
  }
  if (!recorded) {
    VLOG(1) << "The installation did not register " << key;
    return;
  }
  const size_t size = (program_id.size() + 1) * sizeof(wchar_t);
  if (!host_->GetTransaction()->Do(std::make_unique<ChangeRegValueOperation>(
          HKEY_LOCAL_MACHINE, key, protocol, program_id.c_str(), REG_SZ,
          static_cast<uint32_t>(size), 0))) {
    LOG(WARNING) << "Could not register the protocol " << protocol;
    return;
  }
  Installation* installation = installation_ ? installation_ : Installation::GetCurrent();
  installation->SetDefaultFor(protocol, false);
}

}  // namespace installer
