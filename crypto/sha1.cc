#include "crypto/sha1.h"

#include <memory>

#include "crypto/secure_hash.h"

namespace crypto {

std::string SHA1HashString(std::string_view str) {
  std::string digest(kSHA1Length, '\0');
  if (!SHA1HashBytes(reinterpret_cast<const unsigned char*>(str.data()), str.size(),
                     reinterpret_cast<unsigned char*>(digest.data()))) {
    return std::string();
  }
  return digest;
}

bool SHA1HashBytes(const unsigned char* data, size_t len, unsigned char* hash) {
  std::unique_ptr<SecureHash> hasher = SecureHash::Create(SecureHash::SHA1);
  return hasher && hasher->Update(data, len) && hasher->Finish(hash, kSHA1Length);
}

}  // namespace crypto
