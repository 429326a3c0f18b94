#include "crypto/secure_hash.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/logging.h"

namespace crypto {

namespace {

bool Ok(NTSTATUS status) {
  return status >= 0;
}

class SecureHashImpl : public SecureHash {
 public:
  explicit SecureHashImpl(Algorithm type)
      : hash_length_(type == SHA1 ? 20 : 32), algorithm_(type == SHA1 ? L"SHA1" : L"SHA256") {}
  SecureHashImpl(const SecureHashImpl&) = delete;
  SecureHashImpl& operator=(const SecureHashImpl&) = delete;

  ~SecureHashImpl() override {
    if (hash_)
      ::BCryptDestroyHash(hash_);
    if (provider_)
      ::BCryptCloseAlgorithmProvider(provider_, 0);
  }

  bool Initialize() {
    NTSTATUS status = ::BCryptOpenAlgorithmProvider(&provider_, algorithm_, nullptr, 0);
    if (!Ok(status)) {
      provider_ = nullptr;
      LOG(ERROR) << "Cannot open the " << algorithm_ << " provider: 0x" << std::hex << status;
      return false;
    }
    DWORD object_length = 0;
    ULONG written = 0;
    status = ::BCryptGetProperty(provider_, BCRYPT_OBJECT_LENGTH,
                                 reinterpret_cast<PUCHAR>(&object_length), sizeof(object_length),
                                 &written, 0);
    if (!Ok(status) || written != sizeof(object_length)) {
      LOG(ERROR) << "Cannot read the " << algorithm_ << " object length: 0x" << std::hex
                 << status;
      return false;
    }
    hash_object_.resize(object_length);
    status = ::BCryptCreateHash(provider_, &hash_, hash_object_.data(), object_length, nullptr,
                                0, 0);
    if (!Ok(status)) {
      hash_ = nullptr;
      LOG(ERROR) << "Cannot create a " << algorithm_ << " hash: 0x" << std::hex << status;
      return false;
    }
    return true;
  }

  bool Update(const void* input, size_t len) override {
    if (failed_ || finished_ || !hash_) {
      failed_ = true;
      return false;
    }
    const UCHAR* data = static_cast<const UCHAR*>(input);
    while (len > 0) {
      ULONG chunk = static_cast<ULONG>(std::min<size_t>(len, 1u << 30));
      // BCryptHashData takes a non-const pointer but does not write.
      if (!Ok(::BCryptHashData(hash_, const_cast<UCHAR*>(data), chunk, 0))) {
        failed_ = true;
        return false;
      }
      data += chunk;
      len -= chunk;
    }
    return true;
  }

  bool Finish(void* output, size_t len) override {
    if (failed_ || finished_ || !hash_ || !output)
      return false;
    finished_ = true;
    UCHAR digest[32];
    if (!Ok(::BCryptFinishHash(hash_, digest, static_cast<ULONG>(hash_length_), 0)))
      return false;
    memcpy(output, digest, std::min(len, hash_length_));
    return true;
  }

  size_t GetHashLength() const override { return hash_length_; }

 private:
  const size_t hash_length_;
  const wchar_t* const algorithm_;
  BCRYPT_ALG_HANDLE provider_ = nullptr;
  BCRYPT_HASH_HANDLE hash_ = nullptr;
  std::vector<UCHAR> hash_object_;
  bool failed_ = false;
  bool finished_ = false;
};

}  // namespace

std::unique_ptr<SecureHash> SecureHash::Create(Algorithm type) {
  auto hash = std::make_unique<SecureHashImpl>(type);
  if (!hash->Initialize())
    return nullptr;
  return hash;
}

}  // namespace crypto
