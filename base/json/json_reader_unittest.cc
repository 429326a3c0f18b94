#include "base/json/json_reader.h"

#include <limits>

#include <gtest/gtest.h>

#include "base/json/json_writer.h"

namespace base {
namespace {

std::string ErrorOf(std::string_view json) {
  return JSONReader::ReadAndReturnValueWithError(json).error.message;
}

TEST(JSONReaderTest, ReadsEveryKind) {
  std::optional<Value> value = JSONReader::Read(
      " \r\n{\"b\": [1, -2.5, 3e2, true, false, null], \"a\": {\"s\": \"x\\\"\\\\\\/\\b\\f\\n\\r\\t\"}} \n");
  ASSERT_TRUE(value);
  const Value::List* list = value->GetDict().FindList("b");
  ASSERT_TRUE(list);
  ASSERT_EQ(6u, list->size());
  EXPECT_EQ(Value(1), (*list)[0]);
  EXPECT_EQ(Value(-2.5), (*list)[1]);
  EXPECT_EQ(Value(300.0), (*list)[2]);  // an exponent makes a double
  EXPECT_EQ(Value(true), (*list)[3]);
  EXPECT_TRUE((*list)[5].is_none());
  EXPECT_EQ("x\"\\/\b\f\n\r\t", *value->GetDict().FindStringByDottedPath("a.s"));
  EXPECT_EQ(Value("top"), *JSONReader::Read("\"top\""));
  EXPECT_EQ(Value(0), *JSONReader::Read("-0"));
}

TEST(JSONReaderTest, Numbers) {
  EXPECT_EQ(Value(2147483647), *JSONReader::Read("2147483647"));
  EXPECT_EQ(Value(2147483648.0), *JSONReader::Read("2147483648"));  // too big for int
  EXPECT_EQ(Value(std::numeric_limits<int>::min()), *JSONReader::Read("-2147483648"));
  EXPECT_EQ(Value(1.0), *JSONReader::Read("1.0"));
  for (const char* bad : {"01", "1.", ".5", "+1", "1e", "-", "0x1", "1e+", "NaN", "Infinity"}) {
    EXPECT_FALSE(JSONReader::Read(bad)) << bad;
  }
  EXPECT_EQ("Line: 1, column: 1, Number cannot be represented.", ErrorOf("1e400"));
}

TEST(JSONReaderTest, Unicode) {
  EXPECT_EQ(Value("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"),
            *JSONReader::Read("\"\\u00e9\\u20AC\\ud83d\\ude00\""));
  EXPECT_EQ(Value("\xC3\xA9"), *JSONReader::Read("\"\xC3\xA9\""));  // raw UTF-8
  EXPECT_TRUE(JSONReader::Read("\xEF\xBB\xBF[1]"));  // byte-order mark
  EXPECT_EQ("Line: 1, column: 2, Invalid escape sequence.", ErrorOf("\"\\ud83d\""));
  EXPECT_EQ("Line: 1, column: 2, Invalid escape sequence.", ErrorOf("\"\\ude00x\""));
  EXPECT_EQ("Line: 1, column: 3, Invalid escape sequence.", ErrorOf("\"a\\x\""));
  EXPECT_EQ("Line: 1, column: 3, Unsupported encoding. JSON must be UTF-8.",
            ErrorOf("\"a\xE9z\""));  // Latin-1
  EXPECT_EQ("Line: 1, column: 2, Unsupported encoding. JSON must be UTF-8.",
            ErrorOf("\"\xC0\xAF\""));  // overlong
  EXPECT_EQ("Line: 1, column: 3, Invalid control character in string.", ErrorOf("\"a\nb\""));
  EXPECT_EQ(Value(std::string("a\0b", 3)), *JSONReader::Read("\"a\\u0000b\""));
}

TEST(JSONReaderTest, StrictnessAndErrorPositions) {
  EXPECT_EQ("Line: 1, column: 1, Unexpected end of input.", ErrorOf(""));
  EXPECT_EQ("Line: 2, column: 1, Unexpected end of input.", ErrorOf("  \n"));
  EXPECT_EQ("Line: 1, column: 4, Trailing comma not allowed.", ErrorOf("[1,]"));
  EXPECT_EQ("Line: 2, column: 1, Trailing comma not allowed.", ErrorOf("{\"a\":1,\n}"));
  EXPECT_EQ("Line: 1, column: 2, Dictionary keys must be quoted.", ErrorOf("{a:1}"));
  EXPECT_EQ("Line: 1, column: 2, Unexpected token.", ErrorOf("{'a':1}"));
  EXPECT_EQ("Line: 1, column: 1, Unexpected token.", ErrorOf("// c\n1"));
  EXPECT_EQ("Line: 1, column: 3, Unexpected data after root element.", ErrorOf("1 2"));
  EXPECT_EQ("Line: 3, column: 6, Unexpected token.", ErrorOf("{\n\"a\":\n  [1 2]}"));
  EXPECT_EQ("Line: 1, column: 4, Unexpected end of input.", ErrorOf("tru"));
  EXPECT_EQ("Line: 1, column: 4, Syntax error.", ErrorOf("nulL"));
  EXPECT_EQ("Line: 1, column: 3, Unexpected end of input.", ErrorOf("[1"));
  EXPECT_EQ("Line: 1, column: 6, Unexpected token.", ErrorOf("{\"a\" 1}"));
  EXPECT_EQ("Line: 1, column: 5, Unexpected end of input.", ErrorOf("\"abc"));
  JSONReader::Result result = JSONReader::ReadAndReturnValueWithError("[\n\n  x]");
  EXPECT_FALSE(result.has_value());
  EXPECT_EQ(3, result.error.line);
  EXPECT_EQ(3, result.error.column);
  // Carriage returns do not start lines; the column counts them.
  EXPECT_EQ("Line: 2, column: 2, Unexpected token.", ErrorOf("[\r\n\r?]"));
  EXPECT_TRUE(JSONReader::ReadAndReturnValueWithError("[]").error.message.empty());
}

TEST(JSONReaderTest, NestingLimitAndDuplicates) {
  std::string deep(JSONReader::kStackMaxDepth, '[');
  deep += std::string(JSONReader::kStackMaxDepth, ']');
  EXPECT_TRUE(JSONReader::Read(deep));
  std::string too_deep = "[" + deep + "]";
  EXPECT_EQ("Line: 1, column: 201, Too much nesting.", ErrorOf(too_deep));
  EXPECT_EQ(Value(2), *JSONReader::Read("{\"a\":1,\"a\":2}")->GetDict().Find("a"));
}

TEST(JSONReaderTest, ReadDictAndRoundTrip) {
  EXPECT_FALSE(JSONReader::ReadDict("[1]"));
  EXPECT_FALSE(JSONReader::ReadDict("{"));
  const char kJson[] =
      "{\"_all_users\":false,\"files\":[\"a\",\"b\"],\"n\":1.0,\"path\":\"C:\\\\x\",\"z\":{}}";
  std::optional<Value::Dict> dict = JSONReader::ReadDict(kJson);
  ASSERT_TRUE(dict);
  std::string out;
  ASSERT_TRUE(JSONWriter::Write(*dict, &out));
  EXPECT_EQ(kJson, out);
}

}  // namespace
}  // namespace base
