// Atomic replacement of a file's contents, for data that must never be seen
// half-written (preferences, status records). The data goes to a temporary file
// in the destination's folder, is flushed to the disk, and then replaces the
// destination in one rename (MoveFileExW with MOVEFILE_REPLACE_EXISTING and
// MOVEFILE_WRITE_THROUGH). A reader therefore sees either the old or the new
// contents, and an interrupted write leaves the old file in place. On failure
// the temporary file is removed and the destination is untouched.

#ifndef BASE_FILES_IMPORTANT_FILE_WRITER_H_
#define BASE_FILES_IMPORTANT_FILE_WRITER_H_

#include <string_view>

#include "base/files/file_path.h"

namespace base {

class ImportantFileWriter {
 public:
  ImportantFileWriter() = delete;

  // Writes |data| to |path| atomically as described above. The folder of |path|
  // must exist. Returns false (and logs why) when the data could not be put in
  // place.
  static bool WriteFileAtomically(const FilePath& path, std::string_view data);
};

}  // namespace base

#endif  // BASE_FILES_IMPORTANT_FILE_WRITER_H_
