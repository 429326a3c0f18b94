// Settings: the choices of one installation run — the operation, the
// installation mode, the eighteen flags of SettingsFlag, the install folder
// with its analysis, the language, the profile folder and two tracking
// strings.
//
// Contract:
// - Every setter refuses (returns false, changes and logs nothing) unless the
//   settings are editable; SetEditable(false) freezes them for a run.
// - A flag setter that succeeds notifies SettingsObserver::OnSettingChanged;
//   the language setter OnLanguageChanged; the arrival of a folder analysis
//   OnPathChanged.
// - Setting a new install folder starts an asynchronous analysis; until it
//   arrives GetOperation() is INVALID_PATH and GetFolderDetails() describes
//   the previous folder. IsFetchingStatus() tells whether one is pending.
// - All calls are made on the thread that created the settings.
//
// SettingsImpl is the implementation.

#ifndef DESKTOP_WINDOWS_INSTALLER_SETTINGS_H_
#define DESKTOP_WINDOWS_INSTALLER_SETTINGS_H_

#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "desktop/windows/installer/settings_flag.h"

namespace base {
class CommandLine;
}

namespace installer {

class InstallationFolderDetails;
class SettingsObserver;
class StatsScope;

class Settings {
 public:
  virtual ~Settings() = default;

  // The default install folder from the sources allowed by |kind| (a set of
  // DefaultFolderKind bits): the command-line folder, the last install folder
  // in the registry (not for a stand-alone copy), then the standard folder of
  // the installation mode. Empty when none applies.
  virtual void GetDefaultInstallFolder(base::FilePath* path, int kind) const = 0;
  // Stand-alone: the folders offered on the machine's drives, best first;
  // otherwise the one default folder from the registry or standard rule.
  virtual void GetSuggestedInstallFolders(std::vector<base::FilePath>* folders) const = 0;
  virtual InstallationOperation GetOperation() const = 0;
  // The analysis of the current install folder; never null.
  virtual const InstallationFolderDetails* GetFolderDetails() const = 0;
  virtual bool IsFetchingStatus() const = 0;
  // Adds |observer| unless it is already there.
  virtual void AddObserver(SettingsObserver* observer) = 0;
  virtual void RemoveObserver(SettingsObserver* observer) = 0;

  virtual bool SetLaunch(bool value) = 0;
  // Refused for a stand-alone copy.
  virtual bool SetDefaultBrowser(bool value) = 0;
  virtual bool SetImportBrowserData(bool value) = 0;
  virtual bool SetEnableInstallerStats(bool value) = 0;
  virtual bool SetEnableVeltoStats(bool value) = 0;
  // Refused for a stand-alone copy.
  virtual bool SetDesktopShortcut(bool value) = 0;
  virtual bool SetStartMenuShortcut(bool value) = 0;
  virtual bool SetQuickLaunchShortcut(bool value) = 0;
  // Refused unless uninstalling.
  virtual bool SetDeleteProfile(bool value) = 0;
  // Refused for a stand-alone copy.
  virtual bool SetInstallPomrel(bool value) = 0;
  // Switches to an InstallationMode, adjusting single profile, copy-only and
  // all-users; a folder still at a suggested default moves to the new mode's
  // default. False when refused or the mode is unknown.
  virtual bool SetMode(InstallationMode mode) = 0;
  virtual bool AlwaysTrue() const = 0;
  // False for a stand-alone copy, and when replacing a former-engine
  // installation that is the http handler.
  virtual bool CanSetDefaultBrowser() const = 0;
  virtual bool IsNotCopyOnly() const = 0;
  virtual bool IsNewInstallation() const = 0;
  // False when two or more uninstall entries of this build's stream exist.
  virtual bool HasRegisteredInstallation() const = 0;
  // Refused while upgrading. On: clears every flag that changes the system
  // beyond the folder. Off: shortcut flags back on unless the command line
  // fixes them.
  virtual bool SetCopyOnly(bool value) = 0;
  // Refused while upgrading.
  virtual bool SetSingleProfile(bool value) = 0;
  // Refused while upgrading and for a stand-alone copy.
  virtual bool SetAllUsers(bool value) = 0;
  virtual void SetInstallFolderString(const std::wstring& folder) = 0;
  // Starts the analysis of |folder| (forward slashes turned into
  // backslashes) when it differs from the current one.
  virtual void SetInstallFolder(const base::FilePath& folder) = 0;
  // Stores the nearest available language to |language|.
  virtual void SetInstallLanguage(const std::wstring& language) = 0;

  virtual bool GetLaunch() const = 0;
  virtual bool GetDefaultBrowser() const = 0;
  virtual bool GetImportBrowserData() const = 0;
  virtual bool GetEnableInstallerStats() const = 0;
  virtual bool GetEnableVeltoStats() const = 0;
  virtual bool GetDesktopShortcut() const = 0;
  virtual bool GetStartMenuShortcut() const = 0;
  virtual bool GetQuickLaunchShortcut() const = 0;
  virtual bool GetPinnedShortcut() const = 0;
  virtual bool GetDeleteProfile() const = 0;
  virtual bool GetReplaceDrovikInstallation() const = 0;
  virtual bool GetInstallPomrel() const = 0;
  virtual InstallationMode GetInstallationMode() const = 0;
  virtual bool GetCopyOnly() const = 0;
  virtual bool GetSingleProfile() const = 0;
  virtual bool GetAllUsers() const = 0;
  virtual bool GetSilent() const = 0;
  virtual bool GetUninstall() const = 0;
  virtual bool GetAutoupdate() const = 0;

  // The folder the current analysis was made for; also the suffix of the
  // names of the installer's mutex, mailslot and events.
  virtual const base::FilePath& GetInstallPath() const = 0;
  virtual const std::wstring& GetInstallLanguage() const = 0;
  virtual const base::FilePath& GetProfileFolder() const = 0;

  // The command-line form (see settings_command_line.h): copies the browser's
  // import switches of the process onto |command_line|.
  virtual void CopyImportSwitches(base::CommandLine* command_line) const = 0;
  // Appends the settings as back-end switches; with |suppress_launch| the
  // browser is not started after the run. Returns |command_line|.
  virtual base::CommandLine* ToCommandLine(base::CommandLine* command_line,
                                           bool suppress_launch) const = 0;
  // Records the settings in statistics, most keys under |prefix|.
  virtual void WriteStats(const std::string& prefix, StatsScope* scope) const = 0;

  virtual bool IsEditable() const = 0;
  virtual void SetEditable(bool editable) = 0;
  // 1 for the x64 build, else 0.
  virtual int GetArchitecture() const = 0;
  virtual const std::string& GetNiuid() const = 0;
  virtual void SetNiuid(const std::string& niuid) = 0;
  virtual const std::string& GetMedium() const = 0;
  virtual void SetMedium(const std::string& medium) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SETTINGS_H_
