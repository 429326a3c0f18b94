#include "base/files/file.h"

#include <climits>
#include <utility>

#include "base/logging.h"

namespace base {

namespace {

int64_t FileTimeToInt64(const FILETIME& time) {
  return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                              time.dwLowDateTime);
}

}  // namespace

File::File(const FilePath& path, uint32_t flags) {
  Initialize(path, flags);
}

File::File(HANDLE handle) : file_(handle) {}

File::File(File&& other) noexcept
    : file_(std::move(other.file_)),
      error_details_(other.error_details_),
      created_(other.created_) {}

File& File::operator=(File&& other) noexcept {
  file_ = std::move(other.file_);
  error_details_ = other.error_details_;
  created_ = other.created_;
  return *this;
}

File::~File() = default;

void File::Initialize(const FilePath& path, uint32_t flags) {
  Close();
  DWORD disposition = 0;
  if (flags & FLAG_OPEN)
    disposition = OPEN_EXISTING;
  if (flags & FLAG_CREATE)
    disposition = CREATE_NEW;
  if (flags & FLAG_OPEN_ALWAYS)
    disposition = OPEN_ALWAYS;
  if (flags & FLAG_CREATE_ALWAYS)
    disposition = CREATE_ALWAYS;
  if (flags & FLAG_OPEN_TRUNCATED)
    disposition = TRUNCATE_EXISTING;
  if (!disposition) {
    error_details_ = ERROR_INVALID_PARAMETER;
    return;
  }

  DWORD access = 0;
  if (flags & FLAG_READ)
    access |= GENERIC_READ;
  if (flags & FLAG_WRITE)
    access |= GENERIC_WRITE;
  if (flags & FLAG_APPEND)
    access |= FILE_APPEND_DATA;
  if (flags & FLAG_DELETE_ON_CLOSE)
    access |= DELETE;

  DWORD sharing = 0;
  if (!(flags & FLAG_EXCLUSIVE_READ))
    sharing |= FILE_SHARE_READ;
  if (!(flags & FLAG_EXCLUSIVE_WRITE))
    sharing |= FILE_SHARE_WRITE;
  if (flags & FLAG_SHARE_DELETE)
    sharing |= FILE_SHARE_DELETE;

  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
  if (flags & FLAG_DELETE_ON_CLOSE)
    attributes |= FILE_FLAG_DELETE_ON_CLOSE;
  if (flags & FLAG_BACKUP_SEMANTICS)
    attributes |= FILE_FLAG_BACKUP_SEMANTICS;

  file_.Set(::CreateFileW(path.value().c_str(), access, sharing, nullptr, disposition,
                          attributes, nullptr));
  const DWORD error = ::GetLastError();
  error_details_ = file_.IsValid() ? ERROR_SUCCESS : error;
  // OPEN_ALWAYS and CREATE_ALWAYS tell an existing file by this code.
  created_ = file_.IsValid() && (disposition == CREATE_NEW ||
                                 ((disposition == OPEN_ALWAYS || disposition == CREATE_ALWAYS) &&
                                  error != ERROR_ALREADY_EXISTS));
}

void File::Close() {
  file_.Close();
  created_ = false;
}

int File::Read(int64_t offset, char* data, int size) {
  if (!IsValid() || offset < 0 || size < 0)
    return -1;
  OVERLAPPED overlapped = {};
  overlapped.Offset = static_cast<DWORD>(offset);
  overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD read = 0;
  if (::ReadFile(file_.Get(), data, static_cast<DWORD>(size), &read, &overlapped))
    return static_cast<int>(read);
  if (::GetLastError() == ERROR_HANDLE_EOF)
    return 0;
  return -1;
}

int File::ReadAtCurrentPos(char* data, int size) {
  if (!IsValid() || size < 0)
    return -1;
  DWORD read = 0;
  if (::ReadFile(file_.Get(), data, static_cast<DWORD>(size), &read, nullptr))
    return static_cast<int>(read);
  if (::GetLastError() == ERROR_HANDLE_EOF)
    return 0;
  return -1;
}

