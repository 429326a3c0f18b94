#include "desktop/windows/installer/steps/copy_listed_file_step.h"

#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/service/installation_status.h"

namespace installer {

CopyListedFileStep::CopyListedFileStep(InstallerStepHost* host, const std::string& entry)
    : CopyFileStep(host, entry) {}

void CopyListedFileStep::OnFileCopied() {
  host_->GetInstallationStatus()->files.push_back(base::UTF8ToWide(name()));
}

base::FilePath CopyListedFileStep::GetDestinationFolder() {
  return host_->GetInstallFolder().Append(host_->GetInstallationStatus()->subfolder);
}

}  // namespace installer
