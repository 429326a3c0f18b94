#include "base/files/important_file_writer.h"

#include <windows.h>

#include "base/files/file.h"
#include "base/files/file_util.h"
#include "base/logging.h"

namespace base {

bool ImportantFileWriter::WriteFileAtomically(const FilePath& path, std::string_view data) {
  // The temporary file must be on the same volume for the rename to be atomic,
  // hence the destination's own folder.
  FilePath temp_file_path;
  if (!CreateTemporaryFileInDir(path.DirName(), &temp_file_path)) {
    PLOG(ERROR) << "Cannot create a temporary file next to " << path;
    return false;
  }

  File temp_file(temp_file_path, File::FLAG_OPEN | File::FLAG_WRITE | File::FLAG_EXCLUSIVE_READ |
                                     File::FLAG_EXCLUSIVE_WRITE);
  if (!temp_file.IsValid()) {
    LOG(ERROR) << "Cannot open the temporary file " << temp_file_path << ": "
               << logging::SystemErrorCodeToString(temp_file.error_details());
    DeleteFile(temp_file_path);
    return false;
  }

  bool written = true;
  std::string_view rest = data;
  while (!rest.empty() && written) {
    int chunk = rest.size() > (1u << 30) ? (1 << 30) : static_cast<int>(rest.size());
    int count = temp_file.WriteAtCurrentPos(rest.data(), chunk);
    if (count <= 0)
      written = false;
    else
      rest.remove_prefix(static_cast<size_t>(count));
  }
  if (!written) {
    PLOG(ERROR) << "Cannot write " << data.size() << " bytes to " << temp_file_path;
    temp_file.Close();
    DeleteFile(temp_file_path);
    return false;
  }
  // The data must be on the disk before the rename makes it the real file,
  // or a crash could leave the destination empty.
  if (!temp_file.Flush()) {
    PLOG(ERROR) << "Cannot flush " << temp_file_path;
    temp_file.Close();
    DeleteFile(temp_file_path);
    return false;
  }
  temp_file.Close();

  DWORD error = ERROR_SUCCESS;
  if (!ReplaceFile(temp_file_path, path, &error)) {
    LOG(ERROR) << "Cannot move " << temp_file_path << " to " << path << ": "
               << logging::SystemErrorCodeToString(error);
    DeleteFile(temp_file_path);
    return false;
  }
  return true;
}

}  // namespace base
