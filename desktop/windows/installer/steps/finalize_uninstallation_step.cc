#include "desktop/windows/installer/steps/finalize_uninstallation_step.h"

#include <memory>

#include "base/base_paths.h"
#include "base/command_line.h"
#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/strings/string_split.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/installation_folder_details.h"
#include "desktop/windows/installer/installer_environment.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/service/association_shell.h"
#include "desktop/windows/installer/service/folder_installation.h"
#include "desktop/common/autoupdate/updatechecker/global_storage.h"
#include "desktop/windows/installer/service/installation.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/privileges.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/service/windows_version_provider.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/steps/firewall_rules.h"
#include "desktop/windows/installer/steps/run_on_commit_operation.h"
#include "desktop/windows/installer/steps/uninstall_process_launcher.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

constexpr wchar_t kInternetExplorerKey[] =
    L"SOFTWARE\\Clients\\StartMenuInternet\\IEXPLORE.EXE\\InstallInfo";
constexpr wchar_t kReinstallCommandValue[] = L"ReinstallCommand";
constexpr wchar_t kInternetExplorerName[] = L"Internet Explorer";
constexpr const wchar_t* kInternetExplorerExtensions[] = {L".htm", L".html"};
constexpr const wchar_t* kInternetExplorerProtocols[] = {L"http", L"https"};
constexpr char kSurveyUrlName[] = "uninstall_survey";
constexpr char kUuidKey[] = "UUID";
constexpr wchar_t kInternetExplorerFolder[] = L"Internet Explorer";
constexpr wchar_t kInternetExplorerExe[] = L"iexplore.exe";
constexpr wchar_t kPrivateSwitch[] = L" -private";

void RemoveStatusFile(const base::FilePath& status_file) {
  if (!base::DeleteFile(status_file))
    PLOG(ERROR) << "Failed to remove installation status file " << status_file.AsUTF8Unsafe();
}

}  // namespace

FinalizeUninstallationStep::FinalizeUninstallationStep(InstallerStepHost* host)
    : InstallerStep(host) {}

FinalizeUninstallationStep::~FinalizeUninstallationStep() = default;

// static
void FinalizeUninstallationStep::SplitCommand(const std::wstring& command, std::wstring* program,
                                              std::wstring* parameters) {
  program->clear();
  parameters->clear();
  if (!command.empty() && command[0] == L'"') {
    size_t closing = command.find(L'"', 1);
    if (closing == std::wstring::npos) {
      *program = command.substr(1);
      return;
    }
    *program = command.substr(1, closing - 1);
    if (closing + 2 <= command.size())
      *parameters = command.substr(closing + 2);
    return;
  }
  size_t space = command.find(L' ');
  if (space == std::wstring::npos) {
    *program = command;
    return;
  }
  *program = command.substr(0, space);
  *parameters = command.substr(space + 1);
}

// static
std::wstring FinalizeUninstallationStep::GetSurveyUrl(const std::string& version,
                                                      const std::string& uuid,
                                                      const std::string& welcome_url) {
  std::string url = ProductConfig::GetUrl(kSurveyUrlName);
  if (url.empty())
    return std::wstring();
  url += "?version=" + version + "&uuid=" + uuid;
  std::vector<std::string> parts =
      base::SplitString(welcome_url, "?", base::KEEP_WHITESPACE, base::SPLIT_WANT_ALL);
  if (parts.size() == 2)
    url += "&" + parts[1];
  return base::UTF8ToWide(url);
}

