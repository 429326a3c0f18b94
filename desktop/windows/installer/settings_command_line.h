// SettingsCommandLine: the settings' command-line form in both directions —
// reading the user's (or the front end's) switches into a SettingsImpl,
// writing a Settings as the back end's switches, passing the browser's
// import switches through, and recording the settings in statistics.
//
// SettingsImpl calls it for Settings::ToCommandLine, CopyImportSwitches and
// WriteStats, and whenever its own rules say the settings are re-read from
// the command line (construction, a folder holding an installation).
// ReadSettings writes flags with SettingsImpl::WriteFlag (no notifications)
// after SettingsImpl::ApplyDefaultFlags, and applies the copy-only rule with
// SettingsImpl::ApplyCopyOnlyRule. All calls come from the settings' thread.

#ifndef DESKTOP_WINDOWS_INSTALLER_SETTINGS_COMMAND_LINE_H_
#define DESKTOP_WINDOWS_INSTALLER_SETTINGS_COMMAND_LINE_H_

#include <string>

namespace base {
class CommandLine;
}

namespace installer {

class Settings;
class SettingsImpl;
class StatsScope;

class SettingsCommandLine {
 public:
  virtual ~SettingsCommandLine() = default;

  // Reads |command_line|'s settings switches into |settings| (only while it
  // is editable).
  virtual void ReadSettings(const base::CommandLine& command_line,
                            SettingsImpl* settings) const = 0;
  // Appends |settings| as back-end switches to |command_line|.
  virtual void WriteSettings(const Settings& settings, bool suppress_launch,
                             base::CommandLine* command_line) const = 0;
  // Copies the import switches present on |from| onto |to|.
  virtual void CopyImportSwitches(const base::CommandLine& from,
                                  base::CommandLine* to) const = 0;
  virtual void WriteStats(const Settings& settings, const std::string& prefix,
                          StatsScope* scope) const = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SETTINGS_COMMAND_LINE_H_
