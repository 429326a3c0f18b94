#include "desktop/windows/installer/package_fetcher/file_backed_sz_alloc.h"

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/files/file_util.h"
#include "base/logging.h"

namespace installer {

namespace {

// Zeros are written in pieces of this size.
constexpr size_t kFillChunk = 1 << 20;

}  // namespace

FileBackedSzAlloc::FileBackedSzAlloc(const base::FilePath& temp_folder) {
  Alloc = &FileBackedSzAlloc::AllocHeap;
  ISzAlloc::Free = &FileBackedSzAlloc::FreeHeap;
  if (!base::CreateTemporaryFileInDir(temp_folder, &temp_path_)) {
    temp_path_.clear();
    return;
  }
  file_.Set(::CreateFileW(temp_path_.value().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                          nullptr));
  if (!file_.IsValid()) {
    base::DeleteFile(temp_path_);
    temp_path_.clear();
    return;
  }
  Alloc = &FileBackedSzAlloc::AllocFileBacked;
  ISzAlloc::Free = &FileBackedSzAlloc::FreeFileBacked;
}

FileBackedSzAlloc::~FileBackedSzAlloc() {
  Alloc = nullptr;
  ISzAlloc::Free = nullptr;
  if (view_)
    ::UnmapViewOfFile(view_);
  mapping_.Close();
  file_.Close();  // Deletes the file.
}

void* FileBackedSzAlloc::Allocate(size_t size) {
  return Alloc(this, size);
}

void FileBackedSzAlloc::Free(void* address) {
  ISzAlloc::Free(this, address);
}

bool FileBackedSzAlloc::Contains(const void* address) const {
  const uintptr_t start = reinterpret_cast<uintptr_t>(view_);
  const uintptr_t at = reinterpret_cast<uintptr_t>(address);
  return view_ && at >= start && at - start < view_size_;
}

// static
void* FileBackedSzAlloc::AllocFileBacked(ISzAllocPtr self, size_t size) {
  FileBackedSzAlloc* alloc = static_cast<FileBackedSzAlloc*>(const_cast<ISzAlloc*>(self));
  if (size == 0)
    return nullptr;
  if (!alloc->view_) {
    LARGE_INTEGER length;
    length.QuadPart = static_cast<LONGLONG>(size);
    const bool resized = ::SetFilePointerEx(alloc->file_.Get(), length, nullptr, FILE_BEGIN) &&
                         ::SetEndOfFile(alloc->file_.Get());
    // A smaller block cut the file: what lay past it is written anew.
    if (resized && size < alloc->filled_)
      alloc->filled_ = size;
    if (resized && alloc->FillTo(size)) {
      alloc->mapping_.Set(::CreateFileMappingW(alloc->file_.Get(), nullptr, PAGE_READWRITE,
                                               static_cast<DWORD>(uint64_t{size} >> 32),
                                               static_cast<DWORD>(size), nullptr));
      if (alloc->mapping_.IsValid()) {
        void* view = ::MapViewOfFile(alloc->mapping_.Get(), FILE_MAP_WRITE, 0, 0, size);
        if (view) {
          alloc->view_ = view;
          alloc->view_size_ = size;
          return view;
        }
        alloc->mapping_.Close();
      }
    }
    VLOG(1) << "Decoder block of " << size << " bytes taken from the heap";
  }
  return AllocHeap(self, size);
}

bool FileBackedSzAlloc::FillTo(size_t size) {
  if (size <= filled_)
    return true;
  LARGE_INTEGER start;
  start.QuadPart = static_cast<LONGLONG>(filled_);
  if (!::SetFilePointerEx(file_.Get(), start, nullptr, FILE_BEGIN))
    return false;
  std::vector<char> zeros(std::min<size_t>(size - filled_, kFillChunk));
  while (filled_ < size) {
    const DWORD piece = static_cast<DWORD>(std::min<size_t>(size - filled_, zeros.size()));
    DWORD written = 0;
    if (!::WriteFile(file_.Get(), zeros.data(), piece, &written, nullptr) || written != piece)
      return false;
    filled_ += piece;
  }
  return true;
}

// static
void FileBackedSzAlloc::FreeFileBacked(ISzAllocPtr self, void* address) {
  FileBackedSzAlloc* alloc = static_cast<FileBackedSzAlloc*>(const_cast<ISzAlloc*>(self));
  if (!address)
    return;
  if (address == alloc->view_) {
    ::UnmapViewOfFile(alloc->view_);
    alloc->view_ = nullptr;
    alloc->view_size_ = 0;
    alloc->mapping_.Close();
    return;
  }
  FreeHeap(self, address);
}

// static
void* FileBackedSzAlloc::AllocHeap(ISzAllocPtr, size_t size) {
  return size == 0 ? nullptr : std::malloc(size);
}

// static
void FileBackedSzAlloc::FreeHeap(ISzAllocPtr, void* address) {
  std::free(address);
}

}  // namespace installer
