#include "desktop/windows/installer/package_fetcher/package_folder_lock.h"

#include <windows.h>

#include <map>
#include <string_view>
#include <vector>

#include "base/files/file_enumerator.h"
#include "base/files/file.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/stringprintf.h"

namespace installer {

namespace {

// velto_package<try number>.exe_<stamp>, suite_<stamp> and the lock file
// velto_package.exe_<stamp>.lock.
constexpr std::wstring_view kPackageName = L"velto_package";
constexpr std::wstring_view kPackageExtension = L".exe";
constexpr std::wstring_view kSuiteName = L"suite";
constexpr std::wstring_view kLockExtension = L".lock";
constexpr size_t kStampLength = 14;

// Runs started within this many seconds of each other find a stamp of their
// own; beyond it something other than runs holds the names.
constexpr int kMaxStamps = 1000;

// Folders of a run that takes no lock file and in which something was
// written within this time may belong to a run still going on: one that
// waits, its package fetched, for its user or for the package's installer.
constexpr base::TimeDelta kRecentWrite = base::TimeDelta::FromHours(24);

std::wstring StampOf(base::Time time) {
  base::Time::Exploded local;
  time.LocalExplode(&local);
  return base::StringPrintf(L"%04d%02d%02d%02d%02d%02d", local.year, local.month,
                            local.day_of_month, local.hour, local.minute, local.second);
}

std::wstring PackageFolderName(const std::wstring& stamp) {
  return std::wstring(kPackageName) + std::wstring(kPackageExtension) + L"_" + stamp;
}

base::FilePath LockPath(const base::FilePath& download_folder, const std::wstring& stamp) {
  return download_folder.Append(PackageFolderName(stamp) + std::wstring(kLockExtension));
}

bool IsDigits(std::wstring_view text) {
  return text.find_first_not_of(L"0123456789") == std::wstring_view::npos;
}

// The stamp of |rest| when it is "_<stamp>" and nothing else.
bool TakeStamp(std::wstring_view rest, std::wstring* stamp) {
  if (rest.size() != kStampLength + 1 || rest[0] != L'_' || !IsDigits(rest.substr(1)))
    return false;
  *stamp = std::wstring(rest.substr(1));
  return true;
}

// Whether |name| is a package, try or companion folder's name; its stamp.
bool IsRunFolderName(std::wstring_view name, std::wstring* stamp) {
  if (name.starts_with(kSuiteName))
    return TakeStamp(name.substr(kSuiteName.size()), stamp);
  if (!name.starts_with(kPackageName))
    return false;
  name.remove_prefix(kPackageName.size());
  const size_t extension = name.find(kPackageExtension);
  return extension != std::wstring_view::npos && IsDigits(name.substr(0, extension)) &&
         TakeStamp(name.substr(extension + kPackageExtension.size()), stamp);
}

bool IsLockFileName(std::wstring_view name, std::wstring* stamp) {
  const std::wstring prefix = std::wstring(kPackageName) + std::wstring(kPackageExtension);
  if (!name.starts_with(prefix) || !name.ends_with(kLockExtension))
    return false;
  name.remove_suffix(kLockExtension.size());
  return TakeStamp(name.substr(prefix.size()), stamp);
}

enum class LockResult { kTaken, kHeld, kFailed };

// Makes the lock file at |path|, taking over one that nobody holds. With
// |delete_on_close| the file goes when |lock| is closed, however that comes.
LockResult TakeLock(const base::FilePath& path, bool delete_on_close,
                    base::win::ScopedHandle* lock) {
  DWORD flags = FILE_ATTRIBUTE_TEMPORARY;
  if (delete_on_close)
    flags |= FILE_FLAG_DELETE_ON_CLOSE;
  for (int attempt = 0; attempt < 2; ++attempt) {
    lock->Set(::CreateFileW(path.value().c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                            flags, nullptr));
    if (lock->IsValid())
      return LockResult::kTaken;
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
      return LockResult::kFailed;
    // A run holding it keeps it from being deleted; one left behind goes.
    if (!::DeleteFileW(path.value().c_str()))
      return LockResult::kHeld;
  }
  return LockResult::kHeld;
}

// The package, try and companion folders named after |stamp|.
std::vector<base::FilePath> FoldersOf(const base::FilePath& download_folder,
                                      const std::wstring& stamp) {
  std::vector<base::FilePath> folders;
  base::FileEnumerator entries(download_folder, false, base::FileEnumerator::DIRECTORIES,
                               L"*_" + stamp);
  for (base::FilePath path = entries.Next(); !path.empty(); path = entries.Next()) {
    std::wstring folder_stamp;
    if (IsRunFolderName(path.BaseName().value(), &folder_stamp) && folder_stamp == stamp)
      folders.push_back(path);
  }
  return folders;
}

bool WrittenSince(int64_t file_time, base::Time since) {
  FILETIME time = {static_cast<DWORD>(file_time), static_cast<DWORD>(file_time >> 32)};
  return base::Time::FromFileTime(time) >= since;
}

// Whether a process has a file of |folder| open, or something in it was
// written at |since| or later (a time ahead of the clock counts as recent).
bool InUseOrWrittenSince(const base::FilePath& folder, base::Time since) {
  base::File::Info info;
  if (base::GetFileInfo(folder, &info) && WrittenSince(info.last_modified, since))
    return true;
  base::FileEnumerator entries(folder, true,
                               base::FileEnumerator::FILES | base::FileEnumerator::DIRECTORIES);
  std::vector<base::FilePath> files;
  for (base::FilePath path = entries.Next(); !path.empty(); path = entries.Next()) {
    if (WrittenSince(entries.GetInfo().GetLastModifiedTime(), since))
      return true;
    if (!entries.GetInfo().IsDirectory())
      files.push_back(path);
  }
  for (const base::FilePath& file : files) {
    // Refused only while another handle has it open (a running program's
    // image included).
    base::win::ScopedHandle handle(::CreateFileW(file.value().c_str(), GENERIC_READ, 0, nullptr,
                                                 OPEN_EXISTING, 0, nullptr));
    if (!handle.IsValid() && ::GetLastError() == ERROR_SHARING_VIOLATION)
      return true;
  }
  return false;
}

void RemoveFolders(const std::vector<base::FilePath>& folders) {
  for (const base::FilePath& folder : folders) {
    if (!base::DeletePathRecursively(folder))
      LOG(WARNING) << "Unable to delete " << folder;
  }
}

}  // namespace

PackageFolderLock::PackageFolderLock(const base::FilePath& download_folder, base::Time start)
    : download_folder_(download_folder), stamp_(StampOf(start)) {
  for (int second = 0; second < kMaxStamps; ++second) {
    const std::wstring stamp = StampOf(start + base::TimeDelta::FromSeconds(second));
    // Folders of the second are another run's, perhaps of one that takes no
    // lock file: this run's own must not meet them.
    if (!FoldersOf(download_folder_, stamp).empty())
      continue;
    const LockResult result =
        TakeLock(LockPath(download_folder_, stamp), false, &lock_file_);
    if (result == LockResult::kFailed) {
      PLOG(WARNING) << "Cannot make a lock file in " << download_folder_;
      return;
    }
    if (result == LockResult::kTaken) {
      stamp_ = stamp;
      return;
    }
  }
  LOG(WARNING) << "Every package folder name is taken";
}

PackageFolderLock::~PackageFolderLock() {
  if (!lock_file_.IsValid() || !FoldersOf(download_folder_, stamp_).empty())
    return;
  // Nothing of this run is left: the lock file goes as the claim ends.
  FILE_DISPOSITION_INFO disposition = {TRUE};
  if (!::SetFileInformationByHandle(lock_file_.Get(), FileDispositionInfo, &disposition,
                                    sizeof(disposition))) {
    PLOG(WARNING) << "Cannot remove the lock file of " << stamp_;
  }
}

base::FilePath PackageFolderLock::package_folder() const {
  return download_folder_.Append(PackageFolderName(stamp_));
}

base::FilePath PackageFolderLock::suite_folder() const {
  return download_folder_.Append(std::wstring(kSuiteName) + L"_" + stamp_);
}

// static
base::FilePath PackageFolderLock::TryFolder(const base::FilePath& package_folder, int try_number) {
  const std::wstring name = package_folder.BaseName().value();
  const size_t dot = name.rfind(L'.');
  const size_t at = dot == std::wstring::npos ? name.size() : dot;
  return package_folder.DirName().Append(name.substr(0, at) + std::to_wstring(try_number) +
                                         name.substr(at));
}

// static
void PackageFolderLock::RemoveFoldersOfEndedRuns(const base::FilePath& download_folder,
                                                 base::Time now) {
  struct Run {
    std::vector<base::FilePath> folders;
    bool lock_file = false;
  };
  // Every stamp named in the folder, with the folders named after it.
  std::map<std::wstring, Run> runs;
  base::FileEnumerator entries(download_folder, false,
                               base::FileEnumerator::FILES | base::FileEnumerator::DIRECTORIES);
  for (base::FilePath path = entries.Next(); !path.empty(); path = entries.Next()) {
    const std::wstring name = path.BaseName().value();
    std::wstring stamp;
    if (IsRunFolderName(name, &stamp))
      runs[stamp].folders.push_back(path);
    else if (IsLockFileName(name, &stamp))
      runs[stamp].lock_file = true;
  }
  for (const auto& [stamp, run] : runs) {
    if (!run.lock_file) {
      bool in_use = false;
      for (const base::FilePath& folder : run.folders)
        in_use = in_use || InUseOrWrittenSince(folder, now - kRecentWrite);
      if (in_use) {
        LOG(INFO) << "Leaving the package folders of a run without a lock file, in use or "
                     "recently written: "
                  << stamp;
        continue;
      }
    }
    base::win::ScopedHandle lock;
    if (TakeLock(LockPath(download_folder, stamp), true, &lock) != LockResult::kTaken)
      continue;
    if (!run.folders.empty())
      LOG(INFO) << "Removing the package folders of an ended run: " << stamp;
    RemoveFolders(run.folders);
  }
}

}  // namespace installer
