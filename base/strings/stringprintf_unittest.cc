#include "base/strings/stringprintf.h"

#include <gtest/gtest.h>

namespace base {
namespace {

TEST(StringPrintfTest, NarrowAndWide) {
  EXPECT_EQ("7 abc 0x1f 3.50", StringPrintf("%d %s 0x%x %.2f", 7, "abc", 31, 3.5));
  EXPECT_EQ("-9223372036854775807 18446744073709551615",
            StringPrintf("%lld %zu", -9223372036854775807LL, static_cast<size_t>(-1)));
  EXPECT_EQ("wide: abc", StringPrintf("wide: %ls", L"abc"));
  // Wide formats: %ls is wide text and %s is narrow text.
  EXPECT_EQ(L"path C:\\a, name n, 42", StringPrintf(L"path %ls, name %s, %d", L"C:\\a", "n", 42));
  EXPECT_EQ(L"00000001-0002", StringPrintf(L"%08x-%04x", 1u, 2u));
}

TEST(StringPrintfTest, LongOutputAndAppend) {
  const std::string long_text(5000, 'x');
  EXPECT_EQ(long_text + "!", StringPrintf("%s!", long_text.c_str()));
  const std::wstring long_wide(3000, L'y');
  EXPECT_EQ(L"<" + long_wide + L">", StringPrintf(L"<%ls>", long_wide.c_str()));
  std::string text = "a";
  StringAppendF(&text, "%c%d", 'b', 1);
  EXPECT_EQ("ab1", text);
  std::wstring wide = L"a";
  StringAppendF(&wide, L"%ls", L"b");
  EXPECT_EQ(L"ab", wide);
}

}  // namespace
}  // namespace base
