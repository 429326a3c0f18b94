#include "crypto/builtin_sha1.h"

#include <algorithm>
#include <memory>
#include <string>

#include "base/strings/string_number_conversions.h"
#include "crypto/sha1.h"
#include "gtest/gtest.h"

namespace crypto {
namespace {

// Feeds |data| in pieces of |piece| bytes.
std::string Digest(const std::string& data, size_t piece) {
  BuiltinSHA1 hash;
  for (size_t i = 0; i < data.size(); i += piece)
    EXPECT_TRUE(hash.Update(data.data() + i, std::min(piece, data.size() - i)));
  std::string digest(kSHA1Length, '\0');
  EXPECT_TRUE(hash.Finish(digest.data(), digest.size()));
  return digest;
}

TEST(BuiltinSHA1Test, StandardVectors) {
  EXPECT_EQ("DA39A3EE5E6B4B0D3255BFEF95601890AFD80709", base::HexEncode(Digest("", 1)));
  EXPECT_EQ("A9993E364706816ABA3E25717850C26C9CD0D89D", base::HexEncode(Digest("abc", 1)));
  EXPECT_EQ(
      "84983E441C3BD26EBAAE4AA1F95129E5E54670F1",
      base::HexEncode(Digest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 64)));
  EXPECT_EQ("A49B2446A02C645BF419F995B67091253A04A259",
            base::HexEncode(Digest("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmn"
                                   "hijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
                                   7)));
  EXPECT_EQ("34AA973CD4C4DAA4F61EEB2BDBAD27316534016F",
            base::HexEncode(Digest(std::string(1000000, 'a'), 65536)));
}

TEST(BuiltinSHA1Test, MatchesTheSystemProviderAroundBlockBoundaries) {
  // Every length up to three blocks, so that the padding falls in every
  // place of a block, fed whole and in uneven pieces.
  std::string data;
  for (size_t length = 0; length <= 192; ++length) {
    const std::string expected = SHA1HashString(data);
    ASSERT_EQ(kSHA1Length, expected.size());
    EXPECT_EQ(expected, Digest(data, data.size() + 1)) << length;
    EXPECT_EQ(expected, Digest(data, 13)) << length;
    data.push_back(static_cast<char>(length * 37 + 11));
  }
}

TEST(BuiltinSHA1Test, FinishedOnceAndTruncated) {
  BuiltinSHA1 hash;
  EXPECT_EQ(kSHA1Length, hash.GetHashLength());
  ASSERT_TRUE(hash.Update("abc", 3));
  EXPECT_FALSE(hash.Finish(nullptr, 4));
  unsigned char prefix[4] = {};
  ASSERT_TRUE(hash.Finish(prefix, sizeof(prefix)));
  EXPECT_EQ(0xa9, prefix[0]);
  EXPECT_EQ(0x36, prefix[3]);
  EXPECT_FALSE(hash.Update("x", 1));
  EXPECT_FALSE(hash.Finish(prefix, sizeof(prefix)));
}

}  // namespace
}  // namespace crypto
