#include "desktop/windows/installer/wininet/file_response_writer.h"

#include "base/logging.h"

namespace installer {

FileResponseWriter::~FileResponseWriter() {
  Close();
}

bool FileResponseWriter::Open(const base::FilePath& path) {
  Close();
  file_.Set(CreateFileW(path.value().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file_.IsValid()) {
    PLOG(ERROR) << "Could not open download file for writing";
    return false;
  }
  return true;
}

bool FileResponseWriter::Write(const char* data, uint32_t length) {
  DWORD written = 0;
  if (file_.IsValid() && WriteFile(file_.Get(), data, length, &written, nullptr) &&
      written == length) {
    return true;
  }
  DWORD error = file_.IsValid() ? GetLastError() : ERROR_INVALID_HANDLE;
  // A short write succeeds without an error of its own.
  set_last_error(error ? error : ERROR_WRITE_FAULT);
  SetLastError(last_error());
  PLOG(ERROR) << "Failed writing response to downloading file";
  return false;
}

void FileResponseWriter::Finish() {
  Close();
}

bool FileResponseWriter::Rewind() {
  LARGE_INTEGER start = {};
  if (file_.IsValid() && SetFilePointerEx(file_.Get(), start, nullptr, FILE_BEGIN) &&
      SetEndOfFile(file_.Get())) {
    return true;
  }
  set_last_error(file_.IsValid() ? GetLastError() : ERROR_INVALID_HANDLE);
  SetLastError(last_error());
  PLOG(ERROR) << "Could not empty the downloading file";
  return false;
}

void FileResponseWriter::Close() {
  file_.Close();
}

}  // namespace installer
