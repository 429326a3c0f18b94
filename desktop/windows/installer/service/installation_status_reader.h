// InstallationStatusReader: turns the contents of one status file into an
// InstallationStatus. A successful Read hands out a new record carrying the
// source it was given; a failed Read returns null, never a partly filled
// record, and leaves the reason in GetError until a later failure replaces it.
// Readers are used on one thread.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_STATUS_READER_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_STATUS_READER_H_

#include <memory>
#include <string>

#include "desktop/windows/installer/service/installation_status.h"

namespace installer {

class InstallationStatusReader {
 public:
  virtual ~InstallationStatusReader() = default;

  virtual std::unique_ptr<InstallationStatus> Read(const std::string& contents,
                                                   InstallationStatusSource source) = 0;
  // The text of the last failure.
  virtual const std::string& GetError() const = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_STATUS_READER_H_
