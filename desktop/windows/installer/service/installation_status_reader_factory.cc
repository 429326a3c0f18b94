#include "desktop/windows/installer/service/installation_status_reader_factory.h"

#include <utility>

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "desktop/windows/installer/service/json_installation_status_reader.h"
#include "desktop/windows/installer/service/xml_installation_status_reader.h"

namespace installer {

std::unique_ptr<InstallationStatusReader> CreateInstallationStatusReader(
    InstallationStatusSource source) {
  switch (source) {
    case PRIMARY:
    case RECOVERED:
      return std::make_unique<JsonInstallationStatusReader>();
    case LEGACY_XML:
    case LEGACY_XML_RECOVERED_FROM_OLD_FILES:
    case DROVIK:
      return std::make_unique<XmlInstallationStatusReader>();
    case INVALID:
    case GENERATED:
    case STRING:
      break;
  }
  return nullptr;
}

std::unique_ptr<InstallationStatus> ReadInstallationStatusFile(const base::FilePath& path,
                                                               InstallationStatusSource source,
                                                               std::string* error) {
  if (!base::PathExists(path))
    return nullptr;
  std::unique_ptr<InstallationStatusReader> reader = CreateInstallationStatusReader(source);
  if (!reader)
    return nullptr;
  std::string contents;
  if (!base::ReadFileToString(path, &contents)) {
    *error = "Cannot read a file to string";
    return nullptr;
  }
  std::unique_ptr<InstallationStatus> status = reader->Read(contents, source);
  if (!status)
    *error = reader->GetError();
  return status;
}

InstallationStatusSource GetOldStatusFileSource(const base::FilePath& file) {
  const std::wstring& name = file.BaseName().value();
  if (name.find(L".json.") != std::wstring::npos)
    return RECOVERED;
  if (name.find(L".xml.") != std::wstring::npos)
    return LEGACY_XML_RECOVERED_FROM_OLD_FILES;
  return INVALID;
}

bool ReadKeptStatusRecords(const base::FilePath& install_path,
                           std::vector<std::unique_ptr<InstallationStatus>>* records) {
  bool complete = true;
  base::FileEnumerator enumerator(install_path.Append(kOldStatusFolderName), false,
                                  base::FileEnumerator::FILES);
  for (base::FilePath file = enumerator.Next(); !file.empty(); file = enumerator.Next()) {
    InstallationStatusSource source = GetOldStatusFileSource(file);
    if (source == INVALID)
      continue;
    std::string error;
    std::unique_ptr<InstallationStatus> record = ReadInstallationStatusFile(file, source, &error);
    if (!record) {
      LOG(WARNING) << "Unreadable old status file " << file.AsUTF8Unsafe() << ": " << error;
      complete = false;
      continue;
    }
    records->push_back(std::move(record));
  }
  return complete;
}

}  // namespace installer
