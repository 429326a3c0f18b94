#include "desktop/windows/installer/steps/copy_launcher_step.h"

#include <memory>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/transactions/copy_file_operation.h"
#include "desktop/windows/installer/service/transactions/move_file_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "product_config/product_config.h"

namespace installer {

namespace {
constexpr char kLauncherFileName[] = "launcher.exe";
}  // namespace

CopyLauncherStep::CopyLauncherStep(InstallerStepHost* host)
    : CopyFileStep(host, kLauncherFileName) {}

void CopyLauncherStep::OnFileCopied() {
  if (ProductConfig::IsWhiteLabeled())
    return;
  VLOG(2) << "Check if the launcher should be installed as velto.exe";
  base::FilePath browser_path =
      host_->GetInstallPath().AppendASCII(GetBrowserExecutableName());
  base::FilePath old_path = browser_path.ReplaceExtension(L".old");
  if (!(host_->IsExistingInstallation() && host_->IsDrovikInstallation()) &&
      !(base::PathExists(browser_path) && base::PathExists(old_path))) {
    return;
  }
  VLOG(1) << "Install the launcher as velto.exe";
  // The move and the copy stand or fall together: a browser moved aside with
  // no launcher in its place would leave the installation without its
  // executable.
  Transaction launcher;
  if (!launcher.Do(
          std::make_unique<MoveFileOperation>(browser_path.value(), old_path.value())) ||
      !launcher.Do(std::make_unique<CopyFileOperation>(
          host_->GetPackageFolder().AppendASCII(kLauncherFileName).value(),
          browser_path.value()))) {
    launcher.Rollback();
    LOG(WARNING) << "Failed installing the launcher as velto.exe";
    return;
  }
  host_->GetTransaction()->Adopt(&launcher);
}

base::FilePath CopyLauncherStep::GetDestinationFolder() {
  return host_->GetInstallFolder();
}

}  // namespace installer
