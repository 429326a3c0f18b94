#include "base/json/json_writer.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace base {
namespace {

std::string Write(const Value& value, int options = 0) {
  std::string out = "junk";
  EXPECT_TRUE(JSONWriter::WriteWithOptions(value, options, &out));
  return out;
}

TEST(JSONWriterTest, ScalarsAndDoubles) {
  EXPECT_EQ("null", Write(Value()));
  EXPECT_EQ("true", Write(Value(true)));
  EXPECT_EQ("-42", Write(Value(-42)));
  EXPECT_EQ("1.0", Write(Value(1.0)));
  EXPECT_EQ("-0.5", Write(Value(-0.5)));
  EXPECT_EQ("0.1", Write(Value(0.1)));
  EXPECT_EQ("1e+21", Write(Value(1e21)));
  EXPECT_EQ("1e-07", Write(Value(1e-7)));
  EXPECT_EQ("3", Write(Value(3.0), JSONWriter::OPTIONS_OMIT_DOUBLE_TYPE_PRESERVATION));
  std::string out = "junk";
  EXPECT_FALSE(JSONWriter::Write(Value(std::numeric_limits<double>::quiet_NaN()), &out));
  EXPECT_EQ("", out);
  EXPECT_FALSE(JSONWriter::Write(Value(INFINITY), &out));
}

TEST(JSONWriterTest, StringEscaping) {
  EXPECT_EQ("\"q\\\"b\\\\s/\\b\\f\\n\\r\\t\\u0001\\u001B\\u001F\x7f\"",
            Write(Value("q\"b\\s/\b\f\n\r\t\x01\x1b\x1f\x7f")));
  EXPECT_EQ("\"a\\u0000b\"", Write(Value(std::string("a\0b", 3))));
  // Safe inside an HTML script block and as JavaScript source.
  EXPECT_EQ("\"\\u003C/script>\"", Write(Value("</script>")));
  EXPECT_EQ("\"a\\u2028b\\u2029c\"", Write(Value("a\xE2\x80\xA8" "b\xE2\x80\xA9" "c")));
  EXPECT_EQ("\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\"",
            Write(Value("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80")));  // as is
  // Each malformed part becomes one U+FFFD: a stray byte, a sequence cut
  // short, an overlong form, an encoded surrogate.
  EXPECT_EQ("\"x\xEF\xBF\xBDy\"", Write(Value("x\xFFy")));
  EXPECT_EQ("\"\xEF\xBF\xBDz\"", Write(Value("\xE2\x82z")));
  EXPECT_EQ("\"\xEF\xBF\xBD\xEF\xBF\xBD\"", Write(Value("\xC0\xAF")));
  EXPECT_EQ("\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"", Write(Value("\xED\xA0\x80")));
}

TEST(JSONWriterTest, ContainersCompactAndSorted) {
  Value::Dict dict;
  dict.Set("version", "1.2");
  dict.Set("_all_users", true);
  dict.Set("app_id", "x");
  Value::List list;
  list.Append(1);
  list.Append(Value::Dict());
  list.Append(Value::List());
  dict.Set("files", std::move(list));
  std::string out;
  ASSERT_TRUE(JSONWriter::Write(dict, &out));
  EXPECT_EQ("{\"_all_users\":true,\"app_id\":\"x\",\"files\":[1,{},[]],\"version\":\"1.2\"}",
            out);
}

TEST(JSONWriterTest, BinaryAndPrettyPrint) {
  Value::Dict dict;
  dict.Set("b", Value::BlobStorage{1});
  dict.Set("a", 1);
  std::string out = "junk";
  EXPECT_FALSE(JSONWriter::Write(dict, &out));
  EXPECT_EQ("", out);
  EXPECT_TRUE(JSONWriter::WriteWithOptions(dict, JSONWriter::OPTIONS_OMIT_BINARY_VALUES, &out));
  EXPECT_EQ("{\"a\":1}", out);
  dict.Remove("b");
  Value::List list;
  list.Append(2);
  dict.Set("l", std::move(list));
  EXPECT_EQ("{\n   \"a\": 1,\n   \"l\": [\n      2\n   ]\n}\n",
            Write(Value(std::move(dict)), JSONWriter::OPTIONS_PRETTY_PRINT));
  EXPECT_EQ("[]\n", Write(Value(Value::Type::LIST), JSONWriter::OPTIONS_PRETTY_PRINT));
  EXPECT_EQ(std::optional<std::string>("[]"), WriteJson(Value(Value::Type::LIST)));
}

TEST(JSONWriterTest, NestingLimit) {
  Value value(Value::Type::LIST);
  for (int i = 0; i < 300; ++i) {
    Value::List outer;
    outer.Append(std::move(value));
    value = Value(std::move(outer));
  }
  EXPECT_FALSE(WriteJson(value));
}

}  // namespace
}  // namespace base
