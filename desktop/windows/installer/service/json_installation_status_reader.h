// JsonInstallationStatusReader: reads the JSON status file written by
// WriteInstallationStatusFile (strict JSON). The first missing or mistyped
// member ends the read with its own error text; members it does not know are
// ignored. Folder, subfolder, file and component paths lose white space at
// their ends and everything from a NUL on.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_JSON_INSTALLATION_STATUS_READER_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_JSON_INSTALLATION_STATUS_READER_H_

#include <memory>
#include <string>

#include "base/values.h"
#include "desktop/windows/installer/service/installation_status_reader.h"

namespace installer {

class JsonInstallationStatusReader : public InstallationStatusReader {
 public:
  JsonInstallationStatusReader();
  JsonInstallationStatusReader(const JsonInstallationStatusReader&) = delete;
  JsonInstallationStatusReader& operator=(const JsonInstallationStatusReader&) = delete;
  ~JsonInstallationStatusReader() override;

  // InstallationStatusReader:
  std::unique_ptr<InstallationStatus> Read(const std::string& contents,
                                           InstallationStatusSource source) override;
  const std::string& GetError() const override;

 private:
  // Each returns false with |error_| set when its section is malformed.
  bool ReadFileList(const base::Value::List& list, std::vector<std::wstring>* files);
  bool ReadRegistryKeys(const base::Value::List& list,
                        std::vector<InstallationStatus::RegistryKey>* keys);
  bool ReadRegistry(const base::Value::Dict& registry, InstallationStatus* status);
  bool ReadShortcuts(const base::Value::Dict& shortcuts, InstallationStatus* status);
  bool ReadComponents(const base::Value::Dict& components, InstallationStatus* status);

  std::string error_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_JSON_INSTALLATION_STATUS_READER_H_
