#include "desktop/windows/installer/steps/finalize_installation_step.h"

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
#include "prefs/json_pref_store.h"

namespace installer {

namespace {

constexpr char kTaskErrorCountPref[] = "au_task_error_count";

}  // namespace

FinalizeInstallationStep::FinalizeInstallationStep(InstallerStepHost* host)
    : InstallerStep(host) {}

FinalizeInstallationStep::~FinalizeInstallationStep() = default;

void FinalizeInstallationStep::LowerTaskErrorCount() {
  scoped_refptr<JsonPrefStore> prefs = GetPrefsTaskPool()->CreateJsonPrefStore(
      host_->GetInstallPath().Append(kInstallerPrefsFileName));
  const base::Value* value = nullptr;
  if (!prefs->GetValue(kTaskErrorCountPref, &value) || !value->is_int() || value->GetInt() <= 0)
    return;
  const int count = value->GetInt() - 1;
  prefs->SetValue(kTaskErrorCountPref, base::Value(count));
  VLOG(1) << "Setting autoupdate task error counter to : " << count;
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
