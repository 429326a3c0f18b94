#include "desktop/windows/installer/steps/write_installer_prefs_step.h"

#include <string>

#include "base/command_line.h"
#include "base/json/json_writer.h"
#include "base/logging.h"
#include "base/values.h"
#include "desktop/windows/installer/installer_environment.h"
#include "desktop/windows/installer/installer_paths.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/service/prefs_task_pool_holder.h"
#include "desktop/windows/installer/steps/transacted_file_write.h"
#include "features/feature_table.h"
#include "features/features.h"
#include "features/installer_features.h"

namespace installer {

namespace {

constexpr wchar_t kInstallerPrefsFileName[] = L"installer_prefs.json";

// "<feature>@1" for an enabled feature, "<feature>@2" for a disabled one.
std::string FeatureStateText(const FeatureTableRow& row) {
  return std::string(row.switch_name) + (IsFeatureEnabled(row.switch_name) ? "@1" : "@2");
}

base::Value::Dict ReadStore(const base::FilePath& path) {
  return GetPrefsTaskPool()->CreateJsonPrefStore(path)->GetValues();
}

}  // namespace

void WriteInstallerPrefsStep::Run(StepResult* result, int attempt) {
  *result = StepResult(StepResult::CODE_DONE);
  base::FilePath path = host_->GetInstallPath().Append(kInstallerPrefsFileName);
  LOG(INFO) << "Writing installer prefs to" << path.AsUTF8Unsafe();
  // The stores are only read through the pool: the new contents land in the
  // run's transaction, so that a failed run leaves the previous file.
  base::Value::Dict prefs = ReadStore(path);
  base::Value::Dict include =
      ReadStore(host_->GetPackageFolder().Append(kInstallerPrefsIncludeFileName));
  const Settings* settings = host_->GetSettings();
  const base::CommandLine& command_line = *host_->GetEnvironment().command_line;

  VLOG(1) << "Writing welcome page url pref";
  if (const std::string* welcome_url = include.FindString("welcome-url"))
    prefs.Set("welcome-url", *welcome_url);
  prefs.Set("single_profile", settings->GetSingleProfile());
  VLOG(1) << "Writing profile folder pref";
  if (!settings->GetProfileFolder().empty())
    prefs.Set("profile_path", settings->GetProfileFolder().value());
  VLOG(1) << "Writing install language pref";
  if (!settings->GetInstallLanguage().empty())
    prefs.Set("language", settings->GetInstallLanguage());
  VLOG(1) << "Writing NIUID";
  if (!settings->GetNiuid().empty())
    prefs.Set("installer_id", settings->GetNiuid());
  base::Value::List changed_experiments;
  base::Value::List all_experiments;
  for (const FeatureTableRow& row : GetInstallerFeatureTable()) {
    if (IsFeatureEnabled(row.switch_name) != IsFeatureEnabledByDefault(row))
      changed_experiments.Append(FeatureStateText(row));
    all_experiments.Append(FeatureStateText(row));
  }
  prefs.Set("installer-experiments", std::move(changed_experiments));
  prefs.Set("all-installer-experiments", std::move(all_experiments));
  VLOG(1) << "Writing temp folder pref";
  if (command_line.HasSwitch(switches::kTempFolder))
    prefs.Set("temp_folder", command_line.GetSwitchValueNative(switches::kTempFolder));
  VLOG(1) << "Writing autoupdate pref";
  prefs.Set("autoupdate", settings->GetAutoupdate());
  if (!settings->GetAutoupdate()) {
    VLOG(1) << "Writing import browser data and enables stats prefs.";
    prefs.Set("import_browser_data", settings->GetImportBrowserData());
    prefs.Set("enable_stats", settings->GetEnableVeltoStats());
  }

  std::string json;
  if (!base::JSONWriter::Write(prefs, &json) ||
      !WriteFileInTransaction(host_->GetTransaction(), path, json)) {
    LOG(ERROR) << "Failed writing installer prefs";
  }
}

}  // namespace installer
