#include "base/files/memory_mapped_file.h"

#include <windows.h>

#include "base/logging.h"

namespace base {

MemoryMappedFile::~MemoryMappedFile() {
  CloseHandles();
}

bool MemoryMappedFile::Initialize(const FilePath& file_name) {
  if (valid_) {
    LOG(ERROR) << "A file is already mapped";
    return false;
  }
  file_.Set(::CreateFileW(file_name.value().c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file_.IsValid()) {
    PLOG(ERROR) << "Cannot open " << file_name << " for mapping";
    return false;
  }
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file_.Get(), &size)) {
    PLOG(ERROR) << "Cannot get the size of " << file_name;
    CloseHandles();
    return false;
  }
  if (size.QuadPart <= 0 || size.QuadPart > INT32_MAX) {
    LOG(ERROR) << "Cannot map " << file_name << " of " << size.QuadPart << " bytes";
    CloseHandles();
    return false;
  }
  mapping_.Set(::CreateFileMappingW(file_.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping_.IsValid()) {
    PLOG(ERROR) << "Cannot create a mapping of " << file_name;
    CloseHandles();
    return false;
  }
  data_ = static_cast<const uint8_t*>(::MapViewOfFile(mapping_.Get(), FILE_MAP_READ, 0, 0, 0));
  if (!data_) {
    PLOG(ERROR) << "Cannot map a view of " << file_name;
    CloseHandles();
    return false;
  }
  length_ = static_cast<size_t>(size.QuadPart);
  valid_ = true;
  return true;
}

void MemoryMappedFile::CloseHandles() {
  if (data_)
    ::UnmapViewOfFile(data_);
  data_ = nullptr;
  length_ = 0;
  valid_ = false;
  mapping_.Close();
  file_.Close();
}

}  // namespace base
