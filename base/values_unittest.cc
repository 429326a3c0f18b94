#include "base/values.h"

#include <gtest/gtest.h>

namespace base {
namespace {

TEST(ValuesTest, TypesAndAccessors) {
  EXPECT_TRUE(Value().is_none());
  EXPECT_EQ(Value::Type::LIST, Value(Value::Type::LIST).type());
  Value b(true);
  EXPECT_EQ(true, b.GetIfBool());
  EXPECT_FALSE(b.GetIfInt());
  Value i(7);
  EXPECT_EQ(7, i.GetInt());
  EXPECT_EQ(7.0, i.GetIfDouble());  // integers widen
  EXPECT_EQ(7.0, i.GetDouble());
  Value d(2.5);
  EXPECT_FALSE(d.GetIfInt());
  Value s(L"\u00E9");  // wide text is stored as UTF-8
  EXPECT_EQ("\xC3\xA9", s.GetString());
  EXPECT_EQ(nullptr, i.GetIfString());
  Value blob(Value::BlobStorage{1, 2});
  EXPECT_EQ(2u, blob.GetBlob().size());
  EXPECT_EQ("x", Value("x").GetString());
  EXPECT_EQ(std::string("abc"), Value(std::string("abc")).GetString());
}

TEST(ValuesTest, EqualityAndClone) {
  EXPECT_NE(Value(1), Value(1.0));  // an integer never equals a double
  EXPECT_EQ(Value(), Value());
  EXPECT_TRUE(Value("a") == "a");
  EXPECT_TRUE(Value(3) == 3);
  Value::Dict dict;
  dict.Set("list", Value::List());
  dict.FindList("list")->Append("x");
  dict.Set("n", 1);
  Value::Dict copy = dict.Clone();
  EXPECT_EQ(dict, copy);
  copy.FindList("list")->Append(2);
  EXPECT_NE(dict, copy);
  EXPECT_EQ(1u, dict.FindList("list")->size());  // deep copy
  Value moved(std::move(copy));
  EXPECT_EQ(2u, moved.GetDict().FindList("list")->size());
}

TEST(ValuesTest, DictBasics) {
  Value::Dict dict;
  EXPECT_TRUE(dict.empty());
  dict.Set("b", 1);
  dict.Set("a", "text");
  dict.Set("C", true);
  dict.Set("d", 1.5);
  dict.Set("b", 2);  // replaces
  EXPECT_EQ(4u, dict.size());
  EXPECT_EQ(2, dict.FindInt("b"));
  EXPECT_FALSE(dict.FindInt("a"));
  EXPECT_EQ(1.5, dict.FindDouble("d"));
  EXPECT_EQ(2.0, dict.FindDouble("b"));
  EXPECT_EQ(true, dict.FindBool("C"));
  EXPECT_EQ("text", *dict.FindString("a"));
  EXPECT_EQ(nullptr, dict.FindDict("a"));
  EXPECT_TRUE(dict.contains("a"));
  EXPECT_FALSE(dict.contains("z"));
  // Byte order: upper case before lower case.
  std::string keys;
  for (const auto& [key, value] : dict) keys += key;
  EXPECT_EQ("Cabd", keys);
  std::optional<Value> extracted = dict.Extract("a");
  ASSERT_TRUE(extracted);
  EXPECT_EQ("text", extracted->GetString());
  EXPECT_FALSE(dict.Extract("a"));
  EXPECT_TRUE(dict.Remove("b"));
  EXPECT_FALSE(dict.Remove("b"));
  EXPECT_EQ(2u, dict.size());
}

TEST(ValuesTest, DottedPaths) {
  Value::Dict dict;
  ASSERT_TRUE(dict.SetByDottedPath("a.b.c", 5));
  EXPECT_EQ(5, dict.FindIntByDottedPath("a.b.c"));
  EXPECT_TRUE(dict.FindDictByDottedPath("a.b"));
  dict.SetByDottedPath("a.x", "y");
  EXPECT_EQ("y", *dict.FindStringByDottedPath("a.x"));
  EXPECT_EQ(nullptr, dict.FindByDottedPath("a.b.c.d"));
  EXPECT_EQ(nullptr, dict.FindByDottedPath("a.q"));
  // A non-dictionary in the way becomes one.
  ASSERT_TRUE(dict.SetByDottedPath("a.x.z", 1));
  EXPECT_EQ(1, dict.FindIntByDottedPath("a.x.z"));
  EXPECT_EQ(1u, dict.FindDictByDottedPath("a.x")->size());
  dict.SetByDottedPath("a.x", "y");
  EXPECT_EQ(nullptr, dict.SetByDottedPath("a..b", 1));
  EXPECT_EQ(nullptr, dict.SetByDottedPath("", 1));
  EXPECT_EQ(nullptr, dict.SetByDottedPath("a.", 1));
  // Keys with dots are reachable directly only.
  dict.Set("k.1", 1);
  EXPECT_EQ(1, dict.FindInt("k.1"));
  EXPECT_EQ(nullptr, dict.FindByDottedPath("k.1"));

  // Removing prunes the dictionaries emptied on the way, and only those.
  EXPECT_TRUE(dict.RemoveByDottedPath("a.b.c"));
  EXPECT_EQ(nullptr, dict.FindByDottedPath("a.b"));
  EXPECT_TRUE(dict.FindDict("a"));  // still holds "x"
  EXPECT_TRUE(dict.RemoveByDottedPath("a.x"));
  EXPECT_FALSE(dict.contains("a"));
  EXPECT_FALSE(dict.RemoveByDottedPath("a.x"));
  dict.SetByDottedPath("p.q", Value::Dict());
  EXPECT_TRUE(dict.RemoveByDottedPath("p.q"));
  EXPECT_FALSE(dict.contains("p"));
  EXPECT_FALSE(dict.RemoveByDottedPath("k"));
}

TEST(ValuesTest, Merge) {
  Value::Dict base;
  base.SetByDottedPath("a.keep", 1);
  base.SetByDottedPath("a.replace", 1);
  base.Set("list", Value::List());
  base.FindList("list")->Append(1);
  Value::Dict other;
  other.SetByDottedPath("a.replace", "two");
  other.SetByDottedPath("a.new", true);
  other.Set("list", Value::List());
  base.Merge(std::move(other));
  EXPECT_EQ(1, base.FindIntByDottedPath("a.keep"));
  EXPECT_EQ("two", *base.FindStringByDottedPath("a.replace"));
  EXPECT_EQ(true, base.FindBoolByDottedPath("a.new"));
  EXPECT_TRUE(base.FindList("list")->empty());  // lists replace
}

TEST(ValuesTest, ListOperations) {
  Value::List list;
  list.Append(1);
  list.Append("two");
  list.Append(Value::Dict());
  list.Insert(list.begin(), Value(0));
  ASSERT_EQ(4u, list.size());
  EXPECT_EQ(0, list[0].GetInt());
  EXPECT_EQ("two", list[2].GetString());
  EXPECT_TRUE(list.back().is_dict());
  list.erase(list.begin() + 1);
  EXPECT_EQ("two", list[1].GetString());
  list.Append("two");
  EXPECT_EQ(2u, list.EraseValue(Value("two")));
  int count = 0;
  for (const Value& v : list) count += v.is_dict() ? 1 : 0;
  EXPECT_EQ(1, count);
  Value::List copy = list.Clone();
  EXPECT_EQ(list, copy);
}

TEST(ValuesTest, DebugString) {
  Value::Dict dict;
  dict.Set("a", 1);
  EXPECT_EQ("{\"a\":1}", Value(std::move(dict)).DebugString());
}

}  // namespace
}  // namespace base
