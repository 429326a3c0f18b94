#include "desktop/windows/installer/service/link_free_access.h"

#include <vector>

#include "base/files/file_util.h"
#include "base/strings/utf_string_conversions.h"

namespace installer {

namespace {

constexpr size_t kCopyChunk = 1 << 20;

std::string Describe(const base::FilePath& path) {
  return base::WideToUTF8(path.value());
}

bool WriteAll(HANDLE file, const char* data, DWORD size) {
  while (size > 0) {
    DWORD written = 0;
    if (!::WriteFile(file, data, size, &written, nullptr) || written == 0)
      return false;
    data += written;
    size -= written;
  }
  return true;
}

}  // namespace

base::win::ScopedHandle OpenWithoutLinks(const base::FilePath& path, bool folder, DWORD access,
                                         DWORD share, std::string* reason) {
  if (!path.IsAbsolute() || path.ReferencesParent()) {
    *reason = "Not a full path: " + Describe(path);
    return base::win::ScopedHandle();
  }
  if (base::PassesThroughReparsePoint(path)) {
    *reason = "The path passes through a link or junction: " + Describe(path);
    return base::win::ScopedHandle();
  }
  base::win::ScopedHandle handle(::CreateFileW(
      path.value().c_str(), access, share, nullptr, OPEN_EXISTING,
      FILE_FLAG_OPEN_REPARSE_POINT | (folder ? FILE_FLAG_BACKUP_SEMANTICS : 0), nullptr));
  if (!handle.IsValid()) {
    *reason = "Cannot open " + Describe(path) + ": error " + std::to_string(::GetLastError());
    return handle;
  }
  BY_HANDLE_FILE_INFORMATION information = {};
  if (!::GetFileInformationByHandle(handle.Get(), &information)) {
    *reason = "Cannot read what " + Describe(path) + " is: error " +
              std::to_string(::GetLastError());
    return base::win::ScopedHandle();
  }
  const bool is_folder = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    *reason = "A link or junction: " + Describe(path);
    return base::win::ScopedHandle();
  }
  if (is_folder != folder) {
    *reason = (folder ? "Not a folder: " : "Not a file: ") + Describe(path);
    return base::win::ScopedHandle();
  }
  if (!folder && information.nNumberOfLinks != 1) {
    *reason = "A file with more than one name: " + Describe(path);
    return base::win::ScopedHandle();
  }
  // A component changed into a link after the check above still shows here:
  // the object lies elsewhere than the path says.
  base::FilePath opened;
  if (!base::IsOpenAtPath(handle.Get(), path, &opened)) {
    if (opened.empty()) {
      *reason = "Cannot tell where " + Describe(path) + " lies: error " +
                std::to_string(::GetLastError());
    } else {
      *reason = "The path passes through a link or junction: " + Describe(path) + " is " +
                Describe(opened);
    }
    return base::win::ScopedHandle();
  }
  return handle;
}

bool ReadFileWithoutLinks(const base::FilePath& path, size_t max_size, std::string* contents,
                          std::string* reason) {
  base::win::ScopedHandle file =
      OpenWithoutLinks(path, false, GENERIC_READ, FILE_SHARE_READ, reason);
  if (!file.IsValid())
    return false;
  if (!base::ReadOpenFileToString(file.Get(), contents, max_size)) {
    *reason = "Cannot read, or too large: " + Describe(path);
    return false;
  }
  return true;
}

bool DeleteWithoutLinks(const base::FilePath& path, bool folder, std::string* reason) {
  // Others may keep the object open meanwhile, as a plain deletion allows;
  // it goes when the last of them lets go.
  base::win::ScopedHandle handle =
      OpenWithoutLinks(path, folder, DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, reason);
  if (!handle.IsValid())
    return false;
  FILE_DISPOSITION_INFO disposition = {TRUE};
  if (!::SetFileInformationByHandle(handle.Get(), FileDispositionInfo, &disposition,
                                    sizeof(disposition))) {
    *reason = "Cannot delete " + Describe(path) + ": error " + std::to_string(::GetLastError());
    return false;
  }
  return true;
}

bool CopyFileWithoutLinks(const base::FilePath& from, const base::FilePath& to,
                          std::string* reason) {
  base::win::ScopedHandle source =
      OpenWithoutLinks(from, false, GENERIC_READ, FILE_SHARE_READ, reason);
  if (!source.IsValid())
    return false;
  base::win::ScopedHandle target(::CreateFileW(to.value().c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!target.IsValid()) {
    *reason = "Cannot create " + Describe(to) + ": error " + std::to_string(::GetLastError());
    return false;
  }
  std::vector<char> buffer(kCopyChunk);
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(source.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read,
                    nullptr)) {
      *reason = "Cannot read " + Describe(from);
      return false;
    }
    if (read == 0)
      return true;
    if (!WriteAll(target.Get(), buffer.data(), read)) {
      *reason = "Cannot write " + Describe(to);
      return false;
    }
  }
}

bool CopyFolderWithoutLinks(const base::FilePath& from, const base::FilePath& to,
                            std::string* reason) {
  // The folder is held, without delete sharing, while its entries are read:
  // it cannot be renamed and replaced by a link meanwhile.
  base::win::ScopedHandle folder = OpenWithoutLinks(
      from, true, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, reason);
  if (!folder.IsValid())
    return false;
  if (!base::DirectoryExists(to) && !::CreateDirectoryW(to.value().c_str(), nullptr)) {
    *reason = "Cannot create " + Describe(to) + ": error " + std::to_string(::GetLastError());
    return false;
  }
  WIN32_FIND_DATAW data;
  base::win::ScopedFindFileHandle find(::FindFirstFileW(from.Append(L"*").value().c_str(), &data));
  if (!find.IsValid()) {
    *reason = "Cannot list " + Describe(from);
    return false;
  }
  bool copied = true;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..")
      continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      copied = CopyFolderWithoutLinks(from.Append(name), to.Append(name), reason);
    else
      copied = CopyFileWithoutLinks(from.Append(name), to.Append(name), reason);
  } while (copied && ::FindNextFileW(find.Get(), &data));
  return copied;
}

}  // namespace installer
