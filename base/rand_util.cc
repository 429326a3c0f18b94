#include "base/rand_util.h"

#include <windows.h>
#include <bcrypt.h>
// wingdi.h defines ERROR, which LOG(ERROR) needs as a plain token.
#undef ERROR

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "base/logging.h"

namespace base {

bool RandBytes(void* output, size_t size) {
  auto* bytes = static_cast<unsigned char*>(output);
  const size_t total = size;
  while (size > 0) {
    const ULONG chunk =
        static_cast<ULONG>(std::min<size_t>(size, std::numeric_limits<ULONG>::max()));
    const NTSTATUS status =
        BCryptGenRandom(nullptr, bytes, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (status != 0) {
      LOG(ERROR) << "BCryptGenRandom failed: 0x" << std::hex
                 << static_cast<unsigned long>(status);
      std::memset(output, 0, total);
      return false;
    }
    bytes += chunk;
    size -= chunk;
  }
  return true;
}

int RandInt(int min, int max) {
  CHECK(min <= max);
  const uint64_t range = static_cast<uint64_t>(static_cast<int64_t>(max) - min) + 1;
  // Draws at or above the largest multiple of |range| are redrawn, so that
  // every value is equally likely.
  const uint64_t limit = std::numeric_limits<uint64_t>::max() -
                         std::numeric_limits<uint64_t>::max() % range;
  uint64_t draw = 0;
  do {
    if (!RandBytes(&draw, sizeof(draw)))
      return min;
  } while (draw >= limit);
  return static_cast<int>(static_cast<int64_t>(min) + static_cast<int64_t>(draw % range));
}

}  // namespace base
