// The companion components named by the switch "components": entries
// separated by "|", each a name and a folder separated by ":" (white space
// trimmed, empty parts dropped). A component's installer is the name followed
// by "_installer.exe" in that folder, found beside the package folder; the
// component is installed into the same folder below the install path.
//
// Names and folders come from the command line: a entry whose name
// is not a plain file name, or whose folder is not a plain relative path
// (absolute, drive, UNC, ":" or ".." components), is dropped.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_COMPONENT_ENTRY_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_COMPONENT_ENTRY_H_

#include <string>
#include <string_view>
#include <vector>

#include "base/files/file_path.h"

namespace base {
class CommandLine;
}

namespace installer {

class Settings;

// The name of the component that falls back to the "pomrel" installer.
inline constexpr char kSuiteComponentName[] = "suite";
inline constexpr char kPomrelComponentName[] = "pomrel";

struct ComponentEntry {
  // As written on the command line, for the log.
  std::wstring text;
  std::string name;
  base::FilePath folder;
};

std::vector<ComponentEntry> ParseComponentEntries(const std::wstring& value);

// Appends the installation mode switches a component's installer takes:
// "copyonly" and "allusers", each "1" or "0".
void AppendComponentModeSwitches(const Settings& settings, base::CommandLine* command_line);

// Whether |name| can name a component's installer: a contained path without
// separators.
bool IsPlainComponentName(std::string_view name);

// "<name>_installer.exe" in |folder|; for the "suite" component whose own
// installer is missing, the "pomrel" installer of the same folder.
base::FilePath GetComponentInstallerPath(const base::FilePath& folder, const std::string& name);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_COMPONENT_ENTRY_H_
