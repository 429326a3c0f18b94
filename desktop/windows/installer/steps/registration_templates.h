// The installer's registration template table: the browser's ProgID class,
// file type and protocol hints, the start-menu client with its capabilities,
// and the uninstall entry ("{Uninstall}"), in the order SetupRegistryStep
// applies them. The table begins with the installation model's ProgID rows.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_REGISTRATION_TEMPLATES_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_REGISTRATION_TEMPLATES_H_

#include <string>
#include <vector>

#include "desktop/windows/installer/service/registry_template_entry.h"

namespace installer {

// The key path of every uninstall row.
inline constexpr wchar_t kUninstallKeyPlaceholder[] = L"{Uninstall}";

// The 57 rows, followed by the row that hides the entry from the list of
// installed programs when |hide_from_programs| is set.
std::vector<RegistryTemplate> GetRegistrationTemplates(bool hide_from_programs);

// Whether |row| writes the uninstall entry.
bool IsUninstallTemplate(const RegistryTemplate& row);

// The name of the uninstall entry's key below the uninstall key, before the
// number that tells it from other installations' entries of the same version:
// the product name, a space and |version|.
std::wstring GetUninstallEntryName(const std::string& version);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_REGISTRATION_TEMPLATES_H_
