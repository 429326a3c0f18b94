#include "desktop/windows/installer/steps/firewall_rules.h"

#include <memory>

#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/installer_environment.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/service/firewall_manager.h"
#include "desktop/windows/installer/service/system_utils.h"

namespace installer {

void UpdateFirewallRules(InstallerStepHost* host, const base::FilePath& version_folder, bool add) {
  const base::FilePath executable =
      version_folder.Append(base::UTF8ToWide(GetBrowserExecutableName()));
  std::unique_ptr<FirewallManager> manager = host->GetEnvironment().firewall_manager_factory.Run(executable);
  if (!manager) {
    LOG(ERROR) << "Failed creating a FirewallManager.";
    return;
  }
  if (!add) {
    manager->RemoveAllRules();
    return;
  }
  if (!manager->AddMdnsRule())
    LOG(ERROR) << "Failed creating a firewall rules.";
}

}  // namespace installer
