// SettingsImpl: the one implementation of Settings (see settings.h for the
// contract). Construct it on a thread that runs a message loop: the folder
// analysis started by SetInstallFolder runs on a worker and replies to that
// thread. At most one analysis is pending; a newer install folder cancels the
// reply of the older one, and an analysis that arrives after
// SetEditable(false) is ignored.
//
// The command-line form of the settings is delegated to a SettingsCommandLine
// (see settings_command_line.h); without one, nothing is read from or written
// to a command line. Environment gathers what the settings ask of the
// machine, so that tests can substitute what Wine cannot show (a standard
// user, another Windows version, removable drives) and the worker.

#ifndef DESKTOP_WINDOWS_INSTALLER_SETTINGS_IMPL_H_
#define DESKTOP_WINDOWS_INSTALLER_SETTINGS_IMPL_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "base/functional/callback.h"
#include "base/memory/ref_counted.h"
#include "base/memory/weak_ptr.h"
#include "base/observer_list.h"
#include "base/task/task_runner.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/settings.h"

namespace base {
class CommandLine;
class Thread;
}  // namespace base

namespace installer {

class DriveLister;
class SettingsCommandLine;
class UserToken;

class SettingsImpl : public Settings {
 public:
  // Makes the (not yet initialised) analysis of one folder; called on the
  // worker for every fetch, and on the settings' thread for the one
  // synchronous analysis of the constructor.
  using FolderDetailsFactory =
      base::RepeatingCallback<std::unique_ptr<InstallationFolderDetails>(bool replace_old_engine)>;

  struct Environment {
    Environment();
    Environment(const Environment&);
    Environment& operator=(const Environment&);
    ~Environment();

    // Null: the process's command line.
    const base::CommandLine* command_line = nullptr;
    // Null: the command line is neither read nor written.
    const SettingsCommandLine* command_line_form = nullptr;
    // Null: the process token.
    const UserToken* user_token = nullptr;
    // The Windows version the rules depend on; VERSION_PRE_XP: ask Windows.
    base::win::Version windows_version = base::win::VERSION_PRE_XP;
    // Null: DriveListerImpl.
    const DriveLister* drives = nullptr;
    // Null: a worker thread of the settings' own.
    scoped_refptr<base::TaskRunner> worker;
    // Null: InstallationFolderDetailsImpl.
    FolderDetailsFactory folder_details_factory;
  };

  // |architecture| is 1 for the x64 build, else 0. |install_folder| is the
  // command line's folder (may be empty).
  SettingsImpl(bool uninstall,
               bool silent,
               bool autoupdate,
               const std::wstring& install_folder,
               bool replace_old_engine,
               int architecture,
               const Environment& environment = Environment());
  SettingsImpl(const SettingsImpl&) = delete;
  SettingsImpl& operator=(const SettingsImpl&) = delete;
  ~SettingsImpl() override;

  // Settings:
  void GetDefaultInstallFolder(base::FilePath* path, int kind) const override;
  void GetSuggestedInstallFolders(std::vector<base::FilePath>* folders) const override;
  InstallationOperation GetOperation() const override;
  const InstallationFolderDetails* GetFolderDetails() const override;
  bool IsFetchingStatus() const override;
  void AddObserver(SettingsObserver* observer) override;
  void RemoveObserver(SettingsObserver* observer) override;
  bool SetLaunch(bool value) override;
  bool SetDefaultBrowser(bool value) override;
  bool SetImportBrowserData(bool value) override;
  bool SetEnableInstallerStats(bool value) override;
  bool SetEnableVeltoStats(bool value) override;
  bool SetDesktopShortcut(bool value) override;
  bool SetStartMenuShortcut(bool value) override;
  bool SetQuickLaunchShortcut(bool value) override;
  bool SetDeleteProfile(bool value) override;
  bool SetInstallPomrel(bool value) override;
  bool SetMode(InstallationMode mode) override;
  bool AlwaysTrue() const override;
  bool CanSetDefaultBrowser() const override;
  bool IsNotCopyOnly() const override;
  bool IsNewInstallation() const override;
  bool HasRegisteredInstallation() const override;
  bool SetCopyOnly(bool value) override;
  bool SetSingleProfile(bool value) override;
  bool SetAllUsers(bool value) override;
  void SetInstallFolderString(const std::wstring& folder) override;
  void SetInstallFolder(const base::FilePath& folder) override;
  void SetInstallLanguage(const std::wstring& language) override;
  bool GetLaunch() const override;
  bool GetDefaultBrowser() const override;
  bool GetImportBrowserData() const override;
  bool GetEnableInstallerStats() const override;
  bool GetEnableVeltoStats() const override;
  bool GetDesktopShortcut() const override;
  bool GetStartMenuShortcut() const override;
  bool GetQuickLaunchShortcut() const override;
  bool GetPinnedShortcut() const override;
  bool GetDeleteProfile() const override;
  bool GetReplaceDrovikInstallation() const override;
  bool GetInstallPomrel() const override;
  InstallationMode GetInstallationMode() const override;
  bool GetCopyOnly() const override;
  bool GetSingleProfile() const override;
  bool GetAllUsers() const override;
  bool GetSilent() const override;
  bool GetUninstall() const override;
  bool GetAutoupdate() const override;
  const base::FilePath& GetInstallPath() const override;
  const std::wstring& GetInstallLanguage() const override;
  const base::FilePath& GetProfileFolder() const override;
  void CopyImportSwitches(base::CommandLine* command_line) const override;
  base::CommandLine* ToCommandLine(base::CommandLine* command_line,
                                   bool suppress_launch) const override;
  void WriteStats(const std::string& prefix, StatsScope* scope) const override;
  bool IsEditable() const override;
  void SetEditable(bool editable) override;
  int GetArchitecture() const override;
  const std::string& GetNiuid() const override;
  void SetNiuid(const std::string& niuid) override;
  const std::string& GetMedium() const override;
  void SetMedium(const std::string& medium) override;

