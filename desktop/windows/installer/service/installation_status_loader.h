// InstallationStatusLoader: finds and reads the status an earlier installation
// left in a folder. An interface so that folder analysis can be tested with a
// fake; InstallationStatusLoaderImpl reads the real files.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_STATUS_LOADER_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_STATUS_LOADER_H_

#include <memory>
#include <string>

#include "base/files/file_path.h"
#include "desktop/windows/installer/service/installation_status.h"

namespace installer {

class InstallationStatusLoader {
 public:
  // |recovery_mode| value under which a missing or broken status is recovered
  // from the old status folder; with any other value the former engine's
  // install log is tried instead.
  static constexpr int kRecoverFromOldStatus = 1;

  virtual ~InstallationStatusLoader() = default;

  // The status record of the installation in |folder|, or null. |error|
  // receives the reason of the last failed attempt, |contents| the bytes of a
  // status file that exists but could not be read as one. Neither is touched
  // when no status file exists.
  virtual std::unique_ptr<InstallationStatus> Load(const base::FilePath& folder,
                                                   int recovery_mode,
                                                   std::string* error,
                                                   std::string* contents) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_STATUS_LOADER_H_
