#include "desktop/windows/installer/steps/write_installation_status_step.h"

#include <optional>
#include <string>

#include "base/logging.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/json_installation_status_writer.h"
#include "desktop/windows/installer/steps/transacted_file_write.h"

namespace installer {

void WriteInstallationStatusStep::Run(StepResult* result, int attempt) {
  VLOG(1) << "Writing the installation status";
  std::optional<std::string> json = InstallationStatusToJson(*host_->GetInstallationStatus());
  if (json && WriteFileInTransaction(host_->GetTransaction(),
                                     host_->GetInstallPath().Append(kInstallationStatusFileName),
                                     *json)) {
    *result = StepResult(StepResult::CODE_DONE);
    return;
  }
  *result = StepResult(StepResult::CODE_FAILED, ERROR_CATEGORY_INSTALLATION, std::wstring(),
                       "Failed saving the installation status");
}

}  // namespace installer
