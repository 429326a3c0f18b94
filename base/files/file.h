// base::File owns an open Win32 file handle and offers positioned and streaming
// reads and writes. Opening never throws: IsValid() tells whether the file is
// open and error_details() holds the Win32 error of the failed open. The handle
// is closed on destruction. Sizes and offsets are 64-bit; a single read or write
// moves at most INT_MAX bytes and returns the count done, or -1 on failure.

#ifndef BASE_FILES_FILE_H_
#define BASE_FILES_FILE_H_

#include <windows.h>

#include <cstdint>

#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"

namespace base {

class File {
 public:
  // Exactly one of the FLAG_OPEN* / FLAG_CREATE* flags says how to open.
  enum Flags : uint32_t {
    FLAG_OPEN = 1 << 0,              // Opens an existing file.
    FLAG_CREATE = 1 << 1,            // Creates a new file; fails when it exists.
    FLAG_OPEN_ALWAYS = 1 << 2,       // Opens, creating when missing.
    FLAG_CREATE_ALWAYS = 1 << 3,     // Creates, truncating an existing file.
    FLAG_OPEN_TRUNCATED = 1 << 4,    // Opens an existing file and truncates it.
    FLAG_READ = 1 << 5,
    FLAG_WRITE = 1 << 6,
    FLAG_APPEND = 1 << 7,            // Writes go to the end.
    FLAG_EXCLUSIVE_READ = 1 << 8,    // Others may not read while open.
    FLAG_EXCLUSIVE_WRITE = 1 << 9,   // Others may not write while open.
    FLAG_SHARE_DELETE = 1 << 10,     // Others may delete or rename while open.
    FLAG_DELETE_ON_CLOSE = 1 << 11,
    FLAG_BACKUP_SEMANTICS = 1 << 12, // Needed to open folders.
  };

  enum Whence { FROM_BEGIN = FILE_BEGIN, FROM_CURRENT = FILE_CURRENT, FROM_END = FILE_END };

  // Times are FILETIME values as 64-bit integers: 100-nanosecond intervals
  // since 1601-01-01 UTC.
  struct Info {
    int64_t size = 0;
    bool is_directory = false;
    bool is_symbolic_link = false;  // A reparse point (link or junction).
    DWORD attributes = 0;
    int64_t last_modified = 0;
    int64_t last_accessed = 0;
    int64_t creation_time = 0;

    // Fills every field from what GetFileAttributesExW reports.
    void FromAttributeData(const WIN32_FILE_ATTRIBUTE_DATA& data);
  };

  File() = default;
  File(const FilePath& path, uint32_t flags);
  // Takes ownership of |handle| (may be invalid).
  explicit File(HANDLE handle);
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  // Closes any open file and opens |path| with |flags|.
  void Initialize(const FilePath& path, uint32_t flags);
  bool IsValid() const { return file_.IsValid(); }
  // The Win32 error of the last failed open, ERROR_SUCCESS when open.
  DWORD error_details() const { return error_details_; }
  // Whether the open made the file (FLAG_OPEN_ALWAYS, FLAG_CREATE*).
  bool created() const { return created_; }
  void Close();

  // Reads up to |size| bytes at |offset| (does not move the current position
  // for later streaming reads in a defined way). Returns the count read (0 at
  // end of file) or -1.
  int Read(int64_t offset, char* data, int size);
  int ReadAtCurrentPos(char* data, int size);
  // Writes |size| bytes at |offset|; returns the count written or -1.
  int Write(int64_t offset, const char* data, int size);
  int WriteAtCurrentPos(const char* data, int size);
  // Moves the current position; returns the new position or -1.
  int64_t Seek(Whence whence, int64_t offset);

  // -1 on failure.
  int64_t GetLength() const;
  bool SetLength(int64_t length);
  // Writes buffered data through to the disk.
  bool Flush();
  bool GetInfo(Info* info) const;

  // Takes an exclusive lock on the whole file (every byte that is or may
  // come to be in it) for this handle; false at once when a lock on it is
  // held already, through any handle. Processes that share a file take turns
  // this way (Windows also refuses reads and writes through other handles
  // meanwhile). Closing the handle releases the lock as well.
  bool Lock();
  bool Unlock();

  HANDLE GetPlatformFile() const { return file_.Get(); }
  // Gives up ownership of the handle.
  HANDLE TakePlatformFile() { return file_.Take(); }

 private:
  win::ScopedHandle file_;
  DWORD error_details_ = ERROR_SUCCESS;
  bool created_ = false;
};

}  // namespace base

#endif  // BASE_FILES_FILE_H_
