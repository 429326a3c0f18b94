#include "crypto/sha2.h"

#include <memory>

#include "crypto/secure_hash.h"

namespace crypto {

std::string SHA256HashString(std::string_view str) {
  std::string digest(kSHA256Length, '\0');
  if (!SHA256HashString(str, digest.data(), digest.size()))
    return std::string();
  return digest;
}

bool SHA256HashString(std::string_view str, void* output, size_t len) {
  std::unique_ptr<SecureHash> hash = SecureHash::Create(SecureHash::SHA256);
  return hash && hash->Update(str.data(), str.size()) && hash->Finish(output, len);
}

}  // namespace crypto
