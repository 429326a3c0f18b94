// InstallerStepHost: the interface through which every installer step reaches
// the running installer (implemented by Installer). All calls are made on the
// installer's thread while a run is in progress; the host outlives its steps.
#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_STEP_HOST_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_STEP_HOST_H_

#include <string>

#include "base/files/file_path.h"

namespace installer {

class InstallationFolderDetails;
class OsOperations;
class Settings;
class Transaction;
class VariableResolver;
struct InstallationStatus;
struct InstallerEnvironment;

class InstallerStepHost {
 public:
  virtual ~InstallerStepHost() = default;

  virtual const Settings* GetSettings() = 0;
  // The run's one transaction: every change a step makes goes through it.
  virtual Transaction* GetTransaction() = 0;
  virtual OsOperations* GetOsOperations() = 0;
  // The status record of the installation found in the chosen folder, or null.
  virtual const InstallationStatus* GetFolderDetailsRecord() = 0;
  // The unpacked package: the folder of the running installer executable.
  virtual const base::FilePath& GetPackageFolder() = 0;
  // The folder analysis' path of the install folder.
  virtual const base::FilePath& GetInstallPath() = 0;
  // The settings' install path (the same folder as GetInstallPath).
  virtual const base::FilePath& GetInstallFolder() = 0;
  // The record the run fills and WriteInstallationStatusStep stores.
  virtual InstallationStatus* GetInstallationStatus() = 0;
  virtual const InstallationFolderDetails* GetFolderDetails() = 0;
  // The other installer process of the run (parent-pid, or the folder
  // permission helper); 0 when none.
  virtual uint32_t GetSecondInstallerPid() = 0;
  virtual VariableResolver* GetVariableResolver() = 0;
  // A temporary folder grant is held and is taken back when the run ends.
  virtual bool HasDoneEvent() = 0;
  // While on, registry template rows record what they write in the status
  // record (VariableResolver::GetRegistryKeys hands out its lists).
  virtual void BeginRegistryRecording() = 0;
  virtual void EndRegistryRecording() = 0;
  // Tells every observer that a file copy is tried again.
  virtual void OnFileCopyRetry(const std::string& text) = 0;
  virtual bool IsExistingInstallation() = 0;
  virtual bool IsDrovikInstallation() = 0;
  // The package holds the marker file "minimal_install".
  virtual bool IsMinimalInstall() = 0;
  // The value of the switch server-tracking-data; empty when absent.
  virtual std::string GetServerTrackingData() = 0;
  // The seams of the run, every member filled.
  virtual const InstallerEnvironment& GetEnvironment() = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_STEP_HOST_H_
