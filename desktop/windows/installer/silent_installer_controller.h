// SilentInstallerController: drives an unattended install, upgrade or
// uninstall (switch "silent"). It shows nothing and never asks: it starts the
// installation through the InstallerRunner as soon as the folder analysis is
// known, turns an all-users installation that would need elevation into a
// current-user one in the default per-user folder, records the run in the
// statistics and sends them at the end.
//
// Run returns the success of the installation. A run ends (Terminate) once:
// on the installer's success or error, on the back end's end (one second
// later, so that its last messages arrive first), or when the run cannot
// start. A mode change that keeps the folder (it is already the per-user
// default) checks that folder again for the new mode; one that the settings
// refuse ends the run as a failure instead of waiting for an analysis that
// never comes.
//
// With a payload reader the controller owns the PackageFetcher, which gets
// the package (downloaded, or unpacked from a full-package payload) while the
// back end waits for it; the fetcher and its package folder are kept until
// the back end that runs from it has ended. Without one (an installer inside
// an unpacked package, or an installation's own installer for an uninstall)
// the package is the folder of the running executable.
#ifndef DESKTOP_WINDOWS_INSTALLER_SILENT_INSTALLER_CONTROLLER_H_
#define DESKTOP_WINDOWS_INSTALLER_SILENT_INSTALLER_CONTROLLER_H_

#include <memory>
#include <string>

#include "base/files/file_path.h"
#include "base/memory/weak_ptr.h"
#include "base/run_loop.h"
#include "desktop/windows/installer/installer_observer.h"
#include "desktop/windows/installer/settings_observer.h"
#include "desktop/windows/installer/stats_sender.h"
#include "desktop/windows/installer/wininet/package_fetcher_observer.h"
#include "desktop/windows/installer/wininet/package_fetcher_ui_delegate.h"

namespace base {
class CommandLine;
}

namespace installer {

class InstallerRunner;
class PackageFetcher;
class PayloadReader;
class PrefDefaultOverridesFetcher;
class Settings;
class UserToken;

class SilentInstallerController : public SettingsObserver,
                                  public PackageFetcherUIDelegate,
                                  public PackageFetcherObserver,
                                  public InstallerObserver {
 public:
  // |command_line| (not owned; the process's when null) gives the statistics
  // endpoint; |token| (not owned; the process's when null) the user's rights.
  explicit SilentInstallerController(const base::CommandLine* command_line = nullptr,
                                     const UserToken* token = nullptr);
  SilentInstallerController(const SilentInstallerController&) = delete;
  SilentInstallerController& operator=(const SilentInstallerController&) = delete;
  ~SilentInstallerController() override;

  // |settings| must outlive the controller; |payload_reader| may be null.
  bool Run(Settings* settings, PayloadReader* payload_reader, const base::FilePath& temp_folder);

  StatsSender* stats() { return &stats_; }

  // SettingsObserver:
  void OnSettingChanged() override {}
  void OnLanguageChanged() override {}
  void OnPathChanged() override;

  // PackageFetcherUIDelegate: a silent run shows no UI.
  void RunUICallbackAndPostReply(UICallback ui_callback,
                                 scoped_refptr<base::SingleThreadTaskRunner> reply_runner,
                                 ReplyCallback reply_callback) override;

  // PackageFetcherObserver:
  void SetTotalProgress(int total) override {}
  void SetCurrentProgress(int current) override {}
  void NotifyStalled(int last_error) override {}
  void NotifyStatusChanged(PackageFetcherStatus status) override;

  // InstallerObserver:
  void OnImportantEvent() override {}
  void OnStartingNewMainProcess(int process_id) override {}
  void OnReturnedToPreviousMainProcess() override {}
  void OnTotalSteps(int total_steps) override {}
  void OnStep() override {}
  void OnFileCopyRetry(const std::string& key) override;
  void OnError(int error_code, const std::wstring& detail, const std::string& message) override;
  void OnSuccess() override;
  void OnInstallerTerminated(bool success) override;

 private:
  void StartInstaller();
  void Terminate();
  // Ends the run once the back end's last reports had time to arrive.
  void TerminateAfterBackend();
  void HandleTrackingData();
  void OnTrackingDataHandled();
  void RecordInstallFolderContents();
  // Whether the settings' mode and folder, as they stand, need elevation.
  bool NeedsElevationNow() const;
  // Ends a run that cannot go on, with |reason| in the log and statistics.
  void FailRun(const std::string& reason);

  const base::CommandLine* command_line_;
  const UserToken* token_;
  base::RunLoop run_loop_;
  bool success_ = false;
  bool terminated_ = false;
  bool download_involved_ = false;
  bool package_complete_ = false;
  bool observing_settings_ = false;
  std::string tracking_data_;
  Settings* settings_ = nullptr;
  StatsSender stats_;
  std::unique_ptr<PackageFetcher> fetcher_;
  std::unique_ptr<InstallerRunner> runner_;
  std::unique_ptr<PrefDefaultOverridesFetcher> overrides_fetcher_;
  base::WeakPtrFactory<SilentInstallerController> weak_factory_{this};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SILENT_INSTALLER_CONTROLLER_H_
