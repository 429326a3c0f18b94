// InstallerRunnerBackend: the driver of a back-end process (switch "backend",
// or a protocol-handler registration). It watches the front end that started
// it, waits until the settings know the install folder, runs the Installer on
// this thread's message loop and forwards every installer event to the front
// end as one mailslot message.
//
// Run returns the installer's succeeded flag. The run loop ends at the first
// of: an error or success sent, the installer terminated, the front end gone.
// A run still in progress when the back end is destroyed is cancelled and
// rolled back by the installer's destruction. From the moment the back end
// knows its folder (HoldFolder, before the folder is analysed; else when the
// analysis has arrived) and before it changes anything there, the
// installation mutex of the folder is held for this process: taken over when
// the front end lets go or dies, and kept until the back end is destroyed
// (see InstallerMutex). Only then is the front end checked: one that has
// already gone may have left the folder to another installer, and nothing is
// started.
// A back end started as another installer's child (switch "success-event")
// tells that installer of its success (ChildSuccessEvent).
#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_RUNNER_BACKEND_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_RUNNER_BACKEND_H_

#include <windows.h>

#include <memory>
#include <string>

#include "base/files/file_path.h"
#include "base/run_loop.h"
#include "base/win/object_watcher.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/installer_mutex.h"
#include "desktop/windows/installer/installer_observer.h"
#include "desktop/windows/installer/ipc/installer_message.h"
#include "desktop/windows/installer/ipc/ipc_sender.h"
#include "desktop/windows/installer/settings_observer.h"

namespace base {
class CommandLine;
}

namespace installer {

class Installer;
class Settings;

class InstallerRunnerBackend : public SettingsObserver,
                               public InstallerObserver,
                               public base::win::ObjectWatcher::Delegate {
 public:
  // With the real installer and OS operations.
  InstallerRunnerBackend();
  // With |installer| (tests) and the switches of |command_line| (not owned).
  InstallerRunnerBackend(std::unique_ptr<Installer> installer,
                         const base::CommandLine* command_line);
  InstallerRunnerBackend(const InstallerRunnerBackend&) = delete;
  InstallerRunnerBackend& operator=(const InstallerRunnerBackend&) = delete;
  ~InstallerRunnerBackend() override;

  // For a back end that must look at |install_folder| before its settings
  // analyse it: watches the initial process and holds the folder. False when
  // the run must not go on (the front end has gone): the folder is not this
  // run's to change then.
  bool HoldFolder(const base::FilePath& install_folder);

  // The whole life of the back end; |settings| must outlive the back end.
  bool Run(Settings* settings);

  // A message of |type| holding the signature, for the caller's payload.
  static base::Pickle SendMessage(InstallerMessageType type);

  // SettingsObserver:
  void OnSettingChanged() override {}
  void OnLanguageChanged() override {}
  void OnPathChanged() override;

  // InstallerObserver:
  void OnImportantEvent() override;
  void OnStartingNewMainProcess(int process_id) override;
  void OnReturnedToPreviousMainProcess() override;
  void OnTotalSteps(int total_steps) override;
  void OnStep() override;
  void OnFileCopyRetry(const std::string& file) override;
  void OnError(int error_code, const std::wstring& detail, const std::string& message) override;
  void OnSuccess() override;
  void OnInstallerTerminated(bool success) override;

  // base::win::ObjectWatcher::Delegate: the initial process ended.
  void OnObjectSignaled(HANDLE object) override;

 private:
  // Finds and watches the initial process; false when the run must not start.
  bool WatchInitialProcess();
  // Holds |folder| for this process, then checks that the front end is still
  // there; false when it has gone.
  bool HoldFolderWhileFrontEndLives(const base::FilePath& folder);
  void Start();
  void Send(const InstallerMessage& message);

  // Declared first, destroyed last: the folder stays locked until the
  // rollback is done.
  InstallerMutex mutex_;
  const base::CommandLine* command_line_;
  base::RunLoop run_loop_;
  base::win::ScopedHandle initial_process_;
  base::win::ObjectWatcher initial_process_watcher_;
  IpcSender sender_;
  // Declared after the sender: destroyed first, so that the messages of a
  // rollback still find the channel.
  std::unique_ptr<Installer> installer_;
  Settings* settings_ = nullptr;
  bool observing_settings_ = false;
  bool initial_process_watched_ = false;
  // The name of the mutex held, empty until the folder is held.
  std::wstring held_mutex_name_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_RUNNER_BACKEND_H_
