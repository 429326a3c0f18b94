#include "desktop/windows/installer/controller_payload.h"

#include <utility>

#include "base/base_paths.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "desktop/windows/installer/installation_folder_details.h"
#include "desktop/windows/installer/package_fetcher/package_fetcher.h"
#include "desktop/windows/installer/package_fetcher/payload_reader.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/settings_flag.h"
#include "desktop/windows/installer/stats_scope.h"
#include "features/features.h"
#include "features/installer_features.h"

namespace installer {

// static
std::string ControllerPayload::ReadTrackingData(const PayloadReader& reader, StatsScope* scope) {
  scope->SetString("payload_type", PayloadTypeToString(reader.type()));
  std::string tracking_data;
  if (reader.type() != PayloadType::full_package)
    tracking_data = reader.GetPayloadData();
  if (!tracking_data.empty())
    scope->SetString("tracking_data", tracking_data);
  return tracking_data;
}

// static
std::unique_ptr<PackageFetcher> ControllerPayload::CreateFetcher(
    PayloadReader* reader, const base::FilePath& temp_folder, const Settings& settings,
    StatsScope* scope, PackageFetcherUIDelegate* ui_delegate, PackageFetcherObserver* observer) {
  VLOG(1) << "Initializing controller with fetcher.";
  return std::make_unique<PackageFetcher>(
      temp_folder, scope->Clone(), ui_delegate, observer, reader, settings.GetArchitecture(),
      settings.GetInstallPomrel(), settings.GetInstallLanguage(),
      IsFeatureEnabled(kInstallerUseMinimalPackageFeature));
}

// static
base::FilePath ControllerPayload::GetOwnPackageFolder() {
  VLOG(1) << "Initializing controller without fetcher.";
  base::FilePath exe_folder;
  base::PathService::Get(base::DIR_EXE, &exe_folder);
  return exe_folder;
}

// static
void ControllerPayload::HandleTrackingData(const std::string& payload_tracking_data,
                                           const Settings& settings, StatsScope* scope,
                                           StartOverridesCallback start_overrides,
                                           base::OnceClosure done) {
  std::string tracking_data = payload_tracking_data;
  if (tracking_data.empty() && settings.GetFolderDetails())
    tracking_data = settings.GetFolderDetails()->GetTrackingData();
  scope->SetString("tracking_data", tracking_data);
  if (settings.GetOperation() == UNINSTALLING) {
    std::move(done).Run();
    return;
  }
  std::move(start_overrides).Run(tracking_data, std::move(done));
}

}  // namespace installer
