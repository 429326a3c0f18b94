// VariableResolver gives the values of the placeholders in braces ("{Product}",
// "{Stream}", "{InstallFolder}", "{Version}", ...) used in registry templates
// and paths, and the status record's key list into which applied registry
// templates are recorded. Implemented by the installer and by the installation
// model's resolver.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_VARIABLE_RESOLVER_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_VARIABLE_RESOLVER_H_

#include <windows.h>

#include <string>
#include <vector>

#include "desktop/windows/installer/service/installation_status.h"

namespace installer {

class VariableResolver {
 public:
  virtual ~VariableResolver() = default;

  // The value of the placeholder |name| (given without braces). Must not
  // return the placeholder itself.
  virtual std::wstring ResolveVariable(const std::wstring& name) = 0;

  // The status record's key list for values written under |root| (hklm_keys
  // for HKEY_LOCAL_MACHINE, hkcu_keys otherwise), or null when nothing is to
  // be recorded.
  virtual std::vector<InstallationStatus::RegistryKey>* GetRegistryKeys(HKEY root) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_VARIABLE_RESOLVER_H_
