// InstallationStatusLoaderImpl: the status files of an installation folder,
// tried in order: the JSON status file, the legacy XML status file, then either
// the former engine's install log or (in recovery mode) the newest status file
// kept in the old status folder. A status file that exists but is broken is
// replaced by an older one only in recovery mode. Stateless.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_STATUS_LOADER_IMPL_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_STATUS_LOADER_IMPL_H_

#include <memory>
#include <string>

#include "base/files/file_path.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/installation_status_loader.h"

namespace installer {

// Outcome of one attempt to read a status file.
enum StatusLoadResult {
  STATUS_LOADED = 0,   // a record was read
  STATUS_INVALID = 1,  // the file exists but cannot be read or parsed
  STATUS_ABSENT = 2,   // the file does not exist
};

// The newest file in |folder|'s old status folder: among the files whose name
// holds ".json" or ".xml" and whose final extension is a decimal number, the
// one with the greatest number above 0 (the first enumerated among equals).
// |source| becomes RECOVERED for a name holding ".json", else
// LEGACY_XML_RECOVERED_FROM_OLD_FILES. False (|path| empty, |source| INVALID)
// when there is none.
bool FindNewestOldStatusFile(const base::FilePath& folder,
                             base::FilePath* path,
                             InstallationStatusSource* source);

class InstallationStatusLoaderImpl : public InstallationStatusLoader {
 public:
  InstallationStatusLoaderImpl();
  InstallationStatusLoaderImpl(const InstallationStatusLoaderImpl&) = delete;
  InstallationStatusLoaderImpl& operator=(const InstallationStatusLoaderImpl&) = delete;
  ~InstallationStatusLoaderImpl() override;

  // InstallationStatusLoader:
  std::unique_ptr<InstallationStatus> Load(const base::FilePath& folder,
                                           int recovery_mode,
                                           std::string* error,
                                           std::string* contents) override;

 private:
  // Reads the status file of |source| (PRIMARY, LEGACY_XML or DROVIK) in
  // |folder| into |status|. For STATUS_INVALID |error| and |contents| describe
  // the failure; otherwise they are untouched.
  StatusLoadResult TryLoad(const base::FilePath& folder,
                           InstallationStatusSource source,
                           std::unique_ptr<InstallationStatus>* status,
                           std::string* error,
                           std::string* contents);
  // The newest old status file, or null.
  std::unique_ptr<InstallationStatus> Recover(const base::FilePath& folder, std::string* error);
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_STATUS_LOADER_IMPL_H_
