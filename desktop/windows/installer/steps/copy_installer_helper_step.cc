#include "desktop/windows/installer/steps/copy_installer_helper_step.h"

#include "base/strings/utf_string_conversions.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/service/installation_status.h"

namespace installer {

namespace {

const char* GetInstallerHelperName() {
  return base::win::OSInfo::GetInstance()->architecture() == base::win::OSInfo::X64_ARCHITECTURE
             ? "installer_helper_64.exe"
             : "installer_helper.exe";
}

}  // namespace

CopyInstallerHelperStep::CopyInstallerHelperStep(InstallerStepHost* host)
    : CopyFileStep(host, GetInstallerHelperName()) {}

void CopyInstallerHelperStep::OnFileCopied() {
  host_->GetInstallationStatus()->files.push_back(base::UTF8ToWide(name()));
}

bool CopyInstallerHelperStep::IsRequired() {
  return false;
}

base::FilePath CopyInstallerHelperStep::GetDestinationFolder() {
  return host_->GetInstallFolder().Append(host_->GetInstallationStatus()->subfolder);
}

}  // namespace installer
