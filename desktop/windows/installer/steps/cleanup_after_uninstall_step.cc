#include "desktop/windows/installer/steps/cleanup_after_uninstall_step.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/base_paths.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/cleanup_batch_launch.h"
#include "desktop/windows/installer/installer_environment.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/service/contained_path.h"
#include "desktop/windows/installer/service/folder_installation.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/transactions/delete_file_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/steps/autoupdate_task.h"
#include "desktop/windows/installer/steps/cleanup_batch_file.h"
#include "desktop/windows/installer/steps/run_on_commit_operation.h"
#include "desktop/windows/installer/steps/transacted_file_write.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

constexpr wchar_t kPrefDefaultOverridesFile[] = L"pref_default_overrides";
constexpr wchar_t kOldExtension[] = L".old";
// Every browser profile folder (user data folder) holds this file.
constexpr wchar_t kLocalStateFile[] = L"Local State";

void RunCleanupBatchFile(const base::FilePath& install_path) {
  LOG(INFO) << "Starting final cleanup batch file.";
  StartCleanupBatchFile(install_path);
}

void DeleteProfileFolders(const std::vector<base::FilePath>& folders) {
  LOG(INFO) << "Deleting user profile.";
  for (const base::FilePath& folder : folders)
    base::DeletePathRecursively(folder);
}

}  // namespace

CleanupAfterUninstallStep::CleanupAfterUninstallStep(InstallerStepHost* host)
    : InstallerStep(host) {}

CleanupAfterUninstallStep::~CleanupAfterUninstallStep() = default;

void CleanupAfterUninstallStep::RemoveFile(const base::FilePath& file, bool keep_for_batch,
                                           CleanupBatchFile* batch) {
  if (host_->GetTransaction()->Do(
          std::make_unique<DeleteFileOperation>(file.value(), true, true)) ||
      !keep_for_batch) {
    return;
  }
  if (batch->AddFile(file))
    batch->AddFolderWithAncestors(file.DirName());
}

bool CleanupAfterUninstallStep::IsProtectedFolder(const base::FilePath& folder) {
  const base::FilePath candidate = folder.StripTrailingSeparators();
  if (candidate.empty() || !candidate.IsAbsolute() || candidate.ReferencesParent() ||
      candidate.DirName() == candidate) {
    return true;
  }
  // Deleting an ancestor of the install folder would take the installation
  // (and whatever sits beside it) along.
  const base::FilePath install_path = host_->GetInstallPath().StripTrailingSeparators();
  if (candidate.IsParent(install_path) ||
      base::FilePath::CompareEqualIgnoreCase(candidate.value(), install_path.value())) {
    return true;
  }
  for (int key : {base::DIR_HOME, base::DIR_WINDOWS, base::DIR_PROGRAM_FILES,
                  base::DIR_PROGRAM_FILESX86, base::DIR_APP_DATA, base::DIR_LOCAL_APP_DATA,
                  base::DIR_COMMON_APP_DATA, base::DIR_USER_DESKTOP, base::DIR_COMMON_DESKTOP,
                  base::DIR_START_MENU, base::DIR_COMMON_START_MENU, base::DIR_TEMP}) {
    base::FilePath known;
    if (!base::PathService::Get(key, &known))
      continue;
    known = known.StripTrailingSeparators();
    if (candidate.IsParent(known) ||
        base::FilePath::CompareEqualIgnoreCase(candidate.value(), known.value())) {
      return true;
    }
  }
  return false;
}

bool CleanupAfterUninstallStep::GetProfileFolderToDelete(Installation* installation,
                                                         base::FilePath* folder) {
  base::FilePath user_data;
  if (!installation->GetUserDataFolder(&user_data))
    return false;
  // With a profile path per user name the user-data folder is the common
  // parent of every user's profile: only this user's own goes.
  base::FilePath own;
  if (installation->GetDataFolder(&own) && user_data.IsParent(own))
    user_data = own;
  if (IsProtectedFolder(user_data)) {
    LOG(WARNING) << "Not deleting the profile folder " << user_data.value();
    return false;
  }
  if (!base::PathExists(user_data.Append(kLocalStateFile))) {
    LOG(WARNING) << "No browser profile in " << user_data.value();
    return false;
  }
  *folder = user_data;
  return true;
}

