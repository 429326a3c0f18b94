#include "base/base64.h"

#include <gtest/gtest.h>

namespace base {
namespace {

TEST(Base64Test, KnownVectors) {
  const std::pair<const char*, const char*> vectors[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
  };
  for (const auto& [plain, encoded] : vectors) {
    EXPECT_EQ(encoded, Base64Encode(plain));
    std::string decoded = "junk";
    EXPECT_TRUE(Base64Decode(encoded, &decoded)) << encoded;
    EXPECT_EQ(plain, decoded);
  }
  EXPECT_EQ("/+8A", Base64Encode(std::vector<uint8_t>{0xFF, 0xEF, 0x00}));
  EXPECT_EQ((std::vector<uint8_t>{0xFF, 0xEF, 0x00}), *Base64DecodeToBytes("/+8A"));
}

TEST(Base64Test, RejectsBadInput) {
  for (const char* bad : {"Zg", "Zg=", "Zm9", "Z===", "Zg==Zg==", "Zm9v\n", " Zm9v", "Zm-v",
                          "Zm_v", "Zh==", "Zm9=", "=Zm9", "Zg=a"}) {
    std::string out = "junk";
    EXPECT_FALSE(Base64Decode(bad, &out)) << bad;
    EXPECT_EQ("", out) << bad;
    EXPECT_FALSE(Base64DecodeToBytes(bad)) << bad;
  }
}

TEST(Base64Test, AllBytesRoundTrip) {
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  std::string decoded;
  ASSERT_TRUE(Base64Decode(Base64Encode(all), &decoded));
  EXPECT_EQ(all, decoded);
}

}  // namespace
}  // namespace base
