// InstallerRunner: the front end's side of one installation. The front end
// never changes the machine itself: the runner takes the installation mutex
// of the install folder, opens the mailslot on which the back end reports,
// creates the events through which the front end talks to the back end
// (installation interrupted; package ready while the package is still being
// fetched), launches the back-end process with the settings as switches,
// turns every well-formed mailslot message back into an InstallerObserver
// call and tells the observers when the back-end process has ended.
//
// The installation mutex and the events are held from the start until the
// back end has ended, also when the front end stops it first (without a
// back end, until StopInstallation); the mailslot until then or until
// StopInstallation. When the back end ends, the interrupted event is set
// before it is closed: an installer of the run that outlives its back end
// (the package's installer or the elevated copy, whose starter was killed)
// rolls back instead of committing a run that nobody can report any more.
// The mailslot and the events are closed before the mutex is let go of, so
// that the installer that takes the folder next can make them. A back end
// still running when the runner is destroyed keeps the folder locked itself.
// Events that an earlier run of the folder left are reset at the start.
//
// Start errors reach the observers as OnError(category, empty detail,
// message). Malformed and foreign messages are logged and dropped. Lives on
// the controller's thread, which must run a message loop.
#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_RUNNER_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_RUNNER_H_

#include <windows.h>

#include <optional>
#include <string>

#include "base/files/file_path.h"
#include "base/observer_list.h"
#include "base/process/process.h"
#include "base/win/object_watcher.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/installer_mutex.h"
#include "desktop/windows/installer/ipc/ipc_receiver.h"

namespace installer {

class InstallerObserver;
class Settings;

class InstallerRunner : public base::win::ObjectWatcher::Delegate,
                        public IpcReceiver::Delegate {
 public:
  // |package_folder| holds (or will hold) the unpacked package;
  // |suite_folder| is the companion product's folder, empty when none.
  InstallerRunner(const base::FilePath& package_folder, const base::FilePath& suite_folder);
  InstallerRunner(const InstallerRunner&) = delete;
  InstallerRunner& operator=(const InstallerRunner&) = delete;
  ~InstallerRunner() override;

  void AddObserver(InstallerObserver* observer);
  void RemoveObserver(InstallerObserver* observer);

  // True when the back end was launched and is being watched. |settings|
  // (not owned) must outlive the installation.
  bool StartInstallation(Settings* settings);
  // The package is unpacked in the package folder.
  void NotifyPackageReady();
  // The user cancelled or the controller ends: a running back end is told to
  // end (it rolls back), and no message reaches the observers any more. The
  // folder stays held until the back end has ended.
  void StopInstallation();

  bool backend_running() const { return backend_running_; }
  // Waits at most |timeout_ms| for a launched back end to end; true when it
  // has (or none was launched).
  bool WaitForBackendExit(DWORD timeout_ms) const;
  // Waits for a launched back end to end, as the end of a run does, within a
  // bound that a back end rolling back keeps to even on a loaded machine;
  // logs one that did not end in time. The machine is as the run leaves it
  // only once its back end has ended too, and only then may the folders it
  // runs from, and was handed, go: a protected folder is held by the back
  // end as well and cannot be removed before.
  void WaitForBackendEnd() const;
  // The back end's process id, 0 before the launch.
  DWORD backend_pid() const;
  // Logs, as an error, that the back end ended without reporting its success
  // or an error, with its exit code (once it has ended).
  void LogEndWithoutReport() const;

  // IpcReceiver::Delegate:
  void HandleMessage(const base::Pickle& message) override;
  // base::win::ObjectWatcher::Delegate: the back-end process ended.
  void OnObjectSignaled(HANDLE object) override;

 private:
  void ReportError(int category, const std::string& message);
  // Sets the interrupted event once the back end has ended, for whatever of
  // the run is still at work without it.
  void InterruptWhatOutlivesTheBackend();
  // Closes the events and releases and closes the mutex.
  void LetGoOfTheFolder();

  IpcReceiver receiver_;
  base::FilePath suite_folder_;
  base::FilePath package_folder_;
  base::Process backend_process_;
  InstallerMutex mutex_;
  base::win::ObjectWatcher process_watcher_;
  base::win::ScopedHandle package_ready_event_;
  base::win::ScopedHandle interrupted_event_;
  Settings* settings_ = nullptr;
  bool have_package_ = false;
  bool backend_running_ = false;
  // Read when the back end has ended; none while it runs or when unreadable.
  std::optional<DWORD> backend_exit_code_;
  base::ObserverList<InstallerObserver> observers_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_RUNNER_H_
