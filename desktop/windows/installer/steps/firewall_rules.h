// The browser's firewall rules for one installed executable: added at the
// end of an install or upgrade, removed with an old version or by an
// uninstallation. Failures are logged and never fail a run.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_FIREWALL_RULES_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_FIREWALL_RULES_H_

#include "base/files/file_path.h"

namespace installer {

class InstallerStepHost;

// Adds (|add|) or removes the rules of the browser executable in
// |version_folder|.
void UpdateFirewallRules(InstallerStepHost* host, const base::FilePath& version_folder, bool add);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_FIREWALL_RULES_H_
