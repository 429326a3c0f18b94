// A ResponseWriter that keeps the response in the caller's string, for short
// replies such as the package server's JSON. The string is emptied at
// construction. A reply larger than the limit is refused rather than kept:
// a server (or something posing as one) cannot make the installer hold an
// unbounded reply in memory.

#ifndef DESKTOP_WINDOWS_INSTALLER_WININET_STRING_RESPONSE_WRITER_H_
#define DESKTOP_WINDOWS_INSTALLER_WININET_STRING_RESPONSE_WRITER_H_

#include <cstddef>
#include <string>

#include "desktop/windows/installer/wininet/response_writer.h"

namespace installer {

class StringResponseWriter : public ResponseWriter {
 public:
  static constexpr size_t kDefaultMaxSize = 1024 * 1024;

  // |response| must not be null and must outlive the writer.
  explicit StringResponseWriter(std::string* response, size_t max_size = kDefaultMaxSize);

  // Refuses (ERROR_FILE_TOO_LARGE) bytes that would pass the limit.
  bool Write(const char* data, uint32_t length) override;
  bool Rewind() override;

 private:
  std::string* const response_;
  const size_t max_size_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_WININET_STRING_RESPONSE_WRITER_H_