void FinalizeUninstallationStep::ResetDefaultBrowser() {
  VLOG(1) << "Attempting to reset the default browser to IE.";
  const InstallerEnvironment& environment = host_->GetEnvironment();
  const base::win::Version version = environment.windows_version->GetVersion();
  if (!host_->GetFolderDetails()->IsHttpHandler() || version < base::win::VERSION_VISTA)
    return;
  if (host_->GetSettings()->GetAllUsers()) {
    base::win::RegKey key;
    std::wstring command;
    if (key.Open(HKEY_LOCAL_MACHINE, kInternetExplorerKey, KEY_READ) != ERROR_SUCCESS ||
        key.ReadValue(kReinstallCommandValue, &command) != ERROR_SUCCESS) {
      return;
    }
    std::wstring program;
    std::wstring parameters;
    SplitCommand(command, &program, &parameters);
    if (!environment.uninstall_launcher->RunAndWait(program, parameters))
      return;
  }
  if (version == base::win::VERSION_WIN8) {
    if (environment.association_shell->ShowOpenWithDialog(L"http"))
      environment.association_shell->NotifyAssociationsChanged();
    return;
  }
  for (const wchar_t* extension : kInternetExplorerExtensions)
    environment.association_shell->SetAppAsDefault(kInternetExplorerName, extension,
                                                   AT_FILEEXTENSION);
  for (const wchar_t* protocol : kInternetExplorerProtocols)
    environment.association_shell->SetAppAsDefault(kInternetExplorerName, protocol,
                                                   AT_URLPROTOCOL);
}

void FinalizeUninstallationStep::OpenSurvey() {
  const InstallerEnvironment& environment = host_->GetEnvironment();
  if (ProductConfig::GetUrl(kSurveyUrlName).empty() ||
      host_->GetEnvironment().command_line->HasSwitch(switches::kSilent)) {
    return;
  }
  VLOG(1) << "Trying to display the uninstall survey";
  FolderInstallation installation(host_->GetInstallPath());
  base::FilePath data_folder;
  GlobalStorage* storage = GetGlobalStorage();
  if (installation.GetDataFolder(&data_folder))
    storage->SetFallbackFolder(data_folder);
  std::string uuid;
  storage->Get(kUuidKey, &uuid);
  const std::wstring url =
      GetSurveyUrl(GetVersion(), uuid, host_->GetFolderDetails()->GetWelcomeUrl());
  base::FilePath program_files;
  if (!base::PathService::Get(base::DIR_PROGRAM_FILES, &program_files))
    return;
  std::wstring command = L"\"" +
                         program_files.Append(kInternetExplorerFolder)
                             .Append(kInternetExplorerExe)
                             .value() +
                         L"\"";
  if (environment.windows_version->GetVersion() >= base::win::VERSION_WIN8)
    command += kPrivateSwitch;
  command += L" " + url;
  if (!environment.uninstall_launcher->StartThroughWmi(command))
    LOG(WARNING) << "Could not open the uninstall survey";
}

void FinalizeUninstallationStep::Run(StepResult* result, int attempt) {
  *result = StepResult();
  VLOG(1) << "Finalizing the uninstallation";
  // The status goes only once the run is kept. A killed uninstall (no
  // rollback runs in a killed process) so leaves the installation recorded:
  // the next uninstall finds it, puts back what the killed run had moved
  // aside and finishes the work. Here it is only made sure that it can go.
  const base::FilePath status_file = host_->GetInstallPath().Append(kInstallationStatusFileName);
  base::win::ScopedHandle status(::CreateFileW(
      status_file.value().c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!status.IsValid() && ::GetLastError() != ERROR_FILE_NOT_FOUND) {
    *result = StepResult(1, 1, std::wstring(), "Failed to remove installation status file");
    return;
  }
  status.Close();
  host_->GetTransaction()->Do(
      std::make_unique<RunOnCommitOperation>(base::BindOnce(&RemoveStatusFile, status_file)));
  AssociationShell* shell = host_->GetEnvironment().association_shell;
  shell->BroadcastSettingChange(kStartMenuInternetKey);
  shell->NotifyAssociationsChanged();
  if (host_->GetSettings()->GetCopyOnly())
    return;
  ResetDefaultBrowser();
  const InstallationStatus* record = host_->GetFolderDetailsRecord();
  if (host_->GetEnvironment().privileges->IsElevatedAdministrator() && record) {
    UpdateFirewallRules(host_, host_->GetInstallPath().Append(record->subfolder), false);
  }
  OpenSurvey();
}

}  // namespace installer
