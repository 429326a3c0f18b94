#include "base/environment.h"

#include "base/strings/utf_string_conversions.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace base {
namespace {

TEST(EnvironmentTest, SetGetUnsetRoundTripWithUnicode) {
  std::unique_ptr<Environment> env = Environment::Create();
  std::string name = WideToUTF8(test::UniqueName(L"VELTO_ENV_TEST"));
  std::string value;
  EXPECT_FALSE(env->GetVar(name, &value));
  EXPECT_FALSE(env->HasVar(name));

  const std::string unicode = "caf\xc3\xa9 \xe2\x82\xac";
  ASSERT_TRUE(env->SetVar(name, unicode));
  ASSERT_TRUE(env->GetVar(name, &value));
  EXPECT_EQ(unicode, value);
  // Windows compares names without case.
  std::string lower = name;
  for (char& c : lower)
    c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  EXPECT_TRUE(env->HasVar(lower));

  // A long value crosses the first buffer.
  std::string long_value(5000, 'x');
  ASSERT_TRUE(env->SetVar(name, long_value));
  ASSERT_TRUE(env->GetVar(name, &value));
  EXPECT_EQ(long_value, value);

  ASSERT_TRUE(env->SetVar(name, ""));
  EXPECT_TRUE(env->GetVar(name, &value));
  EXPECT_EQ("", value);

  EXPECT_TRUE(env->UnSetVar(name));
  EXPECT_FALSE(env->HasVar(name));
  EXPECT_TRUE(env->UnSetVar(name));
  EXPECT_FALSE(env->SetVar("A=B", "x"));
}

}  // namespace
}  // namespace base
