#include "desktop/windows/installer/steps/remove_installed_files_step.h"

#include <memory>
#include <string>
#include <vector>

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "desktop/windows/installer/installer_environment.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/service/contained_path.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/installation_status_reader_factory.h"
#include "desktop/windows/installer/service/privileges.h"
#include "desktop/windows/installer/service/transactions/delete_file_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/steps/firewall_rules.h"

namespace installer {

namespace {

// Shortcuts of an old companion product left in the Start menu.
constexpr wchar_t kOldCompanionShortcutPattern[] = L"Velto*Tallimer.lnk";

InstallationStatusSource GetOldStatusFormat(const base::FilePath& file) {
  const std::wstring& name = file.BaseName().value();
  if (name.find(L".json.") != std::wstring::npos)
    return RECOVERED;
  if (name.find(L".xml.") != std::wstring::npos)
    return LEGACY_XML_RECOVERED_FROM_OLD_FILES;
  return INVALID;
}

// Removes |folder| and its parents while they are empty, stopping below
// |top|: the version folder and the folders of removed files go, the install
// folder and anything above it stay.
void RemoveEmptyFoldersBelow(base::FilePath folder, const base::FilePath& top) {
  while (top.IsParent(folder) && base::IsDirectoryEmpty(folder) && base::DeleteFile(folder))
    folder = folder.DirName();
}

}  // namespace

void RemoveInstalledFilesStep::Run(StepResult* result, int attempt) {
  *result = StepResult(StepResult::CODE_DONE);
  LOG(INFO) << "Removing installed files.";
  const base::FilePath& install_path = host_->GetInstallPath();
  base::FilePath old_status = install_path.Append(kOldStatusFolderName);
  if (!base::DirectoryExists(old_status)) {
    VLOG(1) << "No old status files found.";
    return;
  }
  const bool uninstalling = host_->GetSettings()->GetOperation() == UNINSTALLING;
  base::FileEnumerator enumerator(old_status, false, base::FileEnumerator::FILES);
  for (base::FilePath file = enumerator.Next(); !file.empty(); file = enumerator.Next()) {
    InstallationStatusSource format = GetOldStatusFormat(file);
    if (format == INVALID)
      continue;
    std::string contents;
    if (!base::ReadFileToString(file, &contents)) {
      VLOG(1) << "Cannot load an old file to string: " << file.AsUTF8Unsafe();
      continue;
    }
    std::unique_ptr<InstallationStatusReader> reader = CreateInstallationStatusReader(format);
    std::unique_ptr<InstallationStatus> record = reader ? reader->Read(contents, format) : nullptr;
    base::FilePath version_folder = install_path;
    if (!record ||
        (!record->subfolder.empty() &&
         !AppendContainedPath(install_path, record->subfolder, &version_folder))) {
      VLOG(1) << "Found invalid old status file: " << file.AsUTF8Unsafe();
      continue;
    }
    VLOG(1) << "Found old status file: " << file.AsUTF8Unsafe();
    bool failed = false;
    std::vector<base::FilePath> deleted_files;
    {
      Transaction own_transaction;
      for (const std::wstring& entry : record->files) {
        base::FilePath path;
        bool deleted =
            AppendContainedPath(version_folder, entry, &path) &&
            own_transaction.Do(std::make_unique<DeleteFileOperation>(path.value(), false, false));
        if (deleted) {
          deleted_files.push_back(path);
          continue;
        }
        LOG(WARNING) << "Cannot remove an installed file of " << file.AsUTF8Unsafe();
        failed = true;
        if (!uninstalling) {
          own_transaction.Rollback();
          break;
        }
      }
      if (host_->GetEnvironment().privileges->IsElevatedAdministrator())
        UpdateFirewallRules(host_, version_folder, false);
      if (!failed) {
        VLOG(1) << "Deleting " << file.AsUTF8Unsafe();
        base::DeleteFile(file);
      }
      // Leaving the scope drops the own transaction: its deletions are final.
    }
    if (!failed || uninstalling) {
      for (const base::FilePath& path : deleted_files)
        RemoveEmptyFoldersBelow(path.DirName(), install_path);
    }
  }
  if (base::IsDirectoryEmpty(old_status))
    base::DeleteFile(old_status);
  base::FilePath start_menu;
  if (base::PathService::Get(base::DIR_START_MENU, &start_menu)) {
    base::FileEnumerator shortcuts(start_menu, false, base::FileEnumerator::FILES,
                                   kOldCompanionShortcutPattern);
    for (base::FilePath shortcut = shortcuts.Next(); !shortcut.empty();
         shortcut = shortcuts.Next()) {
      base::DeleteFile(shortcut);
    }
  }
}

}  // namespace installer
