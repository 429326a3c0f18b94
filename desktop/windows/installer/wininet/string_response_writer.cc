#include "desktop/windows/installer/wininet/string_response_writer.h"

#include "base/logging.h"

namespace installer {

StringResponseWriter::StringResponseWriter(std::string* response, size_t max_size)
    : response_(response), max_size_(max_size) {
  CHECK(response_);
  response_->clear();
}

bool StringResponseWriter::Write(const char* data, uint32_t length) {
  if (length > max_size_ - response_->size()) {
    set_last_error(ERROR_FILE_TOO_LARGE);
    LOG(ERROR) << "Response longer than " << max_size_ << " bytes refused";
    return false;
  }
  response_->append(data, length);
  return true;
}

bool StringResponseWriter::Rewind() {
  response_->clear();
  return true;
}

}  // namespace installer
