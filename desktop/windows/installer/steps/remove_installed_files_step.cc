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
#include "desktop/windows/installer/service/shared_folder_mark.h"
#include "desktop/windows/installer/service/transactions/delete_file_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/steps/firewall_rules.h"
#include "desktop/windows/installer/steps/remove_listed_files_operation.h"

namespace installer {

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
  // Listed first: the deletions put backups into the same folder.
  std::vector<base::FilePath> status_files;
  base::FileEnumerator enumerator(old_status, false, base::FileEnumerator::FILES);
  for (base::FilePath file = enumerator.Next(); !file.empty(); file = enumerator.Next())
    status_files.push_back(file);
  for (const base::FilePath& file : status_files) {
    InstallationStatusSource format = GetOldStatusFileSource(file);
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
    std::vector<base::FilePath> files;
    for (const std::wstring& entry : record->files) {
      base::FilePath path;
      if (AppendContainedPath(version_folder, entry, &path))
        files.push_back(path);
      else
        LOG(WARNING) << "Passing over a listed file outside the installation";
    }
    if (host_->GetEnvironment().privileges->IsElevatedAdministrator())
      UpdateFirewallRules(host_, version_folder, false);
    host_->GetTransaction()->Do(std::make_unique<RemoveListedFilesOperation>(
        std::move(files), file, install_path, uninstalling));
  }
  base::FilePath start_menu;
  if (base::PathService::Get(base::DIR_START_MENU, &start_menu)) {
    base::FileEnumerator shortcuts(start_menu, false, base::FileEnumerator::FILES,
                                   kOldCompanionShortcutPattern);
    // Listed first: the deletions put their backups into the same folder.
    std::vector<base::FilePath> found;
    for (base::FilePath shortcut = shortcuts.Next(); !shortcut.empty();
         shortcut = shortcuts.Next()) {
      found.push_back(shortcut);
    }
    // In the run's transaction, so that a failed upgrade brings them back.
    if (!found.empty())
      SharedFolderMark::Set(start_menu);
    for (const base::FilePath& shortcut : found) {
      host_->GetTransaction()->Do(
          std::make_unique<DeleteFileOperation>(shortcut.value(), false, false));
    }
  }
}

}  // namespace installer
