#include "base/files/file_enumerator.h"

#include <shlwapi.h>

#include <cwchar>

namespace base {

namespace {

bool IsDotOrDotDot(const wchar_t* name) {
  return !wcscmp(name, L".") || !wcscmp(name, L"..");
}

}  // namespace

FileEnumerator::FileInfo::FileInfo() : find_data_() {}

FilePath FileEnumerator::FileInfo::GetName() const {
  return FilePath(find_data_.cFileName);
}

int64_t FileEnumerator::FileInfo::GetSize() const {
  return static_cast<int64_t>((static_cast<uint64_t>(find_data_.nFileSizeHigh) << 32) |
                              find_data_.nFileSizeLow);
}

bool FileEnumerator::FileInfo::IsDirectory() const {
  return (find_data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

int64_t FileEnumerator::FileInfo::GetLastModifiedTime() const {
  return static_cast<int64_t>(
      (static_cast<uint64_t>(find_data_.ftLastWriteTime.dwHighDateTime) << 32) |
      find_data_.ftLastWriteTime.dwLowDateTime);
}

FileEnumerator::FileEnumerator(const FilePath& root_path, bool recursive, int file_type)
    : FileEnumerator(root_path, recursive, file_type, std::wstring()) {}

FileEnumerator::FileEnumerator(const FilePath& root_path, bool recursive, int file_type,
                               const std::wstring& pattern)
    : recursive_(recursive),
      file_type_(file_type),
      pattern_(pattern),
      find_data_() {
  pending_paths_.push_back(root_path);
}

FileEnumerator::~FileEnumerator() = default;

FilePath FileEnumerator::Next() {
  for (;;) {
    if (!find_handle_.IsValid()) {
      if (pending_paths_.empty())
        return FilePath();
      current_folder_ = pending_paths_.front();
      pending_paths_.pop_front();
      // Every entry is listed; the pattern is applied below so that
      // subfolders not matching it are still walked into.
      find_handle_.Set(
          ::FindFirstFileW(current_folder_.Append(L"*").value().c_str(), &find_data_));
      has_find_data_ = find_handle_.IsValid();
      if (!has_find_data_)
        continue;
    } else if (!::FindNextFileW(find_handle_.Get(), &find_data_)) {
      find_handle_.Close();
      has_find_data_ = false;
      continue;
    }

    if (IsDotOrDotDot(find_data_.cFileName))
      continue;
    FilePath path = current_folder_.Append(find_data_.cFileName);
    bool is_directory = (find_data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (recursive_ && is_directory &&
        !(find_data_.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      pending_paths_.push_back(path);
    }
    if (ShouldReturnCurrent())
      return path;
  }
}

bool FileEnumerator::ShouldReturnCurrent() const {
  bool is_directory = (find_data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (is_directory ? !(file_type_ & DIRECTORIES) : !(file_type_ & FILES))
    return false;
  return pattern_.empty() || ::PathMatchSpecW(find_data_.cFileName, pattern_.c_str());
}

FileEnumerator::FileInfo FileEnumerator::GetInfo() const {
  FileInfo info;
  if (has_find_data_)
    info.find_data_ = find_data_;
  return info;
}

}  // namespace base
