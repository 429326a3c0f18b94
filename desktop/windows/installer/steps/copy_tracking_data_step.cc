#include "desktop/windows/installer/steps/copy_tracking_data_step.h"

#include "base/files/file_util.h"
#include "desktop/windows/installer/installer_step_host.h"

namespace installer {

namespace {
constexpr char kTrackingDataFileName[] = "server_tracking_data";
}  // namespace

CopyTrackingDataStep::CopyTrackingDataStep(InstallerStepHost* host)
    : CopyFileStep(host, host->GetServerTrackingData()) {}

bool CopyTrackingDataStep::IsRequired() {
  return false;
}

bool CopyTrackingDataStep::ShouldSkip(const base::FilePath& source) {
  return !base::PathExists(source);
}

std::string CopyTrackingDataStep::GetName() {
  return kTrackingDataFileName;
}

base::FilePath CopyTrackingDataStep::GetDestinationFolder() {
  return host_->GetInstallPath();
}

}  // namespace installer
