#include "base/guid.h"

#include <cstdint>

#include "base/rand_util.h"
#include "base/strings/string_util.h"
#include "base/strings/stringprintf.h"

namespace base {

namespace {

template <typename Char>
bool IsValidGUIDT(std::basic_string_view<Char> guid, bool lower_case_only) {
  constexpr size_t kLength = 36;
  if (guid.size() != kLength) return false;
  for (size_t i = 0; i < kLength; ++i) {
    const Char c = guid[i];
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (c != '-') return false;
    } else if (!IsHexDigit(c) || (lower_case_only && IsAsciiUpper(c))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string GenerateGUID() {
  uint64_t bytes[2];
  if (!RandBytes(bytes, sizeof(bytes)))
    return std::string();
  // Version 4 in the high nibble of the third group, variant 10xx in the fourth.
  bytes[0] = (bytes[0] & 0xFFFFFFFFFFFF0FFFULL) | 0x0000000000004000ULL;
  bytes[1] = (bytes[1] & 0x3FFFFFFFFFFFFFFFULL) | 0x8000000000000000ULL;
  return StringPrintf("%08x-%04x-%04x-%04x-%012llx", static_cast<unsigned>(bytes[0] >> 32),
                      static_cast<unsigned>((bytes[0] >> 16) & 0xFFFF),
                      static_cast<unsigned>(bytes[0] & 0xFFFF),
                      static_cast<unsigned>(bytes[1] >> 48),
                      static_cast<unsigned long long>(bytes[1] & 0xFFFFFFFFFFFFULL));
}

bool IsValidGUID(std::string_view guid) { return IsValidGUIDT(guid, false); }
bool IsValidGUID(std::wstring_view guid) { return IsValidGUIDT(guid, false); }
bool IsValidGUIDOutputString(std::string_view guid) { return IsValidGUIDT(guid, true); }

}  // namespace base
