#include "features/installer_features.h"

#include "features/feature_registry.h"

namespace installer {

const char kInstallerExperimentTestFeature[] = "installer-experiment-test";
const char kInstallerDownloadSfxPackageFeature[] = "installer-download-sfx-package";
const char kInstallerUseMinimalPackageFeature[] = "installer-use-minimal-package";
const char kInstallerPrefDefaultOverridesSupportFeature[] =
    "installer-pref-default-overrides-support";
const char kInstallerHideFromProgramAndFeaturesFeature[] =
    "installer-hide-from-program-and-features";
const char kInstallerSupportX64DownloadFeature[] = "installer-support-x64-download";

namespace {

const FeatureTableRow kInstallerFeatureTable[] = {
    {kInstallerExperimentTestFeature, 0x0, 0xFFFF, "", "", ""},
    {kInstallerDownloadSfxPackageFeature, 0x0, 0xFFFF, "", "", ""},
    {kInstallerUseMinimalPackageFeature, 0x0, 0xFFFF, "", "", ""},
    {kInstallerPrefDefaultOverridesSupportFeature, 0x7, 0xFFFF, "", "", ""},
    {kInstallerHideFromProgramAndFeaturesFeature, 0x8, 0x0, "", "", ""},
    {kInstallerSupportX64DownloadFeature, 0x7, 0xFFFF, "", "", ""},
};

}  // namespace

std::span<const FeatureTableRow> GetInstallerFeatureTable() {
  return kInstallerFeatureTable;
}

void RegisterInstallerFeatures(FeatureRegistry* registry) {
  const EditionMasks masks = GetEditionMasks();
  for (const FeatureTableRow& row : kInstallerFeatureTable) {
    registry->RegisterFeature(row.switch_name, IsFeatureEnabledByDefault(row, masks),
                              IsFeatureOverridable(row, masks));
  }
}

}  // namespace installer
