// An InstallerStepHost for tests of single steps: plain fields that the test
// sets, a transaction of its own, and the retry texts written down. The
// settings and folder analysis are the test's; scheduled tasks go to a Task
// Scheduler 2.0 folder in memory (|tasks|), never to the machine's; the
// environment's other members are filled with real services where the test
// leaves them null.

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_STEP_HOST_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_STEP_HOST_H_

#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/functional/bind.h"
#include "base/time/default_clock.h"
#include "desktop/windows/installer/installation_folder_details.h"
#include "desktop/windows/installer/installer_environment.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/privileges.h"
#include "desktop/windows/installer/service/task_scheduler_v2.h"
#include "desktop/windows/installer/service/test/fake_task_service_v2.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/service/variable_resolver.h"
#include "desktop/windows/installer/settings.h"

namespace installer {

class FakeStepHost : public InstallerStepHost, public VariableResolver {
 public:
  FakeStepHost() : command_line(base::CommandLine::NO_PROGRAM) {
    environment.command_line = &command_line;
    environment.clock = base::DefaultClock::GetInstance();
    environment.privileges = PrivilegesImpl::GetInstance();
    environment.task_scheduler_factory = base::BindRepeating(
        [](FakeTaskServiceV2::Store* store) -> std::unique_ptr<TaskScheduler> {
          return std::make_unique<TaskSchedulerV2>(std::make_unique<FakeTaskServiceV2>(store),
                                                   false);
        },
        &tasks);
  }
  FakeStepHost(const FakeStepHost&) = delete;
  FakeStepHost& operator=(const FakeStepHost&) = delete;

  const Settings* GetSettings() override { return settings; }
  Transaction* GetTransaction() override { return &transaction; }
  OsOperations* GetOsOperations() override { return os_operations; }
  const InstallationStatus* GetFolderDetailsRecord() override {
    if (record)
      return record;
    return details ? details->GetDetails() : nullptr;
  }
  const base::FilePath& GetPackageFolder() override { return package_folder; }
  const base::FilePath& GetInstallPath() override { return install_path; }
  const base::FilePath& GetInstallFolder() override { return install_path; }
  InstallationStatus* GetInstallationStatus() override { return &status; }
  const InstallationFolderDetails* GetFolderDetails() override { return details; }
  uint32_t GetSecondInstallerPid() override { return second_installer_pid; }
  VariableResolver* GetVariableResolver() override { return this; }
  bool HasDoneEvent() override { return done_event; }
  void BeginRegistryRecording() override { recording = true; }
  void EndRegistryRecording() override { recording = false; }
  void OnFileCopyRetry(const std::string& text) override { retries.push_back(text); }
  bool IsExistingInstallation() override { return details && details->IsExistingInstallation(); }
  bool IsDrovikInstallation() override { return details && details->IsDrovikInstallation(); }
  bool IsMinimalInstall() override { return minimal; }
  std::string GetServerTrackingData() override { return tracking_data; }
  const InstallerEnvironment& GetEnvironment() override {
    FillInstallerEnvironment(&environment);
    return environment;
  }

  // "Uninstall" is |uninstall_key_name|; names in |variables| their value;
  // any other name itself.
  std::wstring ResolveVariable(const std::wstring& name) override {
    if (name == L"Uninstall")
      return uninstall_key_name;
    auto found = variables.find(name);
    return found == variables.end() ? name : found->second;
  }
  std::vector<InstallationStatus::RegistryKey>* GetRegistryKeys(HKEY root) override {
    if (!recording)
      return nullptr;
    return root == HKEY_LOCAL_MACHINE ? &status.hklm_keys : &status.hkcu_keys;
  }

  // Keeps what the transaction holds, as the end of a successful run does,
  // and starts an empty one.
  void CommitTransaction() {
    transaction.~Transaction();
    new (&transaction) Transaction();
  }

  const Settings* settings = nullptr;
  OsOperations* os_operations = nullptr;
  uint32_t second_installer_pid = 0;
  bool done_event = false;
  const InstallationFolderDetails* details = nullptr;
  // When set, the folder's record instead of the analysis' one.
  const InstallationStatus* record = nullptr;
  Transaction transaction;
  base::FilePath package_folder;
  base::FilePath install_path;
  InstallationStatus status{GENERATED};
  bool recording = false;
  std::wstring uninstall_key_name;
  std::map<std::wstring, std::wstring> variables;
  bool minimal = false;
  std::string tracking_data;
  std::vector<std::string> retries;
  base::CommandLine command_line;
  FakeTaskServiceV2::Store tasks;
  InstallerEnvironment environment;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_STEP_HOST_H_
