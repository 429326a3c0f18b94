// Writes an InstallationStatus as the JSON status file of an installation
// folder: compact JSON, members sorted by key in byte order, optional sections
// left out when empty. JsonInstallationStatusReader reads the result back.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_JSON_INSTALLATION_STATUS_WRITER_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_JSON_INSTALLATION_STATUS_WRITER_H_

#include <optional>
#include <string>

#include "base/files/file_path.h"
#include "desktop/windows/installer/service/installation_status.h"

namespace installer {

// The JSON text of |status|; nullopt (logged) when it cannot be serialised.
std::optional<std::string> InstallationStatusToJson(const InstallationStatus& status);

// Replaces the contents of |path| with the JSON text of |status|. False when
// the text cannot be made or written; the file is left alone when the text
// cannot be made.
bool WriteInstallationStatusFile(const InstallationStatus& status, const base::FilePath& path);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_JSON_INSTALLATION_STATUS_WRITER_H_
