// Lists the entries of a folder, optionally recursively, optionally filtered by
// a wildcard pattern ("*.lnk") and by kind. "." and ".." are never returned.
// With recursion, subfolders are entered whether or not their names match the
// pattern (the pattern filters what is returned, not where the walk goes), and
// reparse points (links, junctions) are returned but not entered. The order is
// breadth-first by folder, each folder in the file system's order. A folder
// that cannot be read is skipped silently.

#ifndef BASE_FILES_FILE_ENUMERATOR_H_
#define BASE_FILES_FILE_ENUMERATOR_H_

#include <windows.h>

#include <cstdint>
#include <deque>
#include <string>

#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"

namespace base {

class FileEnumerator {
 public:
  // The entry last returned by Next().
  class FileInfo {
   public:
    FileInfo();
    // The name, without the folder.
    FilePath GetName() const;
    int64_t GetSize() const;
    bool IsDirectory() const;
    DWORD GetAttributes() const { return find_data_.dwFileAttributes; }
    // FILETIME as a 64-bit integer (100 ns since 1601-01-01 UTC).
    int64_t GetLastModifiedTime() const;
    const WIN32_FIND_DATAW& find_data() const { return find_data_; }

   private:
    friend class FileEnumerator;
    WIN32_FIND_DATAW find_data_;
  };

  enum FileType {
    FILES = 1 << 0,
    DIRECTORIES = 1 << 1,
  };

  // |file_type| is a mask of FileType. |pattern| is a FindFirstFileW wildcard;
  // empty means every entry.
  FileEnumerator(const FilePath& root_path, bool recursive, int file_type);
  FileEnumerator(const FilePath& root_path, bool recursive, int file_type,
                 const std::wstring& pattern);
  FileEnumerator(const FileEnumerator&) = delete;
  FileEnumerator& operator=(const FileEnumerator&) = delete;
  ~FileEnumerator();

  // The full path of the next entry (root joined with the relative path), or an
  // empty path when there are no more.
  FilePath Next();
  // Details of the entry last returned by Next().
  FileInfo GetInfo() const;

 private:
  // Whether the current find data is an entry the caller asked for.
  bool ShouldReturnCurrent() const;

  const bool recursive_;
  const int file_type_;
  const std::wstring pattern_;

  bool has_find_data_ = false;
  WIN32_FIND_DATAW find_data_;
  win::ScopedFindFileHandle find_handle_;
  // The folder being listed.
  FilePath current_folder_;
  // Folders still to list.
  std::deque<FilePath> pending_paths_;
};

}  // namespace base

#endif  // BASE_FILES_FILE_ENUMERATOR_H_
