#include "crypto/secure_hash.h"

#include <string>

#include "crypto/sha1.h"
#include "crypto/sha2.h"
#include "gtest/gtest.h"

namespace crypto {
namespace {

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex.push_back(kDigits[c >> 4]);
    hex.push_back(kDigits[c & 15]);
  }
  return hex;
}

TEST(SecureHashTest, Sha256StandardVectors) {
  EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
            Hex(SHA256HashString("")));
  EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
            Hex(SHA256HashString("abc")));
  EXPECT_EQ("248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
            Hex(SHA256HashString("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")));
  unsigned char prefix[4] = {};
  ASSERT_TRUE(SHA256HashString("abc", prefix, sizeof(prefix)));
  EXPECT_EQ(0xba, prefix[0]);
  EXPECT_EQ(0xbf, prefix[3]);
}

TEST(SecureHashTest, Sha256MillionAStreamedInUnevenChunks) {
  std::unique_ptr<SecureHash> hash = SecureHash::Create(SecureHash::SHA256);
  ASSERT_TRUE(hash);
  EXPECT_EQ(kSHA256Length, hash->GetHashLength());
  std::string chunk(7919, 'a');  // Not a multiple of the 64-byte block.
  size_t remaining = 1000000;
  while (remaining > 0) {
    size_t n = std::min(remaining, chunk.size());
    ASSERT_TRUE(hash->Update(chunk.data(), n));
    remaining -= n;
  }
  std::string digest(kSHA256Length, '\0');
  ASSERT_TRUE(hash->Finish(digest.data(), digest.size()));
  EXPECT_EQ("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0", Hex(digest));
  // A finished hash cannot be reused silently.
  EXPECT_FALSE(hash->Update("x", 1));
  EXPECT_FALSE(hash->Finish(digest.data(), digest.size()));
}

TEST(SecureHashTest, Sha1StandardVectors) {
  EXPECT_EQ("da39a3ee5e6b4b0d3255bfef95601890afd80709", Hex(SHA1HashString("")));
  EXPECT_EQ("a9993e364706816aba3e25717850c26c9cd0d89d", Hex(SHA1HashString("abc")));
  const std::string text = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  unsigned char digest[kSHA1Length] = {};
  ASSERT_TRUE(SHA1HashBytes(reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                            digest));
  EXPECT_EQ("84983e441c3bd26ebaae4aa1f95129e5e54670f1",
            Hex(std::string(reinterpret_cast<char*>(digest), sizeof(digest))));

  std::unique_ptr<SecureHash> hash = SecureHash::Create(SecureHash::SHA1);
  ASSERT_TRUE(hash);
  EXPECT_EQ(kSHA1Length, hash->GetHashLength());
  ASSERT_TRUE(hash->Update("a", 1));
  ASSERT_TRUE(hash->Update("bc", 2));
  std::string streamed(kSHA1Length, '\0');
  ASSERT_TRUE(hash->Finish(streamed.data(), streamed.size()));
  EXPECT_EQ(SHA1HashString("abc"), streamed);
}

}  // namespace
}  // namespace crypto
