#include "desktop/windows/installer/service/parse_json_dictionary.h"

#include "base/base64.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(ParseJsonDictionaryTest, ObjectSurroundedByOtherBytes) {
  std::string text = base::Base64Encode("tracking:{\"a\":{\"b\":1}};\x01") + "\r\n \t";
  std::optional<base::Value::Dict> dict = ParseJsonDictionary(text);
  ASSERT_TRUE(dict);
  EXPECT_EQ(1, dict->FindIntByDottedPath("a.b"));
}

TEST(ParseJsonDictionaryTest, Failures) {
  // An array is no dictionary; only the braced part of the bytes counts.
  EXPECT_FALSE(ParseJsonDictionary(base::Base64Encode("[1,2]")));
  EXPECT_TRUE(ParseJsonDictionary(base::Base64Encode("[1,{\"a\":1}]")));
  // No braces, or in the wrong order.
  EXPECT_FALSE(ParseJsonDictionary(base::Base64Encode("plain")));
  EXPECT_FALSE(ParseJsonDictionary(base::Base64Encode("}{")));
  // Braces around two values.
  EXPECT_FALSE(ParseJsonDictionary(base::Base64Encode("{\"a\":1} {\"b\":2}")));
  // Not Base64; leading white space is not dropped.
  EXPECT_FALSE(ParseJsonDictionary("{\"a\":1}"));
  EXPECT_FALSE(ParseJsonDictionary(" " + base::Base64Encode("{}")));
  EXPECT_FALSE(ParseJsonDictionary(""));
  EXPECT_TRUE(ParseJsonDictionary(base::Base64Encode("{}")));
}

}  // namespace
}  // namespace installer
