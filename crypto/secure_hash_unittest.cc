#include "crypto/secure_hash.h"

#include <string>

#include "base/strings/string_number_conversions.h"
#include "crypto/sha1.h"
#include "crypto/sha2.h"
#include "gtest/gtest.h"

namespace crypto {
namespace {

TEST(SecureHashTest, Sha256StandardVectors) {
  EXPECT_EQ("E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855",
            base::HexEncode(SHA256HashString("")));
  EXPECT_EQ("BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD",
            base::HexEncode(SHA256HashString("abc")));
  EXPECT_EQ("248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1",
            base::HexEncode(
                SHA256HashString("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")));
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
  EXPECT_EQ("CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0",
            base::HexEncode(digest));
  // A finished hash cannot be reused silently.
  EXPECT_FALSE(hash->Update("x", 1));
  EXPECT_FALSE(hash->Finish(digest.data(), digest.size()));
}

TEST(SecureHashTest, Sha1StandardVectors) {
  EXPECT_EQ("DA39A3EE5E6B4B0D3255BFEF95601890AFD80709", base::HexEncode(SHA1HashString("")));
  EXPECT_EQ("A9993E364706816ABA3E25717850C26C9CD0D89D", base::HexEncode(SHA1HashString("abc")));
  const std::string text = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  unsigned char digest[kSHA1Length] = {};
  ASSERT_TRUE(SHA1HashBytes(reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                            digest));
  EXPECT_EQ("84983E441C3BD26EBAAE4AA1F95129E5E54670F1",
            base::HexEncode(std::string(reinterpret_cast<char*>(digest), sizeof(digest))));

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
