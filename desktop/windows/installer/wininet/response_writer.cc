#include "desktop/windows/installer/wininet/response_writer.h"

namespace installer {

bool ResponseWriter::Write(const char* data, uint32_t length) {
  return true;
}

void ResponseWriter::Finish() {}

bool ResponseWriter::Rewind() {
  return true;
}

}  // namespace installer