  // The common flag setter: refused while not editable; otherwise sets the
  // bit, logs it and notifies OnSettingChanged.
  bool SetFlag(SettingsFlag flag, bool value);

  // For the command-line form (no editable check, no notifications).
  bool GetFlag(SettingsFlag flag) const;
  void WriteFlag(SettingsFlag flag, bool value);
  // Every flag but the four constructor flags and DELETE_PROFILE to its
  // default before the command line: all users for an administrator (an
  // elevatable one only when not silent), default browser for the main
  // release stream outside autoupdate, quick launch before Windows 7, launch,
  // import, both statistics, desktop, start menu and pinned shortcuts on.
  void ApplyDefaultFlags();
  // Sets COPY_ONLY; on, clears all users, default browser, the companion
  // product and every shortcut; off, sets each shortcut flag from its switch
  // when the command line has it, else on.
  void ApplyCopyOnlyRule(bool copy_only);
  void SetProfileFolder(const base::FilePath& folder);
  // Logs the statistics, import, launch and single-profile flags and the
  // language.
  void LogFlagsAndLanguage() const;
  // The command line the settings' rules consult.
  const base::CommandLine& GetCommandLine() const;
  // Re-reads the settings from the command line through the form, while
  // editable.
  void ReadSettingsFromCommandLine();

  // The stand-alone folder list, best first.
  const std::vector<base::FilePath>& GetStandaloneFolders() const { return standalone_folders_; }
  // The last install folder found in the registry (may be empty).
  const base::FilePath& GetLastInstallFolder() const { return last_install_folder_; }

 private:
  class StatusFetch;

  // Starts the analysis of |fetch|'s folder on the worker.
  void FetchStatus(scoped_refptr<StatusFetch> fetch);
  void OnFolderDetailsReady(std::unique_ptr<InstallationFolderDetails> details);
  void OnFetchReplied(scoped_refptr<StatusFetch> fetch);
  void ReadRegisteredInstallations();
  void ListStandaloneFolders();
  void ReadLastInstallPath();
  std::unique_ptr<InstallationFolderDetails> MakeFolderDetails() const;
  void LogFolderDetails(const InstallationFolderDetails& details) const;
  void NotifySettingChanged();
  bool IsAdministratorForDefaults() const;
  base::win::Version GetWindowsVersion() const;
  scoped_refptr<base::TaskRunner> GetWorker();

  Environment environment_;
  std::unique_ptr<base::Thread> worker_thread_;

  InstallationOperation operation_ = INVALID_PATH;
  uint32_t flags_ = 0;
  std::wstring install_language_;
  std::unique_ptr<InstallationFolderDetails> folder_details_;
  scoped_refptr<StatusFetch> pending_fetch_;
  base::ObserverList<SettingsObserver> observers_;
  bool editable_ = true;
  bool single_registration_ = true;
  base::FilePath command_line_install_folder_;
  base::FilePath last_install_folder_;
  base::FilePath profile_folder_;
  std::vector<base::FilePath> standalone_folders_;
  int architecture_ = 0;
  std::string niuid_;
  std::string medium_;

  base::WeakPtrFactory<SettingsImpl> weak_factory_{this};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SETTINGS_IMPL_H_
