// The console help of the installer ("--help" or "--?"): the version, every
// switch a user may give with its help and default texts, the languages the
// "language" switch takes and the features that can be switched on or off.

#ifndef DESKTOP_WINDOWS_INSTALLER_CONSOLE_HELP_H_
#define DESKTOP_WINDOWS_INSTALLER_CONSOLE_HELP_H_

#include <string>
#include <vector>

namespace installer {

struct HelpRow {
  const char* switch_name;
  const char* value_name;    // null: the switch takes no value
  const char* help_text;     // may hold one "%s" for the product name
  const char* default_text;  // null: no default is shown; may hold "%s"
};

// The sixteen rows, in the order they are printed.
const std::vector<HelpRow>& GetHelpRows();

// The whole help text as PrintHelp writes it.
std::string BuildHelpText();

// Opens a console, writes BuildHelpText to it and waits for a key ("PAUSE").
// Writes nothing when the console output cannot be opened.
void PrintHelp();

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_CONSOLE_HELP_H_
