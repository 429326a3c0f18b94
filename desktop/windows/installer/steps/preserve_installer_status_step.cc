#include "desktop/windows/installer/steps/preserve_installer_status_step.h"

#include <memory>
#include <string>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/time/clock.h"
#include "desktop/windows/installer/installer_environment.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/transactions/create_folder_operation.h"
#include "desktop/windows/installer/service/transactions/move_file_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"

namespace installer {

void PreserveInstallerStatusStep::Run(StepResult* result, int attempt) {
  *result = StepResult(StepResult::CODE_DONE);
  LOG(INFO) << "Preserving previous installer status.";
  const base::FilePath& install_path = host_->GetInstallPath();
  base::FilePath status_file;
  for (const wchar_t* name : kStatusFileNames) {
    if (base::PathExists(install_path.Append(name))) {
      status_file = install_path.Append(name);
      break;
    }
  }
  if (status_file.empty()) {
    LOG(WARNING) << "No previous status file found.";
    return;
  }
  // Kept, the status is the only record of the version folder it names, which
  // a later run removes by it; an upgrade that cannot keep it must not go on
  // to replace it with the new one.
  const StepResult failed(StepResult::CODE_RETRY_THEN_FAIL, ERROR_CATEGORY_INSTALLATION,
                          std::wstring(), "Failed preserving the previous installation status");
  Transaction* transaction = host_->GetTransaction();
  base::FilePath old_status = install_path.Append(kOldStatusFolderName);
  if (!base::DirectoryExists(old_status)) {
    VLOG(1) << "Creating folder for old status files.";
    if (!transaction->Do(std::make_unique<CreateFolderOperation>(old_status.value()))) {
      *result = failed;
      return;
    }
  }
  // A status kept within the same second (two upgrades in a row) keeps its
  // file: this one takes the next free second.
  int64_t seconds = host_->GetEnvironment().clock->Now().ToTimeT();
  base::FilePath target;
  do {
    target = old_status.Append(status_file.BaseName().value()).AddExtension(
        std::to_wstring(seconds++));
  } while (base::PathExists(target));
  VLOG(1) << "Moving old status file.";
  if (!transaction->Do(std::make_unique<MoveFileOperation>(status_file.value(), target.value())))
    *result = failed;
}

}  // namespace installer
