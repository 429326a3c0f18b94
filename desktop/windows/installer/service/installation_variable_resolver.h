// InstallationVariableResolver: the placeholders of the installation model's
// registry templates (ProgID, URL protocol, file extension, start-menu
// client). "InstallFolder" is the installation folder, "Product" and "Stream"
// the build's product and stream names, "Extension" and "Protocol" the target
// name (empty for the ProgID); any other name resolves to itself. Nothing
// applied through it is recorded in a status record.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_VARIABLE_RESOLVER_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_VARIABLE_RESOLVER_H_

#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "desktop/windows/installer/service/variable_resolver.h"

namespace installer {

class InstallationVariableResolver : public VariableResolver {
 public:
  InstallationVariableResolver(const std::wstring& target_name, const base::FilePath& folder);
  ~InstallationVariableResolver() override;

  std::wstring ResolveVariable(const std::wstring& name) override;
  std::vector<InstallationStatus::RegistryKey>* GetRegistryKeys(HKEY root) override;

 private:
  std::wstring target_name_;
  base::FilePath folder_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_VARIABLE_RESOLVER_H_
