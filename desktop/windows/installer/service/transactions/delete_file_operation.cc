#include "desktop/windows/installer/service/transactions/delete_file_operation.h"

#include <windows.h>
#include <accctrl.h>

#include <ctime>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/service/object_security.h"

namespace installer {

namespace {

// FILE_GENERIC_WRITE | DELETE.
constexpr DWORD kDeleteAccess = 0x130116;

// Taken backup names passed over before the removal is refused.
constexpr long long kMaxBackupNameTries = 1000;

bool IsModule(const std::wstring& path) {
  const std::wstring extension = base::FilePath(path).Extension();
  return base::EqualsCaseInsensitiveASCII(extension, L".exe") ||
         base::EqualsCaseInsensitiveASCII(extension, L".dll");
}

}  // namespace

DeleteFileOperation::DeleteFileOperation(const std::wstring& path,
                                         bool check_in_use,
                                         bool remove_empty_parents)
    : path_(path), check_in_use_(check_in_use), remove_empty_parents_(remove_empty_parents) {}

DeleteFileOperation::~DeleteFileOperation() {
  if (!moved_) {
    if (!saved_security_.empty())
      RestoreObjectSecurity(&saved_security_);
    return;
  }
  VLOG(1) << "Actual removal of " << backup_path_;
  if (!base::DeletePathRecursively(base::FilePath(backup_path_)) &&
      backup_path_.size() < MAX_PATH) {
    ::MoveFileExW(backup_path_.c_str(), nullptr,
                  MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING);
  }
  if (remove_empty_parents_) {
    base::FilePath folder = base::FilePath(path_).DirName();
    while (::RemoveDirectoryW(folder.value().c_str())) {
      base::FilePath parent = folder.DirName();
      if (parent == folder)
        break;
      folder = parent;
    }
  }
}

bool DeleteFileOperation::Do(Transaction* nested) {
  VLOG(1) << "Preparing file " << path_ << " for removal";
  const base::FilePath path(path_);
  if (!base::PathExists(path)) {
    VLOG(1) << "File does not exist. Nothing to do";
    return true;
  }
  // One run may remove the same path more than once within a second (a file
  // written twice, each write replacing the one before): the earlier backup
  // waits for the commit under its name, so a later one takes the next free
  // number. The numbers keep their order, the later backup the greater one.
  const long long now = static_cast<long long>(_time64(nullptr));
  for (long long seconds = now;; ++seconds) {
    backup_path_ = path_ + L"." + std::to_wstring(seconds) + L".old";
    if (!base::PathExists(base::FilePath(backup_path_)))
      break;
    if (seconds - now >= kMaxBackupNameTries) {
      LOG(ERROR) << "Temporary file with name" << backup_path_ << "already exists";
      backup_path_.clear();
      return false;
    }
    VLOG(1) << "Temporary file with name" << backup_path_ << "already exists";
  }
  if (!CheckObjectAccess(path_, SE_FILE_OBJECT, kDeleteAccess)) {
    if (!GrantCurrentUserAccess(path_, SE_FILE_OBJECT, kDeleteAccess, true, nullptr))
      LOG(ERROR) << "Cannot obtain proper permissions on the file";
    return false;
  }
  if (!base::Move(path, base::FilePath(backup_path_))) {
    LOG(ERROR) << "File removal failed";
    return false;
  }
  VLOG(1) << "File moved successfully to " << backup_path_;
  if (check_in_use_ && IsModule(path_)) {
    base::win::ScopedHandle file(::CreateFileW(backup_path_.c_str(), GENERIC_WRITE,
                                               FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
      PLOG(ERROR) << "Attempt to open the file for writing failed";
      if (!MoveBackupBack()) {
        // The file stays at the backup name; Undo() tries again and the
        // destructor keeps it whatever happens.
        moved_ = true;
      }
      LOG(ERROR) << "File removal failed";
      return false;
    }
  }
  moved_ = true;
  return true;
}

void DeleteFileOperation::Undo() {
  if (!moved_)
    return;
  // The backup is the user's file: once Undo() has run, the destructor must
  // not delete it, whether it went back or not.
  moved_ = false;
  if (!MoveBackupBack()) {
    LOG(ERROR) << "Could not move " << backup_path_ << " back to " << path_
               << "; the file is kept under that name";
  }
}

bool DeleteFileOperation::MoveBackupBack() {
  return base::Move(base::FilePath(backup_path_), base::FilePath(path_));
}

}  // namespace installer
