#include "base/strings/utf_string_conversions.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(UTFStringConversionsTest, IsStringUTF8) {
  EXPECT_TRUE(IsStringUTF8(""));
  EXPECT_TRUE(IsStringUTF8(std::string("a\0b", 3)));
  EXPECT_TRUE(
      IsStringUTF8("\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"));
  EXPECT_FALSE(IsStringUTF8("\x80"));              // continuation byte alone
  EXPECT_FALSE(IsStringUTF8("\xC1\xBF"));          // overlong
  EXPECT_FALSE(IsStringUTF8("\xE0\x9F\xBF"));      // overlong
  EXPECT_FALSE(IsStringUTF8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(IsStringUTF8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(IsStringUTF8("\xF5\x80\x80\x80"));
  EXPECT_FALSE(IsStringUTF8("\xE2\x82"));  // cut short
}

TEST(UTFStringConversionsTest, ReadUnicodeCharacterSkipsEachMalformedPartOnce) {
  const std::string text = "a\xE2\x82\xAC\xE2\x82z\xF0\x9F\x98\x80";
  size_t index = 0;
  uint32_t code_point = 0;
  std::vector<uint32_t> read;
  while (index < text.size()) {
    const bool ok = ReadUnicodeCharacter(text, &index, &code_point);
    EXPECT_EQ(ok, code_point != 0xFFFD);
    read.push_back(code_point);
  }
  EXPECT_EQ((std::vector<uint32_t>{'a', 0x20AC, 0xFFFD, 'z', 0x1F600}), read);
}

}  // namespace
}  // namespace base
