// InstallationFolderDetails: the analysis of one chosen install folder —
// whether the path can be used, its nearest existing parent, whether the
// user may write there, whether a browser installation is already in it (and
// of which kind) and what that installation left behind: its status record,
// shortcuts and taskbar pins, preferences, tracking data, profile and
// language.
//
// Contract: Initialize runs once, off the settings' thread (it reads files,
// the registry and shortcuts and may block); afterwards the object is only
// read. Nothing is reported as an error: an unusable path leaves
// IsValidInstallPath() false, unreadable values keep their defaults
// (tri-states -1, empty strings). InstallationFolderDetailsImpl is the
// implementation.

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLATION_FOLDER_DETAILS_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLATION_FOLDER_DETAILS_H_

#include <string>
#include <vector>

#include "base/files/file_path.h"

namespace installer {

struct InstallationStatus;

class InstallationFolderDetails {
 public:
  // Value of the tri-state getters when the folder did not record it.
  static constexpr int kNotRecorded = -1;

  virtual ~InstallationFolderDetails() = default;

  // Analyses |path|. |recovery_mode| is handed to the status loader (see
  // InstallationStatusLoader).
  virtual void Initialize(const base::FilePath& path, int recovery_mode) = 0;

  // The status record of the existing installation, or null.
  virtual const InstallationStatus* GetDetails() const = 0;
  virtual const base::FilePath& GetPath() const = 0;
  // The path itself when it is a folder, else its nearest existing ancestor.
  virtual const base::FilePath& GetValidParentFolder() const = 0;
  virtual bool IsValidInstallPath() const = 0;
  // Why the path cannot be used ("Path is relative", ...); empty when it can.
  virtual const std::string& GetInvalidPathReason() const = 0;
  // A status record is held.
  virtual bool IsExistingInstallation() const = 0;
  // The record is the former engine's install log.
  virtual bool IsDrovikInstallation() const = 0;
  // No record, but the launcher is in the folder.
  virtual bool HasExistingInstallationTraces() const = 0;
  // Which status file was read, or why none could be.
  virtual const std::string& GetStatusSource() const = 0;
  // The content of a status file that could not be read.
  virtual const std::string& GetStatusText() const = 0;
  virtual const std::string& GetWelcomeUrl() const = 0;
  virtual bool DesktopShortcutExists() const = 0;
  // Tri-state: kNotRecorded, 0 or 1.
  virtual int GetEnableStats() const = 0;
  virtual bool HasWriteAccess() const = 0;
  // Tri-state.
  virtual int GetImportBrowserData() const = 0;
  // "http" is registered to this installation.
  virtual bool IsHttpHandler() const = 0;
  virtual std::wstring GetLanguage() const = 0;
  // -1 unknown, 0 none, 1 or 2 from the old preferences.
  virtual int GetOldProductType() const = 0;
  virtual const std::vector<base::FilePath>& GetPinnedShortcutPaths() const = 0;
  // Pins found for the installation's app id followed by "1".
  virtual const std::vector<base::FilePath>& GetSecondaryPinnedShortcutPaths() const = 0;
  virtual const base::FilePath& GetProfilePath() const = 0;
  virtual bool QuickLaunchShortcutExists() const = 0;
  virtual const base::FilePath& GetTemporaryShortcutFolder() const = 0;
  virtual bool TemporaryShortcutFolderExists() const = 0;
  // The content of the folder's "server_tracking_data".
  virtual const std::string& GetTrackingData() const = 0;
  // A shortcut was found pointing at the browser executable rather than the
  // launcher, so it has to be made again.
  virtual bool RecreateDesktopShortcut() const = 0;
  virtual bool RecreatePinnedShortcut() const = 0;
  virtual bool RecreateQuickLaunchShortcut() const = 0;
  virtual bool RecreateStartMenuShortcut() const = 0;
  // Tri-state.
  virtual int GetSingleProfile() const = 0;
  virtual bool StartMenuShortcutExists() const = 0;
  // Whether the feature |name| is enabled in the folder's stored experiments.
  virtual bool ContainsName(const std::string& name) const = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLATION_FOLDER_DETAILS_H_
