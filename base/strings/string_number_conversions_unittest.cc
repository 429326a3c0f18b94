#include "base/strings/string_number_conversions.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace base {
namespace {

TEST(StringNumberConversionsTest, StringToIntKeepsPartialValue) {
  struct Case {
    const char* input;
    int value;
    bool ok;
  } cases[] = {
      {"0", 0, true},
      {"-42", -42, true},
      {"+7", 7, true},
      {"2147483647", 2147483647, true},
      {"-2147483648", std::numeric_limits<int>::min(), true},
      {"2147483648", 2147483647, false},
      {"-2147483649", std::numeric_limits<int>::min(), false},
      {"99999999999999999999", 2147483647, false},
      {"123abc", 123, false},
      {" 12", 12, false},
      {"12 ", 12, false},
      {"\t-3\n", -3, false},
      {"", 0, false},
      {"-", 0, false},
      {"abc", 0, false},
      {"0x10", 0, false},
      {"1.5", 1, false},
  };
  for (const Case& c : cases) {
    int value = -999;
    EXPECT_EQ(c.ok, StringToInt(c.input, &value)) << c.input;
    EXPECT_EQ(c.value, value) << c.input;
  }
  int wide_value = 0;
  EXPECT_TRUE(StringToInt(L"-17", &wide_value));
  EXPECT_EQ(-17, wide_value);
  EXPECT_FALSE(StringToInt(L"17\u00A0", &wide_value));
  EXPECT_EQ(17, wide_value);
}

TEST(StringNumberConversionsTest, UnsignedAnd64Bit) {
  unsigned u = 5;
  EXPECT_TRUE(StringToUint("4294967295", &u));
  EXPECT_EQ(4294967295u, u);
  EXPECT_FALSE(StringToUint("4294967296", &u));
  EXPECT_EQ(4294967295u, u);
  EXPECT_FALSE(StringToUint("-1", &u));
  EXPECT_EQ(0u, u);
  int64_t i64 = 0;
  EXPECT_TRUE(StringToInt64("-9223372036854775808", &i64));
  EXPECT_EQ(std::numeric_limits<int64_t>::min(), i64);
  EXPECT_FALSE(StringToInt64(L"9223372036854775808", &i64));
  EXPECT_EQ(std::numeric_limits<int64_t>::max(), i64);
  uint64_t u64 = 0;
  EXPECT_TRUE(StringToUint64("18446744073709551615", &u64));
  EXPECT_EQ(std::numeric_limits<uint64_t>::max(), u64);
  EXPECT_FALSE(StringToUint64("18446744073709551616", &u64));
  EXPECT_EQ(std::numeric_limits<uint64_t>::max(), u64);
  size_t size = 0;
  EXPECT_TRUE(StringToSizeT(L"1234567890123", &size));
  EXPECT_EQ(1234567890123u, size);
}

TEST(StringNumberConversionsTest, StringToDouble) {
  double d = 0;
  EXPECT_TRUE(StringToDouble("1.5", &d));
  EXPECT_EQ(1.5, d);
  EXPECT_TRUE(StringToDouble("-2e3", &d));
  EXPECT_EQ(-2000.0, d);
  EXPECT_TRUE(StringToDouble(".5", &d));
  EXPECT_EQ(0.5, d);
  EXPECT_TRUE(StringToDouble(L"3.", &d));
  EXPECT_EQ(3.0, d);
  EXPECT_FALSE(StringToDouble("1.5x", &d));
  EXPECT_EQ(1.5, d);
  EXPECT_FALSE(StringToDouble(" 1", &d));
  EXPECT_EQ(1.0, d);
  EXPECT_FALSE(StringToDouble("1e", &d));
  EXPECT_EQ(1.0, d);
  EXPECT_FALSE(StringToDouble("", &d));
  EXPECT_FALSE(StringToDouble("nan", &d));
  EXPECT_FALSE(StringToDouble("inf", &d));
  EXPECT_FALSE(StringToDouble("0x10", &d));
  EXPECT_FALSE(StringToDouble("1e999", &d));
  EXPECT_TRUE(std::isinf(d));
  EXPECT_TRUE(StringToDouble("1e-999", &d));
  EXPECT_EQ(0.0, d);
}

TEST(StringNumberConversionsTest, HexParsing) {
  int32_t i = 0;
  EXPECT_TRUE(HexStringToInt("0x7fffffff", &i));
  EXPECT_EQ(std::numeric_limits<int32_t>::max(), i);
  EXPECT_TRUE(HexStringToInt("ffffffff", &i));  // bit pattern
  EXPECT_EQ(-1, i);
  EXPECT_TRUE(HexStringToInt("-10", &i));
  EXPECT_EQ(-16, i);
  EXPECT_FALSE(HexStringToInt("100000000", &i));
  EXPECT_FALSE(HexStringToInt("12g", &i));
  EXPECT_EQ(0x12, i);
  EXPECT_FALSE(HexStringToInt("0x", &i));
  uint32_t u = 0;
  EXPECT_TRUE(HexStringToUInt(L"0XDEADbeef", &u));
  EXPECT_EQ(0xDEADBEEFu, u);
  uint64_t u64 = 0;
  EXPECT_TRUE(HexStringToUInt64("ffffffffffffffff", &u64));
  EXPECT_EQ(std::numeric_limits<uint64_t>::max(), u64);
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(HexStringToBytes("00fF10", &bytes));
  EXPECT_EQ((std::vector<uint8_t>{0x00, 0xFF, 0x10}), bytes);
  EXPECT_FALSE(HexStringToBytes("0a1", &bytes));
  EXPECT_EQ((std::vector<uint8_t>{0x0A}), bytes);
  EXPECT_FALSE(HexStringToBytes("zz", &bytes));
}

TEST(StringNumberConversionsTest, NumberToStringAndHexEncode) {
  EXPECT_EQ("-2147483648", NumberToString(std::numeric_limits<int>::min()));
  EXPECT_EQ("18446744073709551615", NumberToString(std::numeric_limits<uint64_t>::max()));
  EXPECT_EQ(L"-5", NumberToWString(-5));
  EXPECT_EQ(L"4294967295", NumberToWString(4294967295u));
  EXPECT_EQ("0.1", NumberToString(0.1));
  EXPECT_EQ("1", NumberToString(1.0));
  EXPECT_EQ("1e+21", NumberToString(1e21));
  EXPECT_EQ(L"2.5", NumberToWString(2.5));
  double back = 0;
  ASSERT_TRUE(StringToDouble(NumberToString(1.0 / 3.0), &back));
  EXPECT_EQ(1.0 / 3.0, back);
  EXPECT_EQ("00FF7A", HexEncode(std::vector<uint8_t>{0x00, 0xFF, 0x7A}));
  EXPECT_EQ("", HexEncode(std::string_view()));
}

}  // namespace
}  // namespace base
