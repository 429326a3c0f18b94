// The SHA-1 digests of the build's localization files, as the localization
// check of a minimal package expects them. The table is made by the build
// (scripts/make-localization.py) from the same files it puts into packages.
#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_LOCALIZATION_DIGESTS_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_LOCALIZATION_DIGESTS_H_

#include <span>

namespace installer {

struct LocalizationDigest {
  // Base64 of the ASCII path below the package folder.
  const char* path;
  // Base64 of the file's 20-byte SHA-1 digest.
  const char* digest;
};

// 46 rows, one per language, in the build's language order.
std::span<const LocalizationDigest> GetLocalizationDigests();

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_LOCALIZATION_DIGESTS_H_
