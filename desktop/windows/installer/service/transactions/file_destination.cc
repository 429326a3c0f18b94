#include "desktop/windows/installer/service/transactions/file_destination.h"

#include <windows.h>

#include <memory>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "desktop/windows/installer/service/transactions/create_folder_operation.h"
#include "desktop/windows/installer/service/transactions/delete_file_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"

namespace installer {

bool PrepareFileDestination(const std::wstring& destination, Transaction* nested) {
  const base::FilePath path(destination);
  const base::FilePath folder = path.DirName();
  if (!base::DirectoryExists(folder))
    return nested->Do(std::make_unique<CreateFolderOperation>(folder.value()));
  if (base::PathExists(path)) {
    return nested->Do(std::make_unique<DeleteFileOperation>(destination, false, false));
  }
  return true;
}

bool ClearReadOnlyAttribute(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY))
    return false;
  if (!::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
    LOG(ERROR) << "Couldn't clear RO attribute of " << path;
    return false;
  }
  return true;
}

void RestoreReadOnlyAttribute(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES)
    ::SetFileAttributesW(path.c_str(), attributes | FILE_ATTRIBUTE_READONLY);
}

}  // namespace installer
