#include "desktop/windows/installer/steps/finalize_installation_step.h"

#include "base/json/json_writer.h"
#include "base/logging.h"
#include "base/values.h"
#include "desktop/windows/installer/installer_environment.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/service/installation.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/privileges.h"
#include "desktop/windows/installer/service/prefs_task_pool_holder.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/steps/autoupdate_task.h"
#include "desktop/windows/installer/steps/firewall_rules.h"
#include "desktop/windows/installer/steps/transacted_file_write.h"
#include "prefs/json_pref_store.h"

namespace installer {

namespace {

constexpr char kTaskErrorCountPref[] = "au_task_error_count";

}  // namespace

FinalizeInstallationStep::FinalizeInstallationStep(InstallerStepHost* host)
    : InstallerStep(host) {}

FinalizeInstallationStep::~FinalizeInstallationStep() = default;

void FinalizeInstallationStep::LowerTaskErrorCount() {
  const base::FilePath path = host_->GetInstallPath().Append(kInstallerPrefsFileName);
  base::Value::Dict prefs = GetPrefsTaskPool()->CreateJsonPrefStore(path)->GetValues();
  std::optional<int> count = prefs.FindInt(kTaskErrorCountPref);
  if (!count || *count <= 0)
    return;
  prefs.Set(kTaskErrorCountPref, *count - 1);
  VLOG(1) << "Setting autoupdate task error counter to : " << *count - 1;
  // Through the transaction, like the rest of the file, so that it goes back
  // with the run.
  std::string json;
  if (!base::JSONWriter::Write(prefs, &json) ||
      !WriteFileInTransaction(host_->GetTransaction(), path, json)) {
    LOG(ERROR) << "Could not write " << path.AsUTF8Unsafe();
  }
}

void FinalizeInstallationStep::Run(StepResult* result, int attempt) {
  *result = StepResult();
  VLOG(1) << "Finalizing the installation";
  const Settings* settings = host_->GetSettings();
  InstallationStatus* status = host_->GetInstallationStatus();
  if (!settings->GetCopyOnly() && (settings->GetAllUsers() || !host_->HasDoneEvent())) {
    if (CreateAutoupdateTask(host_, DescribeAutoupdateTask(host_->GetInstallPath(),
                                                           status->app_id,
                                                           settings->GetAllUsers()))) {
      LowerTaskErrorCount();
    }
  }
  if (host_->GetEnvironment().privileges->IsElevatedAdministrator())
    UpdateFirewallRules(host_, host_->GetInstallPath().Append(status->subfolder), true);
}

}  // namespace installer
