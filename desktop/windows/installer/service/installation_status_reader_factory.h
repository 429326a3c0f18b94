// Chooses the reader for a status format and reads one status file with it.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_STATUS_READER_FACTORY_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_STATUS_READER_FACTORY_H_

#include <memory>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/installation_status_reader.h"

namespace installer {

// The JSON reader for PRIMARY and RECOVERED, the XML reader for LEGACY_XML,
// LEGACY_XML_RECOVERED_FROM_OLD_FILES and DROVIK, null for other sources.
std::unique_ptr<InstallationStatusReader> CreateInstallationStatusReader(
    InstallationStatusSource source);

// The record in the status file |path|, read whole with the reader for
// |source| and carrying |source|. Null without touching |error| when the file
// does not exist or |source| has no reader; null with |error| set when the
// file cannot be read or parsed.
std::unique_ptr<InstallationStatus> ReadInstallationStatusFile(const base::FilePath& path,
                                                               InstallationStatusSource source,
                                                               std::string* error);

// The format of a file of the "old_status" folder by its name: RECOVERED when
// the name holds ".json.", LEGACY_XML_RECOVERED_FROM_OLD_FILES when it holds
// ".xml.", INVALID (not a status file) otherwise.
InstallationStatusSource GetOldStatusFileSource(const base::FilePath& file);

// Appends to |records| the record of every status file kept in the "old_status"
// folder of |install_path| that can be read. False when some status file there
// could not be read, so that what it names is unknown; a missing folder holds
// none and is no failure.
bool ReadKeptStatusRecords(const base::FilePath& install_path,
                           std::vector<std::unique_ptr<InstallationStatus>>* records);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_STATUS_READER_FACTORY_H_
