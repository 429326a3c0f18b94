#include "desktop/windows/installer/steps/remove_old_root_files_step.h"

#include <memory>

#include "base/logging.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/service/contained_path.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/transactions/delete_file_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"

namespace installer {

void RemoveOldRootFilesStep::Run(StepResult* result, int attempt) {
  *result = StepResult(StepResult::CODE_DONE);
  LOG(INFO) << "Removing old files from installation root";
  const InstallationStatus* record = host_->GetFolderDetailsRecord();
  if (!record)
    return;
  for (const std::wstring& entry : record->root_files) {
    base::FilePath path;
    if (!AppendContainedPath(host_->GetInstallPath(), entry, &path)) {
      LOG(WARNING) << "Passing over a root file outside the installation";
      continue;
    }
    host_->GetTransaction()->Do(std::make_unique<DeleteFileOperation>(path.value(), false, false));
  }
}

}  // namespace installer
