// One-shot SHA-1 digests (BCrypt), for compatibility checks of existing data
// only; not for anything that needs collision resistance.

#ifndef CRYPTO_SHA1_H_
#define CRYPTO_SHA1_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace crypto {

constexpr size_t kSHA1Length = 20;

// The 20-byte digest of |str| as raw bytes; empty when the system provider is
// unavailable.
std::string SHA1HashString(std::string_view str);
// Writes the 20-byte digest of |data| to |hash|. False when the provider is
// unavailable.
bool SHA1HashBytes(const unsigned char* data, size_t len, unsigned char* hash);

}  // namespace crypto

#endif  // CRYPTO_SHA1_H_