int File::Write(int64_t offset, const char* data, int size) {
  if (!IsValid() || offset < 0 || size < 0)
    return -1;
  OVERLAPPED overlapped = {};
  overlapped.Offset = static_cast<DWORD>(offset);
  overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD written = 0;
  if (!::WriteFile(file_.Get(), data, static_cast<DWORD>(size), &written, &overlapped))
    return -1;
  return static_cast<int>(written);
}

int File::WriteAtCurrentPos(const char* data, int size) {
  if (!IsValid() || size < 0)
    return -1;
  DWORD written = 0;
  if (!::WriteFile(file_.Get(), data, static_cast<DWORD>(size), &written, nullptr))
    return -1;
  return static_cast<int>(written);
}

int64_t File::Seek(Whence whence, int64_t offset) {
  if (!IsValid())
    return -1;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER position;
  if (!::SetFilePointerEx(file_.Get(), distance, &position, static_cast<DWORD>(whence)))
    return -1;
  return position.QuadPart;
}

int64_t File::GetLength() const {
  LARGE_INTEGER size;
  if (!IsValid() || !::GetFileSizeEx(file_.Get(), &size))
    return -1;
  return size.QuadPart;
}

bool File::SetLength(int64_t length) {
  if (!IsValid() || length < 0)
    return false;
  LARGE_INTEGER current = {};
  LARGE_INTEGER zero = {};
  if (!::SetFilePointerEx(file_.Get(), zero, &current, FILE_CURRENT))
    return false;
  LARGE_INTEGER target;
  target.QuadPart = length;
  bool ok = ::SetFilePointerEx(file_.Get(), target, nullptr, FILE_BEGIN) &&
            ::SetEndOfFile(file_.Get());
  // Keep the position where it was, as long as it is still inside the file.
  if (current.QuadPart > length)
    current.QuadPart = length;
  ::SetFilePointerEx(file_.Get(), current, nullptr, FILE_BEGIN);
  return ok;
}

bool File::Flush() {
  return IsValid() && ::FlushFileBuffers(file_.Get());
}

bool File::GetInfo(Info* info) const {
  BY_HANDLE_FILE_INFORMATION data;
  if (!IsValid() || !::GetFileInformationByHandle(file_.Get(), &data))
    return false;
  WIN32_FILE_ATTRIBUTE_DATA attribute_data;
  attribute_data.dwFileAttributes = data.dwFileAttributes;
  attribute_data.ftCreationTime = data.ftCreationTime;
  attribute_data.ftLastAccessTime = data.ftLastAccessTime;
  attribute_data.ftLastWriteTime = data.ftLastWriteTime;
  attribute_data.nFileSizeHigh = data.nFileSizeHigh;
  attribute_data.nFileSizeLow = data.nFileSizeLow;
  info->FromAttributeData(attribute_data);
  return true;
}

bool File::Lock() {
  OVERLAPPED whole_file = {};
  return IsValid() && ::LockFileEx(file_.Get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY,
                                   0, MAXDWORD, MAXDWORD, &whole_file);
}

bool File::Unlock() {
  OVERLAPPED whole_file = {};
  return IsValid() && ::UnlockFileEx(file_.Get(), 0, MAXDWORD, MAXDWORD, &whole_file);
}

void File::Info::FromAttributeData(const WIN32_FILE_ATTRIBUTE_DATA& data) {
  size = static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                              data.nFileSizeLow);
  attributes = data.dwFileAttributes;
  is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  is_symbolic_link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  last_modified = FileTimeToInt64(data.ftLastWriteTime);
  last_accessed = FileTimeToInt64(data.ftLastAccessTime);
  creation_time = FileTimeToInt64(data.ftCreationTime);
}

}  // namespace base
