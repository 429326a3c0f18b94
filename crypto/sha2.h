// One-shot SHA-256 digests (BCrypt). For data that arrives in pieces use
// crypto::SecureHash.

#ifndef CRYPTO_SHA2_H_
#define CRYPTO_SHA2_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace crypto {

constexpr size_t kSHA256Length = 32;

// The 32-byte digest of |str| as raw bytes; empty when the system provider is
// unavailable.
std::string SHA256HashString(std::string_view str);
// Writes the first |len| bytes (at most 32) of the digest of |str| to |output|.
bool SHA256HashString(std::string_view str, void* output, size_t len);

}  // namespace crypto

#endif  // CRYPTO_SHA2_H_
