// The installer's own features: six rows, registered into the process's
// feature registry at start. The help output and the back end's child
// command lines list them in table order.

#ifndef FEATURES_INSTALLER_FEATURES_H_
#define FEATURES_INSTALLER_FEATURES_H_

#include <span>

#include "features/feature_table.h"

namespace installer {

class FeatureRegistry;

extern const char kInstallerExperimentTestFeature[];
extern const char kInstallerDownloadSfxPackageFeature[];
extern const char kInstallerUseMinimalPackageFeature[];
extern const char kInstallerPrefDefaultOverridesSupportFeature[];
extern const char kInstallerHideFromProgramAndFeaturesFeature[];
extern const char kInstallerSupportX64DownloadFeature[];

// The installer table in order (6 rows). Pair a row with GetFeatureSwitchName
// and IsFeatureEnabledByDefault for its switch and default.
std::span<const FeatureTableRow> GetInstallerFeatureTable();

// Registers every installer row, in table order, with the default and
// overridable flags that the running edition gives it.
void RegisterInstallerFeatures(FeatureRegistry* registry);

}  // namespace installer

#endif  // FEATURES_INSTALLER_FEATURES_H_