bool CleanupAfterUninstallStep::GetProfileFoldersToDelete(std::vector<base::FilePath>* folders) {
  FolderInstallation installation(host_->GetInstallPath());
  base::FilePath profile;
  if (!GetProfileFolderToDelete(&installation, &profile))
    return false;
  folders->push_back(profile);
  base::FilePath rebased;
  installation.RebaseProfilePath(profile, &rebased);
  if (rebased != profile && !IsProtectedFolder(rebased))
    folders->push_back(rebased);
  return true;
}

void CleanupAfterUninstallStep::Run(StepResult* result, int attempt) {
  *result = StepResult();
  LOG(INFO) << "Cleaning up files after uninstallation";
  const Settings* settings = host_->GetSettings();
  const base::FilePath install_path = host_->GetInstallPath();
  const InstallationStatus* record = host_->GetFolderDetailsRecord();

  if (!settings->GetCopyOnly() && record) {
    VLOG(1) << "Removing scheduled task";
    RemoveAutoupdateTask(host_, DescribeAutoupdateTask(install_path, record->app_id,
                                                       record->all_users));
  }

  CleanupBatchFile batch(install_path);
  if (record && (record->subfolder.empty() || IsContainedRelativePath(record->subfolder))) {
    const base::FilePath version_folder = install_path.Append(record->subfolder);
    for (const std::wstring& file : record->files) {
      if (IsContainedRelativePath(file))
        RemoveFile(version_folder.Append(file), true, &batch);
      else
        LOG(WARNING) << "Ignoring recorded file " << file;
    }
  }
  RemoveFile(install_path.Append(kLauncherExeName), true, &batch);
  if (!ProductConfig::IsWhiteLabeled()) {
    const base::FilePath old_browser =
        install_path.Append(base::UTF8ToWide(GetBrowserExecutableName()))
            .ReplaceExtension(kOldExtension);
    if (base::PathExists(old_browser))
      RemoveFile(old_browser, false, &batch);
  }
  RemoveFile(install_path.Append(kPrefDefaultOverridesFile), true, &batch);
  if (record) {
    for (const std::wstring& file : record->root_files) {
      if (IsContainedRelativePath(file))
        RemoveFile(install_path.Append(file), false, &batch);
    }
  }

  uint32_t initial_pid = 0;
  if (!base::StringToUint(host_->GetEnvironment().command_line->GetSwitchValueASCII(
                              switches::kInitialPid),
                          &initial_pid)) {
    initial_pid = 0;
  }
  batch.SetProcessIds(GetCurrentProcessId(), initial_pid, host_->GetSecondInstallerPid());
  // Written through the transaction, and started and the profile deleted
  // only once the run is kept: an uninstallation rolled back after this step
  // leaves neither a batch file that would delete the restored files nor a
  // deleted profile.
  Transaction* transaction = host_->GetTransaction();
  const base::FilePath batch_path = install_path.Append(kCleanupBatchFileName);
  const bool written = WriteFileInTransaction(transaction, batch_path, batch.GetText());
  if (written && !host_->HasDoneEvent()) {
    transaction->Do(std::make_unique<RunOnCommitOperation>(
        base::BindOnce(&RunCleanupBatchFile, install_path)));
  }

  std::vector<base::FilePath> profile_folders;
  if (settings->GetDeleteProfile() && GetProfileFoldersToDelete(&profile_folders)) {
    transaction->Do(std::make_unique<RunOnCommitOperation>(
        base::BindOnce(&DeleteProfileFolders, std::move(profile_folders))));
  }
}

}  // namespace installer
