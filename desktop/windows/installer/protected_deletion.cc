#include "desktop/windows/installer/protected_deletion.h"

#include <windows.h>

#include <utility>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/service/link_free_access.h"
#include "desktop/windows/installer/service/protected_folder.h"

namespace installer {

namespace {

std::string Describe(const base::FilePath& path) {
  return base::WideToUTF8(path.value());
}

// The root ("X:\") of the volume that |path| lies on.
std::wstring VolumeOf(const base::FilePath& path) {
  wchar_t volume[MAX_PATH + 1] = {};
  if (!::GetVolumePathNameW(path.value().c_str(), volume, MAX_PATH))
    return std::wstring();
  return base::FilePath(volume).StripTrailingSeparators().value();
}

// Moves the file held by |file| (opened with DELETE) to |to|, which must not
// exist.
bool MoveHeld(HANDLE file, const base::FilePath& to) {
  // The native form: the rename reaches the file system as it is given.
  const std::wstring target = L"\\??\\" + to.value();
  std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = FALSE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
  memcpy(rename->FileName, target.c_str(), target.size() * sizeof(wchar_t));
  return ::SetFileInformationByHandle(file, FileRenameInfo, rename,
                                      static_cast<DWORD>(buffer.size()));
}

}  // namespace

ProtectedDeletion::ProtectedDeletion(const base::FilePath& parent) : parent_(parent) {}

ProtectedDeletion::~ProtectedDeletion() {
  for (const Made& made : made_) {
    if (::RemoveDirectoryW(made.folder.value().c_str()))
      continue;
    if (::MoveFileExW(made.folder.value().c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
      LOG(INFO) << "Removed at the next start of Windows: " << made.folder;
    else
      LOG(WARNING) << "Cannot remove " << made.folder << ": error " << ::GetLastError();
  }
}

bool ProtectedDeletion::FolderIn(const base::FilePath& parent, base::FilePath* folder,
                                 std::string* reason) {
  for (const Made& made : made_) {
    if (made.parent == parent) {
      *folder = made.folder;
      return true;
    }
  }
  if (!ProtectedFolder::MakeNew(parent, "removed", folder, reason))
    return false;
  made_.push_back({parent, *folder});
  return true;
}

bool ProtectedDeletion::Delete(const base::FilePath& file, std::string* reason) {
  base::win::ScopedHandle held =
      OpenWithoutLinks(file, false, DELETE | SYNCHRONIZE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, reason);
  if (!held.IsValid())
    return false;
  base::FilePath true_path;
  if (!base::GetFinalPathFromHandle(held.Get(), &true_path)) {
    *reason = "Cannot tell where " + Describe(file) + " lies";
    return false;
  }
  // A file is moved within its volume only: to the Windows folder's Temp
  // when it lies on the same one, else to the root of its own.
  base::FilePath moved;
  bool done = false;
  for (const base::FilePath& parent : {parent_, base::FilePath(VolumeOf(true_path) + L"\\")}) {
    // A folder that could not be told is none: never the current one.
    if (!parent.IsAbsolute())
      continue;
    base::FilePath folder;
    if (!FolderIn(parent, &folder, reason))
      return false;
    moved = folder.Append(std::to_wstring(++moved_) + L"_" + true_path.BaseName().value());
    done = MoveHeld(held.Get(), moved);
    if (done || ::GetLastError() != ERROR_NOT_SAME_DEVICE)
      break;
  }
  if (!done) {
    *reason = "Cannot move " + Describe(file) + " to " + Describe(moved) + ": error " +
              std::to_string(::GetLastError());
    return false;
  }
  LOG(INFO) << "Moved " << file << " to " << moved;
  FILE_DISPOSITION_INFO disposition = {TRUE};
  if (::SetFileInformationByHandle(held.Get(), FileDispositionInfo, &disposition,
                                   sizeof(disposition))) {
    return true;
  }
  // A running image cannot be deleted until its process has ended; nobody
  // but the administrators can reach it where it is now.
  held.Close();
  if (!::MoveFileExW(moved.value().c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
    LOG(WARNING) << "Cannot remove " << moved << ": error " << ::GetLastError();
    return true;
  }
  LOG(INFO) << "Removed at the next start of Windows: " << moved;
  left_for_restart_.push_back(moved);
  return true;
}

}  // namespace installer
