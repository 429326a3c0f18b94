#include "installer_exe/library_check.h"

#include <cwchar>

namespace {

// Opens |path| for reading such that nobody can write, rename or delete it
// while the handle is open.
HANDLE OpenHeld(const std::wstring& path) {
  return ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The path of the file open as |file|, with every link and junction on the
// way resolved: its folders hold a file that is open, so none of them can be
// renamed or replaced meanwhile, and the path keeps naming that file.
std::wstring FinalPath(HANDLE file) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = ::GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()),
                                               FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0)
      return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(length + 1);
  }
  constexpr wchar_t kUncPrefix[] = L"\\\\?\\UNC\\";
  constexpr wchar_t kPrefix[] = L"\\\\?\\";
  if (path.rfind(kUncPrefix, 0) == 0)
    return L"\\\\" + path.substr(wcslen(kUncPrefix));
  if (path.rfind(kPrefix, 0) == 0)
    return path.substr(wcslen(kPrefix));
  return path;
}

}  // namespace

std::wstring RunningExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0)
      return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

LibraryCheck::LibraryCheck(const ImageDigest::Value& expected_digest)
    : expected_digest_(expected_digest) {}

LibraryCheck::~LibraryCheck() {
  if (library_file_ != INVALID_HANDLE_VALUE)
    ::CloseHandle(library_file_);
}

bool LibraryCheck::Check(const std::wstring& library_path, std::wstring* load_path,
                         std::wstring* reason) {
  library_file_ = OpenHeld(library_path);
  if (library_file_ == INVALID_HANDLE_VALUE) {
    *reason = L"it cannot be opened";
    return false;
  }
  const std::wstring library_final = FinalPath(library_file_);
  if (library_final.empty()) {
    *reason = L"its place cannot be told";
    return false;
  }
  ImageDigest::Value digest;
  if (!ImageDigest::Compute(library_file_, &digest)) {
    *reason = L"it cannot be read as a library (error " + std::to_wstring(::GetLastError()) + L")";
    return false;
  }
  if (digest != expected_digest_) {
    *reason = L"it is not the library this installer was built with";
    ::SetLastError(kErrorInvalidImageHash);
    return false;
  }
  *load_path = library_final;
  return true;
}
