#include "crypto/builtin_sha1.h"

#include <algorithm>
#include <cstring>

#include "crypto/sha1.h"

namespace crypto {

namespace {

uint32_t RotateLeft(uint32_t value, int bits) {
  return (value << bits) | (value >> (32 - bits));
}

}  // namespace

BuiltinSHA1::BuiltinSHA1() : state_{0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0} {}

BuiltinSHA1::~BuiltinSHA1() = default;

bool BuiltinSHA1::Update(const void* input, size_t len) {
  if (finished_)
    return false;
  const uint8_t* data = static_cast<const uint8_t*>(input);
  total_length_ += len;
  while (len > 0) {
    const size_t chunk = std::min(len, sizeof(block_) - block_used_);
    memcpy(block_ + block_used_, data, chunk);
    block_used_ += chunk;
    data += chunk;
    len -= chunk;
    if (block_used_ == sizeof(block_))
      ProcessBlock();
  }
  return true;
}

bool BuiltinSHA1::Finish(void* output, size_t len) {
  if (finished_ || !output)
    return false;
  finished_ = true;
  // Padding: 0x80, zeros up to 56 bytes into a block, then the length in
  // bits, big-endian.
  const uint64_t bit_length = total_length_ * 8;
  block_[block_used_++] = 0x80;
  if (block_used_ > 56) {
    memset(block_ + block_used_, 0, sizeof(block_) - block_used_);
    ProcessBlock();
  }
  memset(block_ + block_used_, 0, 56 - block_used_);
  for (int i = 0; i < 8; ++i)
    block_[56 + i] = static_cast<uint8_t>(bit_length >> (56 - 8 * i));
  ProcessBlock();

  uint8_t digest[kSHA1Length];
  for (size_t i = 0; i < kSHA1Length; ++i)
    digest[i] = static_cast<uint8_t>(state_[i / 4] >> (24 - 8 * (i % 4)));
  memcpy(output, digest, std::min(len, kSHA1Length));
  return true;
}

size_t BuiltinSHA1::GetHashLength() const {
  return kSHA1Length;
}

void BuiltinSHA1::ProcessBlock() {
  uint32_t w[80];
  for (int i = 0; i < 16; ++i) {
    w[i] = (uint32_t{block_[4 * i]} << 24) | (uint32_t{block_[4 * i + 1]} << 16) |
           (uint32_t{block_[4 * i + 2]} << 8) | uint32_t{block_[4 * i + 3]};
  }
  for (int i = 16; i < 80; ++i)
    w[i] = RotateLeft(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);

  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3], e = state_[4];
  for (int i = 0; i < 80; ++i) {
    uint32_t f;
    uint32_t k;
    if (i < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999;
    } else if (i < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDC;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6;
    }
    const uint32_t temp = RotateLeft(a, 5) + f + e + k + w[i];
    e = d;
    d = c;
    c = RotateLeft(b, 30);
    b = a;
    a = temp;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
  state_[4] += e;
  block_used_ = 0;
}

}  // namespace crypto
