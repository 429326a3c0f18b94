// A read-only view of a whole file mapped into memory. Initialize() opens the
// file with read access (sharing read and delete), maps it and keeps the view
// until destruction. An empty file (Windows cannot map zero bytes) and a file
// of 2 GiB or more (offsets into the view fit a signed 32-bit integer) are
// refused. Reading the view can fault if another process truncates the file;
// callers that read untrusted files guard their reads.

#ifndef BASE_FILES_MEMORY_MAPPED_FILE_H_
#define BASE_FILES_MEMORY_MAPPED_FILE_H_

#include <cstddef>
#include <cstdint>

#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"

namespace base {

class MemoryMappedFile {
 public:
  MemoryMappedFile() = default;
  MemoryMappedFile(const MemoryMappedFile&) = delete;
  MemoryMappedFile& operator=(const MemoryMappedFile&) = delete;
  ~MemoryMappedFile();

  // Maps |file_name|. False (and logs why) when it cannot be opened or mapped,
  // or when this object already holds a mapping.
  [[nodiscard]] bool Initialize(const FilePath& file_name);

  const uint8_t* data() const { return data_; }
  size_t length() const { return length_; }
  bool IsValid() const { return valid_; }

 private:
  void CloseHandles();

  win::ScopedHandle file_;
  win::ScopedHandle mapping_;
  const uint8_t* data_ = nullptr;
  size_t length_ = 0;
  bool valid_ = false;
};

}  // namespace base

#endif  // BASE_FILES_MEMORY_MAPPED_FILE_H_
