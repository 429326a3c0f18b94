// A ResponseWriter that keeps the response in a file, opened (created or
// truncated) for writing and shared with nobody while the download runs.
// Finish closes it.

#ifndef DESKTOP_WINDOWS_INSTALLER_WININET_FILE_RESPONSE_WRITER_H_
#define DESKTOP_WINDOWS_INSTALLER_WININET_FILE_RESPONSE_WRITER_H_

#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/wininet/response_writer.h"

namespace installer {

class FileResponseWriter : public ResponseWriter {
 public:
  FileResponseWriter() = default;
  ~FileResponseWriter() override;

  // Creates or truncates |path|. False (logged) when it cannot be opened.
  bool Open(const base::FilePath& path);

  bool Write(const char* data, uint32_t length) override;
  // Closes the file.
  void Finish() override;
  // Empties the file and writes from its start again.
  bool Rewind() override;

 private:
  void Close();

  base::win::ScopedHandle file_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_WININET_FILE_RESPONSE_WRITER_H_
