// The registry template tables of the installation model: the browser's ProgID
// class, a URL protocol ("{Protocol}") and a file extension ("{Extension}").
// The last row of the protocol and extension tables removes the user's own
// choice of handler; a caller may apply only the rows before it.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_REGISTRY_TEMPLATES_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_REGISTRY_TEMPLATES_H_

#include "desktop/windows/installer/service/registry_template_entry.h"

namespace installer {

extern const RegistryTemplate kProgIdRegistryTemplates[8];
extern const RegistryTemplate kProtocolRegistryTemplates[9];
extern const RegistryTemplate kExtensionRegistryTemplates[2];

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_REGISTRY_TEMPLATES_H_
