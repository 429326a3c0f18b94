// SHA-1 computed by this library itself, for systems where the system
// provider (BCrypt) cannot be loaded. It gives the same digests as the
// provider's SHA-1 and, like it, is meant for comparing digests of existing
// data only, not for anything that needs collision resistance.

#ifndef CRYPTO_BUILTIN_SHA1_H_
#define CRYPTO_BUILTIN_SHA1_H_

#include <cstddef>
#include <cstdint>

#include "crypto/secure_hash.h"

namespace crypto {

class BuiltinSHA1 : public SecureHash {
 public:
  BuiltinSHA1();
  BuiltinSHA1(const BuiltinSHA1&) = delete;
  BuiltinSHA1& operator=(const BuiltinSHA1&) = delete;
  ~BuiltinSHA1() override;

  // SecureHash: Update fails only after Finish; Finish only once, and not
  // into a null |output|.
  bool Update(const void* input, size_t len) override;
  bool Finish(void* output, size_t len) override;
  size_t GetHashLength() const override;

 private:
  void ProcessBlock();

  uint32_t state_[5];
  uint8_t block_[64];
  size_t block_used_ = 0;
  uint64_t total_length_ = 0;
  bool finished_ = false;
};

}  // namespace crypto

#endif  // CRYPTO_BUILTIN_SHA1_H_
