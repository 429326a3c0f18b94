#include "desktop/windows/installer/interrupted_run_cleanup.h"

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <utility>

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/service/contained_path.h"
#include "desktop/windows/installer/service/installation_status_loader_impl.h"
#include "desktop/windows/installer/service/installation_status_reader_factory.h"
#include "desktop/windows/installer/service/shared_folder_mark.h"
#include "desktop/windows/installer/service/system_utils.h"

namespace installer {

namespace {

// What DeleteFileOperation appends to a file it moves aside: "." and the
// seconds since 1970, then this.
constexpr wchar_t kBackupExtension[] = L".old";
// What CreateTemporaryFileInDir names the files of a whole-file write.
constexpr wchar_t kTemporaryFilePattern[] = L"~tmp*.tmp";

bool IsDecimal(std::wstring_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

// Splits |backup| ("<name>.<seconds>.old") into the name of the file it
// backs up and its seconds; false when it is no backup's name.
bool SplitBackupName(const std::wstring& backup, std::wstring* name, long long* seconds) {
  const size_t extension = std::size(kBackupExtension) - 1;
  if (backup.size() <= extension ||
      !base::EqualsCaseInsensitiveASCII(
          std::wstring_view(backup).substr(backup.size() - extension), kBackupExtension)) {
    return false;
  }
  const std::wstring_view rest = std::wstring_view(backup).substr(0, backup.size() - extension);
  const size_t dot = rest.rfind(L'.');
  if (dot == std::wstring_view::npos || dot == 0)
    return false;
  const std::wstring_view digits = rest.substr(dot + 1);
  // More digits than a 64-bit number holds are no backup name either.
  if (!IsDecimal(digits) || digits.size() > 18)
    return false;
  *name = std::wstring(rest.substr(0, dot));
  *seconds = std::stoll(std::wstring(digits));
  return true;
}

// The seconds of |backup| when it is a backup of the file named |name|
// ("<name>.<seconds>.old"); -1 otherwise.
long long BackupSeconds(const std::wstring& backup, const std::wstring& name) {
  std::wstring backed_up;
  long long seconds = -1;
  if (!SplitBackupName(backup, &backed_up, &seconds) ||
      !base::EqualsCaseInsensitiveASCII(backed_up, name)) {
    return -1;
  }
  return seconds;
}

// Whether |name| matches |pattern|, where "*" stands for any text; ASCII
// letters match without regard to case.
bool MatchesPattern(std::wstring_view name, std::wstring_view pattern) {
  const size_t star = pattern.find(L'*');
  if (star == std::wstring_view::npos)
    return base::EqualsCaseInsensitiveASCII(name, pattern);
  if (name.size() < star ||
      !base::EqualsCaseInsensitiveASCII(name.substr(0, star), pattern.substr(0, star))) {
    return false;
  }
  const std::wstring_view rest = pattern.substr(star + 1);
  for (size_t at = star; at <= name.size(); ++at) {
    if (MatchesPattern(name.substr(at), rest))
      return true;
  }
  return false;
}

// The backups of |path| as (seconds, backup), oldest first.
using Backups = std::vector<std::pair<long long, base::FilePath>>;

// Puts the newest of |backups| back when |put_back| and |path| is missing,
// and deletes the others.
void ResolveBackupList(const base::FilePath& path, Backups backups, bool put_back) {
  if (backups.empty())
    return;
  std::sort(backups.begin(), backups.end());
  if (put_back && !base::PathExists(path)) {
    const base::FilePath& newest = backups.back().second;
    LOG(INFO) << "Putting back " << path.AsUTF8Unsafe() << ", moved aside by an interrupted run";
    if (!::MoveFileExW(newest.value().c_str(), path.value().c_str(), 0)) {
      PLOG(WARNING) << "Could not put back " << newest.AsUTF8Unsafe();
      return;
    }
    backups.pop_back();
  }
  for (const auto& backup : backups) {
    LOG(INFO) << "Removing the backup of an interrupted run: " << backup.second.AsUTF8Unsafe();
    if (!base::DeleteFile(backup.second))
      LOG(WARNING) << "Could not remove " << backup.second.AsUTF8Unsafe();
  }
}

// The backups of |path| beside it.
Backups FindBackupsOf(const base::FilePath& path) {
  const std::wstring name = path.BaseName().value();
  Backups backups;
  base::FileEnumerator enumerator(path.DirName(), false, base::FileEnumerator::FILES,
                                  name + L".*" + kBackupExtension);
  for (base::FilePath backup = enumerator.Next(); !backup.empty(); backup = enumerator.Next()) {
    long long seconds = BackupSeconds(backup.BaseName().value(), name);
    if (seconds >= 0)
      backups.emplace_back(seconds, backup);
  }
  return backups;
}

}  // namespace

InterruptedRunCleanup::InterruptedRunCleanup(const base::FilePath& install_path,
                                             const InstallationStatus* record,
                                             std::string version,
                                             std::vector<std::wstring> root_names,
                                             std::vector<SharedFiles> shared_files)
    : install_path_(install_path),
      record_(record),
      version_(base::ASCIIToWide(version)),
      root_names_(std::move(root_names)),
      shared_files_(std::move(shared_files)) {}

InterruptedRunCleanup::~InterruptedRunCleanup() = default;

// static
bool InterruptedRunCleanup::IsVersionFolderName(const std::wstring& name) {
  std::wstring_view rest = name;
  size_t counter = rest.find(L'_');
  if (counter != std::wstring_view::npos) {
    if (!IsDecimal(rest.substr(counter + 1)))
      return false;
    rest = rest.substr(0, counter);
  }
  for (int part = 0; part < 4; ++part) {
    size_t dot = rest.find(L'.');
    if ((dot == std::wstring_view::npos) != (part == 3))
      return false;
    if (!IsDecimal(rest.substr(0, dot)))
      return false;
    rest = dot == std::wstring_view::npos ? std::wstring_view() : rest.substr(dot + 1);
  }
  return true;
}

// static
bool InterruptedRunCleanup::HasBackupOf(const base::FilePath& path) {
  return !FindBackupsOf(path).empty();
}

// static
bool InterruptedRunCleanup::PutBackMovedAsideStatus(const base::FilePath& install_path) {
  for (const wchar_t* name : kStatusFileNames) {
    if (base::PathExists(install_path.Append(name)))
      return false;
  }
  base::FilePath kept;
  InstallationStatusSource source = INVALID;
  if (!FindNewestOldStatusFile(install_path, &kept, &source))
    return false;
  const std::wstring kept_name = kept.RemoveExtension().BaseName().value();
  const wchar_t* const* name = std::find_if(
      std::begin(kStatusFileNames), std::end(kStatusFileNames),
      [&kept_name](const wchar_t* status_name) {
        return base::EqualsCaseInsensitiveASCII(kept_name, status_name);
      });
  if (name == std::end(kStatusFileNames))
    return false;
  std::string error;
  std::unique_ptr<InstallationStatus> record = ReadInstallationStatusFile(kept, source, &error);
  base::FilePath version_folder;
  if (!record || record->subfolder.empty() ||
      !AppendContainedPath(install_path, record->subfolder, &version_folder) ||
      !base::DirectoryExists(version_folder)) {
    LOG(WARNING) << "The folder has no status file, and " << kept.AsUTF8Unsafe()
                 << " names no version folder of it " << error;
    return false;
  }
  // An uninstall that kept an old version's status (a file of that version
  // was in use) leaves the same, but no installation: told apart by the
  // version folder that an upgrade had copied into, which no record names.
  // The uninstall leaves one such folder too, the one it runs from, until
  // its clean-up batch has removed what remains of it (the installer in
  // use); but an uninstall takes the browser away first of all, while an
  // upgrade moves the status aside only once it has copied every file.
  InterruptedRunCleanup records(install_path, nullptr, std::string(), {});
  if (!records.ReadRecords() || !records.HasUpgradeCopyNoRecordNames()) {
    LOG(INFO) << "The folder has no status file, and no interrupted upgrade left it so: "
              << kept.AsUTF8Unsafe() << " stays kept";
    return false;
  }
  const base::FilePath status = install_path.Append(*name);
  LOG(INFO) << "Putting back " << status.AsUTF8Unsafe() << ", moved aside by an interrupted run";
  if (!::MoveFileExW(kept.value().c_str(), status.value().c_str(), 0)) {
    PLOG(WARNING) << "Could not put back " << kept.AsUTF8Unsafe();
    return false;
  }
  return true;
}

void InterruptedRunCleanup::Run() {
  if (!base::DirectoryExists(install_path_))
    return;
  const bool records_complete = ReadRecords();
  if (records_complete)
    RemoveAbandonedVersionFolders();
  else
    LOG(WARNING) << "A status file could not be read: version folders are left as they are";
  ResolveBackups();
  ResolveSharedBackups();
  RemoveTemporaryFiles();
}

bool InterruptedRunCleanup::ReadRecords() {
  bool complete = true;
  if (!record_) {
    for (const wchar_t* name : kStatusFileNames) {
      if (base::PathExists(install_path_.Append(name)))
        complete = false;
    }
  } else if (record_->source == DROVIK) {
    // The former engine's layout is not this installer's to judge.
    complete = false;
  }
  return ReadKeptStatusRecords(install_path_, &old_records_) && complete;
}

std::vector<const InstallationStatus*> InterruptedRunCleanup::GetRecords() const {
  std::vector<const InstallationStatus*> records;
  if (record_)
    records.push_back(record_);
  for (const std::unique_ptr<InstallationStatus>& record : old_records_)
    records.push_back(record.get());
  return records;
}

bool InterruptedRunCleanup::IsNamedByARecord(const std::wstring& folder_name) const {
  for (const InstallationStatus* record : GetRecords()) {
    if (base::EqualsCaseInsensitiveASCII(record->subfolder, folder_name))
      return true;
  }
  return false;
}

bool InterruptedRunCleanup::IsThisRunsFolderName(const std::wstring& name) const {
  if (base::EqualsCaseInsensitiveASCII(name, version_))
    return true;
  return name.size() > version_.size() + 1 &&
         base::EqualsCaseInsensitiveASCII(std::wstring_view(name).substr(0, version_.size()),
                                          version_) &&
         name[version_.size()] == L'_' && IsDecimal(std::wstring_view(name).substr(
                                              version_.size() + 1));
}

bool InterruptedRunCleanup::HasUpgradeCopyNoRecordNames() const {
  const std::string browser = GetBrowserExecutableName();
  base::FileEnumerator enumerator(install_path_, false, base::FileEnumerator::DIRECTORIES);
  for (base::FilePath folder = enumerator.Next(); !folder.empty(); folder = enumerator.Next()) {
    const std::wstring name = folder.BaseName().value();
    if (IsVersionFolderName(name) && !IsNamedByARecord(name) &&
        base::PathExists(folder.AppendASCII(browser))) {
      return true;
    }
  }
  return false;
}

void InterruptedRunCleanup::RemoveAbandonedVersionFolders() {
  std::vector<base::FilePath> abandoned;
  base::FileEnumerator enumerator(install_path_, false, base::FileEnumerator::DIRECTORIES);
  for (base::FilePath folder = enumerator.Next(); !folder.empty(); folder = enumerator.Next()) {
    const std::wstring name = folder.BaseName().value();
    if (!IsVersionFolderName(name) || IsNamedByARecord(name))
      continue;
    if (!record_ && !IsThisRunsFolderName(name))
      continue;
    abandoned.push_back(folder);
  }
  for (const base::FilePath& folder : abandoned) {
    LOG(INFO) << "Removing the version folder of an interrupted run: " << folder.AsUTF8Unsafe();
    if (!base::DeletePathRecursively(folder))
      LOG(WARNING) << "Could not remove all of " << folder.AsUTF8Unsafe();
  }
}

void InterruptedRunCleanup::ResolveBackups() {
  // Lower-case path to the path and whether a missing file may come back.
  std::map<std::wstring, std::pair<base::FilePath, bool>> files;
  auto add = [&files](const base::FilePath& folder, const std::wstring& name, bool put_back) {
    base::FilePath path;
    if (!AppendContainedPath(folder, name, &path))
      return;
    auto& entry = files.try_emplace(base::ToLowerASCII(path.value()), path, false).first->second;
    entry.second = entry.second || put_back;
  };
  for (const std::wstring& name : root_names_)
    add(install_path_, name, true);
  for (const InstallationStatus* record : GetRecords()) {
    // Only the current record says which root files stand: a root file that
    // only a kept record lists was removed by the upgrade that kept it, and a
    // backup of it is one that upgrade could not delete (the file was in use).
    for (const std::wstring& name : record->root_files)
      add(install_path_, name, record == record_);
    base::FilePath version_folder;
    if (record->subfolder.empty() ||
        !AppendContainedPath(install_path_, record->subfolder, &version_folder)) {
      continue;
    }
    for (const std::wstring& name : record->files)
      add(version_folder, name, true);
  }
  // A backup of the status file beside a status file is an interrupted
  // run's (a rewrite, or an uninstall of an earlier version that moved it
  // aside at its step): the status in place stands. Without one, the backup
  // may be the only record of the installation, and stays.
  if (record_) {
    for (const wchar_t* name : kStatusFileNames) {
      if (base::PathExists(install_path_.Append(name)))
        add(install_path_, name, false);
    }
  }
  for (const auto& [key, file] : files)
    ResolveBackupsOf(file.first, file.second);
}

void InterruptedRunCleanup::ResolveBackupsOf(const base::FilePath& path, bool put_back) {
  ResolveBackupList(path, FindBackupsOf(path), put_back);
}

void InterruptedRunCleanup::ResolveSharedBackups() {
  std::vector<SharedFiles> shared = shared_files_;
  for (const InstallationStatus* record : GetRecords()) {
    for (const std::wstring* shortcut : {&record->desktop_shortcut, &record->start_menu_shortcut,
                                         &record->quick_launch_shortcut}) {
      const base::FilePath path(*shortcut);
      if (!shortcut->empty() && path.IsAbsolute())
        shared.push_back({path.DirName(), path.BaseName().value()});
    }
  }
  // Lower-case folder to the folder and its patterns.
  std::map<std::wstring, std::pair<base::FilePath, std::vector<std::wstring>>> folders;
  for (const SharedFiles& files : shared) {
    if (files.folder.empty() || files.pattern.empty())
      continue;
    auto& entry =
        folders
            .try_emplace(base::ToLowerASCII(files.folder.StripTrailingSeparators().value()),
                         files.folder, std::vector<std::wstring>())
            .first->second;
    entry.second.push_back(files.pattern);
  }
  for (const auto& [key, entry] : folders) {
    const base::FilePath& folder = entry.first;
    // Lower-case path of the file backed up to the path and its backups, each
    // backup once whichever patterns name it.
    using BackupsByPath = std::map<std::wstring, Backups::value_type>;
    std::map<std::wstring, std::pair<base::FilePath, BackupsByPath>> files;
    for (const std::wstring& pattern : entry.second) {
      base::FileEnumerator enumerator(folder, false, base::FileEnumerator::FILES,
                                      pattern + L".*" + kBackupExtension);
      for (base::FilePath backup = enumerator.Next(); !backup.empty();
           backup = enumerator.Next()) {
        std::wstring name;
        long long seconds = -1;
        if (!SplitBackupName(backup.BaseName().value(), &name, &seconds) ||
            !MatchesPattern(name, pattern)) {
          continue;
        }
        const base::FilePath path = folder.Append(name);
        files.try_emplace(base::ToLowerASCII(path.value()), path, BackupsByPath())
            .first->second.second.try_emplace(base::ToLowerASCII(backup.value()), seconds, backup);
      }
    }
    if (files.empty())
      continue;
    // Enumerated before this look: a backup that a live run makes later is
    // not among them, and one it had made is found marked.
    if (SharedFolderMark::IsSet(folder)) {
      LOG(INFO) << "Leaving the backups in " << folder.AsUTF8Unsafe()
                << " alone: a run that is going on changes that folder";
      continue;
    }
    for (const auto& [path_key, file] : files) {
      Backups backups;
      for (const auto& [backup_key, backup] : file.second)
        backups.push_back(backup);
      ResolveBackupList(file.first, std::move(backups), true);
    }
  }
}

void InterruptedRunCleanup::RemoveTemporaryFiles() {
  base::FileEnumerator enumerator(install_path_, false, base::FileEnumerator::FILES,
                                  kTemporaryFilePattern);
  for (base::FilePath file = enumerator.Next(); !file.empty(); file = enumerator.Next()) {
    LOG(INFO) << "Removing the temporary file of an interrupted run: " << file.AsUTF8Unsafe();
    if (!base::DeleteFile(file))
      LOG(WARNING) << "Could not remove " << file.AsUTF8Unsafe();
  }
}

}  // namespace installer
