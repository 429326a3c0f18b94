// SettingsCommandLineImpl: the switch form of the settings (see
// settings_command_line.h for the interface and who calls it).
//
// Writing: "backend", then "silent", then the process's own "initial-pid",
// "temp-folder", "components" and "v" when present; for an install or upgrade
// the settings follow, boolean ones as "1" or "0" (only those that the back
// end may take from the front end: an upgrade keeps single profile, copy-only
// and all-users of the installation it upgrades, a stand-alone copy writes no
// switch that would change the system), then the process's
// "server-tracking-data", the feature overrides and the browser's import
// switches; an uninstall writes "uninstall" and "deleteuserprofile". Other
// operations write only the leading switches.
//
// Reading: the defaults, then each switch present overrides its flag, in an
// order that keeps the copy-only rule: a stand-alone copy ignores the
// switches of system changes and always uses a single profile. Boolean
// values are parsed with ParseBoolSwitchValue; an absent switch keeps the
// default. Reading the written form of a settings object gives back the same
// flags, folder, profile folder, niuid and medium.
//
// Statistics: the mode, operation, default-browser choice and whether the
// folder is the standard one or needs elevation go under the caller's prefix;
// "autoupdate", "build_arch" and what is known of the folder's status file
// ("xml_status_parse_error", in one run of twenty "xml_status_faulty_file",
// "installation_status_source") are written at the scope's top level.

#ifndef DESKTOP_WINDOWS_INSTALLER_SETTINGS_COMMAND_LINE_IMPL_H_
#define DESKTOP_WINDOWS_INSTALLER_SETTINGS_COMMAND_LINE_IMPL_H_

#include <string>

#include "base/functional/callback.h"
#include "desktop/windows/installer/settings_command_line.h"
#include "desktop/windows/installer/settings_flag.h"

namespace installer {

class FeatureRegistry;
class UserToken;

class SettingsCommandLineImpl : public SettingsCommandLine {
 public:
  // What the form asks of the process and the machine; every pointer must
  // outlive the form.
  struct Environment {
    Environment();
    Environment(const Environment&);
    Environment& operator=(const Environment&);
    ~Environment();

    // The command line switches are copied from. Null: the process's.
    const base::CommandLine* process_command_line = nullptr;
    // The registry whose overrides are handed on. Null: the process-wide one.
    const FeatureRegistry* features = nullptr;
    // Whose rights decide whether a folder is privileged. Null: the process
    // token.
    const UserToken* user_token = nullptr;
    // A uniform draw from [min, max], for sampling. Null: base::RandInt.
    base::RepeatingCallback<int(int min, int max)> rand_int;
  };

  explicit SettingsCommandLineImpl(const Environment& environment = Environment());
  SettingsCommandLineImpl(const SettingsCommandLineImpl&) = delete;
  SettingsCommandLineImpl& operator=(const SettingsCommandLineImpl&) = delete;
  ~SettingsCommandLineImpl() override;

  // SettingsCommandLine:
  void ReadSettings(const base::CommandLine& command_line, SettingsImpl* settings) const override;
  void WriteSettings(const Settings& settings,
                     bool suppress_launch,
                     base::CommandLine* command_line) const override;
  void CopyImportSwitches(const base::CommandLine& from, base::CommandLine* to) const override;
  void WriteStats(const Settings& settings,
                  const std::string& prefix,
                  StatsScope* scope) const override;

 private:
  const base::CommandLine& GetProcessCommandLine() const;
  const FeatureRegistry& GetFeatures() const;

  Environment environment_;
};

// The statistics names of the installation mode and operation ("all_users",
// "installing", ...; "invalid" for anything else).
std::string InstallationModeToStatsName(InstallationMode mode);
std::string InstallationOperationToStatsName(InstallationOperation operation);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SETTINGS_COMMAND_LINE_IMPL_H_
