// Random numbers from the system's cryptographic generator, for sampling and
// identifiers. Not for keys: callers that need secrets use crypto/.

#ifndef BASE_RAND_UTIL_H_
#define BASE_RAND_UTIL_H_

#include <cstddef>

namespace base {

// Fills |output| with |size| random bytes. False only when the system
// generator fails (logged); |output| is then zero-filled.
bool RandBytes(void* output, size_t size);

// A uniformly distributed integer in [min, max] (both included); |min| must
// not exceed |max|. Falls back to |min| when the system generator fails.
int RandInt(int min, int max);

}  // namespace base

#endif  // BASE_RAND_UTIL_H_
