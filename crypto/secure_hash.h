// Streaming message digests through the system's cryptography provider
// (BCrypt). Feed data with Update() in any number of pieces, then Finish()
// once. An interface so that hashing code can be given a fake; Create()
// returns the real implementation.

#ifndef CRYPTO_SECURE_HASH_H_
#define CRYPTO_SECURE_HASH_H_

#include <cstddef>
#include <memory>

namespace crypto {

class SecureHash {
 public:
  enum Algorithm {
    SHA1,
    SHA256,
  };

  virtual ~SecureHash() = default;

  // A new hash of |type|, or null (logged) when the system provider cannot be
  // opened.
  static std::unique_ptr<SecureHash> Create(Algorithm type);

  // Adds |len| bytes. False when the provider failed; the digest is then unusable.
  virtual bool Update(const void* input, size_t len) = 0;
  // Writes the digest to |output|, truncated to |len| bytes when |len| is
  // smaller than GetHashLength(). Call once; false when the provider failed
  // (at any point) or |output| is null.
  virtual bool Finish(void* output, size_t len) = 0;
  // 20 for SHA1, 32 for SHA256.
  virtual size_t GetHashLength() const = 0;
};

}  // namespace crypto

#endif  // CRYPTO_SECURE_HASH_H_
