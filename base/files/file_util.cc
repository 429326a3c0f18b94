#include "base/files/file_util.h"

#include <atomic>
#include <cwchar>
#include <vector>

#include "base/files/file_enumerator.h"
#include "base/logging.h"
#include "base/win/scoped_handle.h"

namespace base {

namespace {

constexpr DWORD kInvalidAttributes = INVALID_FILE_ATTRIBUTES;
constexpr int kMaxUniqueNameTries = 100;

bool IsNotFoundError(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// A name no other call in this process produces and unlikely elsewhere: the
// process id, a per-process counter and the tick count.
std::wstring UniqueSuffix() {
  static std::atomic<unsigned> counter{0};
  wchar_t suffix[64];
  swprintf(suffix, 64, L"%lx_%x_%llx", ::GetCurrentProcessId(), counter.fetch_add(1),
           static_cast<unsigned long long>(::GetTickCount64()));
  return suffix;
}

bool ClearReadOnly(const FilePath& path, DWORD attributes) {
  if (!(attributes & FILE_ATTRIBUTE_READONLY))
    return true;
  return ::SetFileAttributesW(path.value().c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) !=
         FALSE;
}

// Deletes |path| whose attributes are |attributes|; folders must be empty.
bool DeleteOne(const FilePath& path, DWORD attributes) {
  ClearReadOnly(path, attributes);
  BOOL ok = (attributes & FILE_ATTRIBUTE_DIRECTORY)
                ? ::RemoveDirectoryW(path.value().c_str())
                : ::DeleteFileW(path.value().c_str());
  return ok || IsNotFoundError(::GetLastError());
}

bool DeleteTree(const FilePath& path, DWORD attributes) {
  // A link or junction goes away by itself; what it points at stays.
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return DeleteOne(path, attributes);
  bool ok = true;
  WIN32_FIND_DATAW data;
  win::ScopedFindFileHandle find(
      ::FindFirstFileW(path.Append(L"*").value().c_str(), &data));
  if (find.IsValid()) {
    do {
      if (!wcscmp(data.cFileName, L".") || !wcscmp(data.cFileName, L".."))
        continue;
      if (!DeleteTree(path.Append(data.cFileName), data.dwFileAttributes))
        ok = false;
    } while (::FindNextFileW(find.Get(), &data));
  }
  find.Close();
  return DeleteOne(path, attributes) && ok;
}

win::ScopedHandle OpenForRead(const FilePath& path) {
  return win::ScopedHandle(::CreateFileW(path.value().c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

// A ".." could lead a copy or move out of the folder the caller meant to work
// in; longer paths than MAX_PATH are not supported by the callers' folders.
bool ArePathsAcceptable(const FilePath& from_path, const FilePath& to_path) {
  if (from_path.ReferencesParent() || to_path.ReferencesParent()) {
    ::SetLastError(ERROR_BAD_PATHNAME);
    return false;
  }
  if (from_path.value().size() >= MAX_PATH || to_path.value().size() >= MAX_PATH) {
    ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  return true;
}

bool WriteAll(HANDLE file, std::string_view data) {
  while (!data.empty()) {
    DWORD chunk = data.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(data.size());
    DWORD written = 0;
    if (!::WriteFile(file, data.data(), chunk, &written, nullptr) || written == 0)
      return false;
    data.remove_prefix(written);
  }
  return true;
}

}  // namespace

bool PathExists(const FilePath& path) {
  return ::GetFileAttributesW(path.value().c_str()) != kInvalidAttributes;
}

bool DirectoryExists(const FilePath& path) {
  DWORD attributes = ::GetFileAttributesW(path.value().c_str());
  return attributes != kInvalidAttributes && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathIsWritable(const FilePath& path) {
  DWORD attributes = ::GetFileAttributesW(path.value().c_str());
  if (attributes == kInvalidAttributes)
    return false;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    win::ScopedHandle file(::CreateFileW(path.value().c_str(), GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.IsValid();
  }
  FilePath probe = path.Append(L"~probe_" + UniqueSuffix() + L".tmp");
  win::ScopedHandle file(::CreateFileW(probe.value().c_str(), GENERIC_WRITE, 0, nullptr,
                                       CREATE_NEW,
                                       FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                       nullptr));
  return file.IsValid();
}

bool CreateDirectory(const FilePath& full_path) {
  return CreateDirectoryAndGetError(full_path, nullptr);
}

bool CreateDirectoryAndGetError(const FilePath& full_path, DWORD* error) {
  DWORD attributes = ::GetFileAttributesW(full_path.value().c_str());
  if (attributes != kInvalidAttributes) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
      return true;
    if (error)
      *error = ERROR_FILE_EXISTS;
    return false;
  }
  FilePath parent = full_path.DirName();
  if (parent.value() != full_path.StripTrailingSeparators().value() &&
      parent.value() != L"." && !CreateDirectoryAndGetError(parent, error)) {
    return false;
  }
  if (::CreateDirectoryW(full_path.value().c_str(), nullptr))
    return true;
  DWORD last_error = ::GetLastError();
  // Another thread or process may have made it in the meantime.
  if (last_error == ERROR_ALREADY_EXISTS && DirectoryExists(full_path))
    return true;
  if (error)
    *error = last_error;
  ::SetLastError(last_error);
  return false;
}

bool DeleteFile(const FilePath& path) {
  if (path.value().size() >= MAX_PATH) {
    ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  const std::wstring pattern = path.BaseName().value();
  if (pattern.find_first_of(L"*?") != std::wstring::npos) {
    // Every file that matches goes; the rest are still tried after a failure.
    bool ok = true;
    FileEnumerator matches(path.DirName(), false, FileEnumerator::FILES, pattern);
    for (FilePath match = matches.Next(); !match.empty(); match = matches.Next()) {
      if (!DeleteOne(match, matches.GetInfo().GetAttributes()))
        ok = false;
    }
    return ok;
  }
  DWORD attributes = ::GetFileAttributesW(path.value().c_str());
  if (attributes == kInvalidAttributes)
    return IsNotFoundError(::GetLastError());
  return DeleteOne(path, attributes);
}

bool DeletePathRecursively(const FilePath& path) {
  DWORD attributes = ::GetFileAttributesW(path.value().c_str());
  if (attributes == kInvalidAttributes)
    return IsNotFoundError(::GetLastError());
  return DeleteTree(path, attributes);
}

bool CopyFile(const FilePath& from_path, const FilePath& to_path) {
  if (!ArePathsAcceptable(from_path, to_path))
    return false;
  DWORD to_attributes = ::GetFileAttributesW(to_path.value().c_str());
  if (to_attributes != kInvalidAttributes && !(to_attributes & FILE_ATTRIBUTE_DIRECTORY))
    ClearReadOnly(to_path, to_attributes);
  if (!::CopyFileW(from_path.value().c_str(), to_path.value().c_str(), FALSE))
    return false;
  // The copy is a new file of ours, to be replaced or removed later.
  const DWORD copy_attributes = ::GetFileAttributesW(to_path.value().c_str());
  if (copy_attributes != kInvalidAttributes)
    ClearReadOnly(to_path, copy_attributes);
  return true;
}

bool CopyDirectory(const FilePath& from_path, const FilePath& to_path, bool recursive) {
  if (!DirectoryExists(from_path))
    return false;
  FilePath from_abs = MakeAbsoluteFilePath(from_path);
  FilePath to_abs = MakeAbsoluteFilePath(to_path);
  // Copying into itself would never end.
  if (from_abs.empty() || to_abs.empty() ||
      FilePath::CompareEqualIgnoreCase(from_abs.StripTrailingSeparators().value(),
                                       to_abs.StripTrailingSeparators().value()) ||
      from_abs.IsParent(to_abs)) {
    return false;
  }
  if (!CreateDirectory(to_path))
    return false;

  bool ok = true;
  FileEnumerator enumerator(from_path, recursive,
                            FileEnumerator::FILES | FileEnumerator::DIRECTORIES);
  for (FilePath current = enumerator.Next(); !current.empty(); current = enumerator.Next()) {
    FilePath target = to_path;
    if (!from_path.AppendRelativePath(current, &target)) {
      ok = false;
      continue;
    }
    if (enumerator.GetInfo().IsDirectory()) {
      if (recursive && !CreateDirectory(target))
        ok = false;
    } else if (!CopyFile(current, target)) {
      ok = false;
    }
  }
  return ok;
}

bool Move(const FilePath& from_path, const FilePath& to_path) {
  if (!ArePathsAcceptable(from_path, to_path))
    return false;
  if (::MoveFileExW(from_path.value().c_str(), to_path.value().c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
    return true;
  }
  DWORD error = ::GetLastError();
  // Folders cannot be moved across volumes by MoveFileEx.
  if (DirectoryExists(from_path) && CopyDirectory(from_path, to_path, true) &&
      DeletePathRecursively(from_path)) {
    return true;
  }
  ::SetLastError(error);
  return false;
}

bool ReplaceFile(const FilePath& from_path, const FilePath& to_path, DWORD* error) {
  if (::MoveFileExW(from_path.value().c_str(), to_path.value().c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  DWORD last_error = ::GetLastError();
  if (error)
    *error = last_error;
  ::SetLastError(last_error);
  return false;
}

bool ReadFileToString(const FilePath& path, std::string* contents) {
  return ReadFileToStringWithMaxSize(path, contents, static_cast<size_t>(-1));
}

bool ReadFileToStringWithMaxSize(const FilePath& path, std::string* contents, size_t max_size) {
  if (contents)
    contents->clear();
  win::ScopedHandle file = OpenForRead(path);
  return file.IsValid() && ReadOpenFileToString(file.Get(), contents, max_size);
}

bool ReadOpenFileToString(HANDLE file, std::string* contents, size_t max_size) {
  if (contents)
    contents->clear();
  std::vector<char> buffer(64 * 1024);
  size_t total = 0;
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
      return false;
    }
    if (read == 0)
      return true;
    size_t keep = read;
    bool too_large = false;
    if (total + keep > max_size) {
      keep = max_size - total;
      too_large = true;
    }
    if (contents)
      contents->append(buffer.data(), keep);
    total += keep;
    if (too_large)
      return false;
  }
}

bool WriteFile(const FilePath& path, std::string_view data) {
  win::ScopedHandle file(::CreateFileW(path.value().c_str(), GENERIC_WRITE, 0, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid())
    return false;
  return WriteAll(file.Get(), data);
}

bool AppendToFile(const FilePath& path, std::string_view data) {
  win::ScopedHandle file(::CreateFileW(path.value().c_str(), FILE_APPEND_DATA, 0, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid())
    return false;
  return WriteAll(file.Get(), data);
}

bool GetFileSize(const FilePath& path, int64_t* file_size) {
  File::Info info;
  if (!GetFileInfo(path, &info) || info.is_directory)
    return false;
  *file_size = info.size;
  return true;
}

bool GetFileInfo(const FilePath& path, File::Info* info) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(path.value().c_str(), GetFileExInfoStandard, &data))
    return false;
  info->FromAttributeData(data);
  return true;
}

bool IsDirectoryEmpty(const FilePath& path) {
  if (!DirectoryExists(path))
    return false;
  FileEnumerator enumerator(path, false, FileEnumerator::FILES | FileEnumerator::DIRECTORIES);
  return enumerator.Next().empty();
}

bool CreateTemporaryFileInDir(const FilePath& dir, FilePath* temp_file) {
  for (int i = 0; i < kMaxUniqueNameTries; ++i) {
    FilePath candidate = dir.Append(L"~tmp" + UniqueSuffix() + L".tmp");
    HANDLE file = ::CreateFileW(candidate.value().c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      ::CloseHandle(file);
      *temp_file = candidate;
      return true;
    }
    DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
      return false;
  }
  return false;
}

bool CreateTemporaryDirInDir(const FilePath& base_dir, std::wstring_view prefix,
                             FilePath* new_dir) {
  for (int i = 0; i < kMaxUniqueNameTries; ++i) {
    FilePath candidate = base_dir.Append(std::wstring(prefix) + UniqueSuffix());
    if (::CreateDirectoryW(candidate.value().c_str(), nullptr)) {
      *new_dir = candidate;
      return true;
    }
    if (::GetLastError() != ERROR_ALREADY_EXISTS)
      return false;
  }
  return false;
}

bool CreateNewTempDirectory(std::wstring_view prefix, FilePath* new_temp_path) {
  FilePath temp;
  return GetTempDir(&temp) && CreateTemporaryDirInDir(temp, prefix, new_temp_path);
}

bool GetTempDir(FilePath* path) {
  wchar_t buffer[MAX_PATH + 1];
  DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH)
    return false;
  *path = FilePath(std::wstring_view(buffer, length)).StripTrailingSeparators();
  return true;
}

FilePath MakeAbsoluteFilePath(const FilePath& input) {
  if (input.empty())
    return FilePath();
  DWORD needed = ::GetFullPathNameW(input.value().c_str(), 0, nullptr, nullptr);
  if (needed == 0)
    return FilePath();
  std::wstring buffer(needed, L'\0');
  DWORD length = ::GetFullPathNameW(input.value().c_str(), needed, buffer.data(), nullptr);
  if (length == 0 || length >= needed)
    return FilePath();
  buffer.resize(length);
  return FilePath(buffer);
}

bool NormalizeFilePath(const FilePath& path, FilePath* real_path) {
  win::ScopedHandle file(::CreateFileW(path.value().c_str(), 0,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                       nullptr));
  return file.IsValid() && GetFinalPathFromHandle(file.Get(), real_path);
}

bool GetFinalPathFromHandle(HANDLE file, FilePath* real_path) {
  DWORD needed = ::GetFinalPathNameByHandleW(file, nullptr, 0, FILE_NAME_NORMALIZED);
  if (needed == 0)
    return false;
  std::wstring buffer(needed, L'\0');
  DWORD length = ::GetFinalPathNameByHandleW(file, buffer.data(), needed, FILE_NAME_NORMALIZED);
  if (length == 0 || length >= needed)
    return false;
  buffer.resize(length);
  if (buffer.rfind(L"\\\\?\\UNC\\", 0) == 0)
    buffer = L"\\\\" + buffer.substr(8);
  else if (buffer.rfind(L"\\\\?\\", 0) == 0)
    buffer = buffer.substr(4);
  *real_path = FilePath(buffer);
  return true;
}

bool PassesThroughReparsePoint(const FilePath& path) {
  const std::vector<std::wstring> components = path.GetComponents();
  if (components.empty())
    return false;
  FilePath current(components[0]);
  for (size_t i = 1; i < components.size(); ++i) {
    current = current.Append(components[i]);
    const DWORD attributes = ::GetFileAttributesW(current.value().c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
      return false;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
      return true;
  }
  return false;
}

bool IsOpenAtPath(HANDLE file, const FilePath& path, FilePath* opened) {
  *opened = FilePath();
  if (!GetFinalPathFromHandle(file, opened))
    return false;
  // Windows names the object by its long names.
  FilePath expected = path;
  const DWORD size = ::GetLongPathNameW(path.value().c_str(), nullptr, 0);
  if (size != 0) {
    std::wstring long_path(size, L'\0');
    const DWORD length = ::GetLongPathNameW(path.value().c_str(), long_path.data(), size);
    if (length != 0 && length < size) {
      long_path.resize(length);
      expected = FilePath(long_path);
    }
  }
  return FilePath::CompareEqualIgnoreCase(opened->StripTrailingSeparators().value(),
                                          expected.StripTrailingSeparators().value());
}

bool ContentsEqual(const FilePath& filename1, const FilePath& filename2) {
  win::ScopedHandle file1 = OpenForRead(filename1);
  win::ScopedHandle file2 = OpenForRead(filename2);
  if (!file1.IsValid() || !file2.IsValid())
    return false;
  std::vector<char> buffer1(64 * 1024);
  std::vector<char> buffer2(64 * 1024);
  for (;;) {
    DWORD read1 = 0;
    DWORD read2 = 0;
    if (!::ReadFile(file1.Get(), buffer1.data(), static_cast<DWORD>(buffer1.size()), &read1,
                    nullptr) ||
        !::ReadFile(file2.Get(), buffer2.data(), static_cast<DWORD>(buffer2.size()), &read2,
                    nullptr)) {
      return false;
    }
    if (read1 != read2 || memcmp(buffer1.data(), buffer2.data(), read1) != 0)
      return false;
    if (read1 == 0)
      return true;
  }
}

bool SetFileReadOnly(const FilePath& path, bool read_only) {
  DWORD attributes = ::GetFileAttributesW(path.value().c_str());
  if (attributes == kInvalidAttributes)
    return false;
  DWORD updated = read_only ? (attributes | FILE_ATTRIBUTE_READONLY)
                            : (attributes & ~FILE_ATTRIBUTE_READONLY);
  if (updated == attributes)
    return true;
  // FILE_ATTRIBUTE_NORMAL must stand alone; 0 means the same.
  updated &= ~FILE_ATTRIBUTE_NORMAL;
  return ::SetFileAttributesW(path.value().c_str(), updated) != FALSE;
}

}  // namespace base
