#include "desktop/windows/installer/steps/copy_root_file_step.h"

#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/service/installation_status.h"

namespace installer {

CopyRootFileStep::CopyRootFileStep(InstallerStepHost* host, const std::string& entry)
    : CopyFileStep(host, entry) {}

void CopyRootFileStep::OnFileCopied() {
  host_->GetInstallationStatus()->root_files.push_back(base::UTF8ToWide(name()));
}

base::FilePath CopyRootFileStep::GetDestinationFolder() {
  return host_->GetInstallFolder();
}

}  // namespace installer
