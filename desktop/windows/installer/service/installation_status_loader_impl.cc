#include "desktop/windows/installer/service/installation_status_loader_impl.h"

#include <cstdint>

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/strings/string_number_conversions.h"
#include "desktop/windows/installer/service/installation_status_reader_factory.h"

namespace installer {

namespace {

struct StatusFile {
  InstallationStatusSource source;
  const wchar_t* file_name;
  // Names the file in error texts.
  const char* label;
};

constexpr StatusFile kStatusFiles[] = {
    {PRIMARY, kInstallationStatusFileName, "Velto JSON status file"},
    {LEGACY_XML, kLegacyXmlStatusFileName, "Velto legacy XML status file"},
    {DROVIK, kDrovikStatusFileName, "Velto legacy Drovik XML status file"},
};

const StatusFile* FindStatusFile(InstallationStatusSource source) {
  for (const StatusFile& file : kStatusFiles) {
    if (file.source == source)
      return &file;
  }
  return nullptr;
}

}  // namespace

bool FindNewestOldStatusFile(const base::FilePath& folder,
                             base::FilePath* path,
                             InstallationStatusSource* source) {
  path->clear();
  *source = INVALID;
  int64_t newest = 0;
  base::FileEnumerator enumerator(folder.Append(kOldStatusFolderName), /*recursive=*/false,
                                  base::FileEnumerator::FILES);
  for (base::FilePath file = enumerator.Next(); !file.empty(); file = enumerator.Next()) {
    const std::wstring name = file.BaseName().value();
    const bool json = name.find(L".json") != std::wstring::npos;
    if (!json && name.find(L".xml") == std::wstring::npos)
      continue;
    // The final extension is the time the file was moved aside.
    size_t dot = name.rfind(L'.');
    int64_t moved_at = 0;
    if (dot == std::wstring::npos || dot + 1 == name.size() ||
        !base::StringToInt64(std::wstring_view(name).substr(dot + 1), &moved_at)) {
      continue;
    }
    if (moved_at > newest) {
      newest = moved_at;
      *path = file;
      *source = json ? RECOVERED : LEGACY_XML_RECOVERED_FROM_OLD_FILES;
    }
  }
  return !path->empty();
}

InstallationStatusLoaderImpl::InstallationStatusLoaderImpl() = default;
InstallationStatusLoaderImpl::~InstallationStatusLoaderImpl() = default;

std::unique_ptr<InstallationStatus> InstallationStatusLoaderImpl::Load(
    const base::FilePath& folder,
    int recovery_mode,
    std::string* error,
    std::string* contents) {
  const bool recover = recovery_mode == kRecoverFromOldStatus;
  std::unique_ptr<InstallationStatus> status;

  StatusLoadResult result = TryLoad(folder, PRIMARY, &status, error, contents);
  if (result == STATUS_LOADED)
    return status;
  if (result == STATUS_ABSENT) {
    if (TryLoad(folder, LEGACY_XML, &status, error, contents) == STATUS_LOADED)
      return status;
    if (!recover) {
      TryLoad(folder, DROVIK, &status, error, contents);
      return status;
    }
  }
  if (!recover)
    return nullptr;
  return Recover(folder, error);
}

StatusLoadResult InstallationStatusLoaderImpl::TryLoad(
    const base::FilePath& folder,
    InstallationStatusSource source,
    std::unique_ptr<InstallationStatus>* status,
    std::string* error,
    std::string* contents) {
  const StatusFile* status_file = FindStatusFile(source);
  const base::FilePath path = folder.Append(status_file->file_name);
  std::string read_error;
  *status = ReadInstallationStatusFile(path, source, &read_error);
  if (*status)
    return STATUS_LOADED;
  if (!base::PathExists(path))
    return STATUS_ABSENT;

  // The label ends in "status file" already; the doubled words are what the
  // diagnostics have always shown.
  *error = std::string(status_file->label) + " status file, " + read_error;
  contents->clear();
  if (!base::ReadFileToString(path, contents))
    *error += " Cannot read the file to string.";
  else if (contents->empty())
    *error += " Status file empty.";
  return STATUS_INVALID;
}

std::unique_ptr<InstallationStatus> InstallationStatusLoaderImpl::Recover(
    const base::FilePath& folder,
    std::string* error) {
  base::FilePath path;
  InstallationStatusSource source = INVALID;
  if (!FindNewestOldStatusFile(folder, &path, &source))
    return nullptr;
  // The error now describes this file, not an earlier attempt: a reader that
  // fails without a text of its own leaves it empty.
  return ReadInstallationStatusFile(path, source, error);
}

}  // namespace installer
