// The 7z decoder keeps the whole current solid block in one buffer from its
// main allocator, which for a browser package is hundreds of megabytes.
// FileBackedSzAlloc gives that buffer from a mapped temporary file instead of
// the process heap, so the block is limited by the folder's free disk space
// rather than by free address space and private memory; the temporary file is
// created delete-on-close and disappears with the allocator or the process.
//
// The file is filled with zeros up to the block's size before it is mapped,
// so its disk space is taken up front: a full disk makes the allocation fall
// back to the heap instead of failing later as a page-in error while the
// decoder writes (and writing into a file without holes is much cheaper).
//
// One mapping exists at a time: the first allocation while none is
// outstanding is file-backed; an allocation while one is outstanding, a
// failure to create or map the file, and a temporary folder that cannot be
// used all fall back to the heap, quietly. Free() tells the two apart by
// address, so any mix of allocations is freed correctly.
//
// It has the LZMA SDK's allocator shape (ISzAlloc first), so its address can
// be passed wherever the SDK wants an ISzAllocPtr. Not thread-safe.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_FILE_BACKED_SZ_ALLOC_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_FILE_BACKED_SZ_ALLOC_H_

#include <cstddef>

#include "7zTypes.h"
#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"

namespace installer {

class FileBackedSzAlloc : public ISzAlloc {
 public:
  // Creates the temporary file in |temp_folder|.
  explicit FileBackedSzAlloc(const base::FilePath& temp_folder);
  FileBackedSzAlloc(const FileBackedSzAlloc&) = delete;
  FileBackedSzAlloc& operator=(const FileBackedSzAlloc&) = delete;
  ~FileBackedSzAlloc();

  // Null for 0 bytes or when even the heap has no room.
  void* Allocate(size_t size);
  // Accepts null and any address Allocate() returned.
  void Free(void* address);
  // Whether |address| lies inside the current mapped view.
  bool Contains(const void* address) const;

  // Whether the temporary file could be created (else every block comes from
  // the heap).
  bool is_file_backed() const { return file_.IsValid(); }
  const base::FilePath& temp_path() const { return temp_path_; }

 private:
  static void* AllocFileBacked(ISzAllocPtr self, size_t size);
  static void FreeFileBacked(ISzAllocPtr self, void* address);
  static void* AllocHeap(ISzAllocPtr self, size_t size);
  static void FreeHeap(ISzAllocPtr self, void* address);

  // Writes zeros from the end of what was filled before up to |size|.
  bool FillTo(size_t size);

  base::FilePath temp_path_;
  base::win::ScopedHandle file_;
  base::win::ScopedHandle mapping_;
  void* view_ = nullptr;
  size_t view_size_ = 0;
  // The file's bytes [0, filled_) are written.
  size_t filled_ = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_FILE_BACKED_SZ_ALLOC_H_
