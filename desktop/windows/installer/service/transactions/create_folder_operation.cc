#include "desktop/windows/installer/service/transactions/create_folder_operation.h"

#include <windows.h>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/logging.h"

namespace installer {

CreateFolderOperation::CreateFolderOperation(const std::wstring& path)
    : path_(base::FilePath(path).StripTrailingSeparators().value()) {}

CreateFolderOperation::~CreateFolderOperation() = default;

bool CreateFolderOperation::Do(Transaction* nested) {
  VLOG(1) << "Attempting to create folder " << path_;
  const base::FilePath path(path_);
  if (base::DirectoryExists(path)) {
    VLOG(1) << "Folder already exists";
    return true;
  }
  base::FilePath current = path;
  for (;;) {
    base::FilePath parent = current.DirName();
    if (base::DirectoryExists(parent)) {
      VLOG(1) << "Valid ancestor";
      // Recorded before creating: a creation that fails halfway still leaves
      // the levels it made for Undo() to remove.
      existing_ancestor_ = parent.value();
      if (base::CreateDirectory(path)) {
        VLOG(1) << "Folder created successfully";
        return true;
      }
      break;
    }
    if (parent == current)
      break;
    current = parent;
  }
  LOG(ERROR) << "Failed folder creation";
  return false;
}

void CreateFolderOperation::Undo() {
  if (existing_ancestor_.empty())
    return;
  base::FilePath current(path_);
  while (current.value() != existing_ancestor_) {
    if (!::RemoveDirectoryW(current.value().c_str()))
      break;
    base::FilePath parent = current.DirName();
    if (parent == current)
      break;
    current = parent;
  }
  existing_ancestor_.clear();
}

}  // namespace installer
