// Installer: the object that changes the machine. The back end constructs it
// on its main thread, adds its observers and calls Start with the settings of
// the run. Everything then happens in tasks posted to that thread's message
// loop: "Run" checks the operation, the rights on the install folder and the
// elevation, saves the last install path, reads the package's files lists and
// builds the step list of the operation; the steps then run one at a time
// ("ScheduleNextStep", "Step"), a step asking for it being run again one
// retry delay later, at most five times. Every change lands in the run's one
// Transaction.
//
// A run ends exactly once: in Succeed (the transaction is kept, its backups
// removed, and only then do observers get OnSuccess) or in Fail (observers get OnError once, the transaction is rolled
// back, observers get OnInstallerTerminated(false)); an interrupt of the
// front end ends it in Cancel without OnError. Any later end request is only
// logged. Destroying a running installer cancels its run.
//
// Single-threaded: every call on the thread that constructed the installer.
#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_H_

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "base/memory/weak_ptr.h"
#include "base/observer_list.h"
#include "base/task/single_thread_task_runner.h"
#include "base/win/object_watcher.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/installer_environment.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/installer_step_lists.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/object_security.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/service/variable_resolver.h"

namespace installer {

class InstallerObserver;
class InstallerStep;
class OsOperations;
class ProtectedPackage;
class Settings;

// Files of the unpacked package read by the run.
inline constexpr wchar_t kFilesListName[] = L"files_list";
inline constexpr wchar_t kRootFilesListName[] = L"root_files_list";
inline constexpr wchar_t kMinimalInstallMarkerName[] = L"minimal_install";
inline constexpr wchar_t kLauncherName[] = L"launcher.exe";

class Installer : public base::win::ObjectWatcher::Delegate,
                  public InstallerStepHost,
                  public VariableResolver {
 public:
  explicit Installer(std::unique_ptr<OsOperations> os_operations,
                     const InstallerEnvironment& environment = InstallerEnvironment());
  Installer(const Installer&) = delete;
  Installer& operator=(const Installer&) = delete;
  ~Installer() override;

  // Observers are told in the order they were added.
  void AddObserver(InstallerObserver* observer);
  void RemoveObserver(InstallerObserver* observer);

  // Freezes |settings| (not owned; they outlive the run) and posts "Run". No
  // run may be in progress and the settings' folder analysis must be done.
  void Start(Settings* settings);

  // Set by Succeed; the back end's process result.
  bool succeeded() const { return succeeded_; }
  // From "Run" until the run's end.
  bool running() const { return running_; }

  // InstallerStepHost:
  const Settings* GetSettings() override;
  Transaction* GetTransaction() override;
  OsOperations* GetOsOperations() override;
  const InstallationStatus* GetFolderDetailsRecord() override;
  const base::FilePath& GetPackageFolder() override;
  const base::FilePath& GetInstallPath() override;
  const base::FilePath& GetInstallFolder() override;
  InstallationStatus* GetInstallationStatus() override;
  const InstallationFolderDetails* GetFolderDetails() override;
  uint32_t GetSecondInstallerPid() override;
  VariableResolver* GetVariableResolver() override;
  bool HasDoneEvent() override;
  void BeginRegistryRecording() override;
  void EndRegistryRecording() override;
  void OnFileCopyRetry(const std::string& text) override;
  bool IsExistingInstallation() override;
  bool IsDrovikInstallation() override;
  bool IsMinimalInstall() override;
  std::string GetServerTrackingData() override;
  const InstallerEnvironment& GetEnvironment() override;

  // VariableResolver:
  std::wstring ResolveVariable(const std::wstring& name) override;
  std::vector<InstallationStatus::RegistryKey>* GetRegistryKeys(HKEY root) override;

  // Gives the built-in Administrators group full access to |event|, so that
  // an elevated process of another user can open it; false when the event's
  // security cannot be read or changed.
  static bool FixEventACL(HANDLE event);

  // base::win::ObjectWatcher::Delegate: the package-ready and
  // installation-interrupted events.
  void OnObjectSignaled(HANDLE object) override;

 private:
  // Results of RunElevated and GiveFolderPermissions.
  enum ChildResult {
    CHILD_SUCCEEDED = 0,
    CHILD_NOT_ELEVATED = 1,
    CHILD_FAILED = 2,
    CHILD_SETUP_ERROR = 3,
  };

  void Run();
  // The part of "Run" after the folder checks; false when the run ended.
  bool PrepareRun(InstallationOperation operation);
  void SaveLastInstallPath();
  // Reads files_list and root_files_list; false when the run ended.
  bool ReadFilesLists();
  // Tidies what a run that ended without its rollback left in the folder
  // (InterruptedRunCleanup).
  void CleanUpAfterInterruptedRun();
  bool CreateVersionSubfolder();
  void BuildAndStartSteps(InstallationOperation operation);
  void ScheduleNextStep();
  void Step(InstallerStep* step, int attempt);
  // Reports the error (once per run) and cancels; returns |message|.
  std::string Fail(uint32_t category, const std::wstring& detail, const std::string& message);
  void Cancel();
  // Cancels the run when its interrupted event is set; true when it did.
  bool CancelIfInterrupted();
  void Finish();
  void Succeed();
  void FinalizeInstallation();
  // Ends "Run" with the result of an elevated copy of the installer.
  void EndWithElevatedResult(int result);

  // Elevation and folder permissions.
  bool CanElevate();
  int RunElevated();
  int GiveFolderPermissions(const base::FilePath& path, bool permanent);
  void WaitForPackage(bool post_elevation);
  // Hands the run to the installer of |package_folder| and ends with its
  // result; an installer started elevated takes the package first.
  void RunPackageInstaller(const base::FilePath& package_folder);
  // Whether this run is elevated and |package_folder| lies in no protected
  // folder that it made or was handed.
  bool MustTakePackage(const base::FilePath& package_folder);
  // The package of |package_folder| taken for this elevated run; null when
  // the run ended instead (failed or interrupted).
  std::unique_ptr<ProtectedPackage> TakePackage(const base::FilePath& package_folder);
  void RunPostElevationTasks();

  const base::CommandLine& command_line() const;

  std::unique_ptr<OsOperations> os_operations_;
  InstallerEnvironment environment_;
  scoped_refptr<base::SingleThreadTaskRunner> task_runner_;
  SavedObjectSecurity saved_folder_security_;
  Transaction transaction_;
  base::ObserverList<InstallerObserver> observers_;
  base::FilePath package_folder_;
  std::vector<std::string> files_list_;
  std::vector<std::string> root_files_list_;
  Settings* settings_ = nullptr;
  InstallationStatus installation_status_{GENERATED};
  std::wstring uninstall_key_name_;
  bool running_ = false;
  bool succeeded_ = false;
  // Set by the first of Succeed, Fail and Cancel of a run.
  bool ended_ = false;
  bool recording_registry_ = false;
  base::win::ScopedHandle done_event_;
  uint32_t second_installer_pid_ = 0;
  base::win::ScopedHandle package_ready_event_;
  base::win::ScopedHandle interrupted_event_;
  base::win::ObjectWatcher package_ready_watcher_;
  base::win::ObjectWatcher interrupted_watcher_;
  bool post_elevation_ = false;
  InstallerStepList steps_;
  size_t next_step_ = 0;
  base::WeakPtrFactory<Installer> weak_factory_{this};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_H_
