#include "base/strings/string_split.h"

#include <gtest/gtest.h>

namespace base {
namespace {

using Strings = std::vector<std::string>;
using WStrings = std::vector<std::wstring>;

TEST(StringSplitTest, SplitAtCharacters) {
  EXPECT_EQ(Strings(), SplitString("", ",", KEEP_WHITESPACE, SPLIT_WANT_ALL));
  EXPECT_EQ((Strings{"", ""}), SplitString(",", ",", KEEP_WHITESPACE, SPLIT_WANT_ALL));
  EXPECT_EQ(Strings(), SplitString("", ",", KEEP_WHITESPACE, SPLIT_WANT_NONEMPTY));
  EXPECT_EQ((Strings{"a", "", "b", ""}), SplitString("a,,b,", ",", KEEP_WHITESPACE, SPLIT_WANT_ALL));
  EXPECT_EQ((Strings{"a", "b"}), SplitString("a,,b,", ",", KEEP_WHITESPACE, SPLIT_WANT_NONEMPTY));
  EXPECT_EQ((Strings{" a ", " b"}), SplitString(" a ; b", ";", KEEP_WHITESPACE, SPLIT_WANT_ALL));
  EXPECT_EQ((Strings{"a", "b"}), SplitString(" a ; b", ";", TRIM_WHITESPACE, SPLIT_WANT_ALL));
  // Parts that are empty only after trimming are dropped too.
  EXPECT_EQ((Strings{"a"}), SplitString("a,  ,", ",", TRIM_WHITESPACE, SPLIT_WANT_NONEMPTY));
  // Several separator characters: a files list with CR LF line ends.
  EXPECT_EQ((Strings{"x.dll", "y.exe"}),
            SplitString("x.dll\r\ny.exe\r\n", "\r\n", KEEP_WHITESPACE, SPLIT_WANT_NONEMPTY));
}

TEST(StringSplitTest, WideTrimsUnicodeWhitespace) {
  EXPECT_EQ((WStrings{L"a", L"b"}),
            SplitString(L"\u3000a,b\u00A0", L",", TRIM_WHITESPACE, SPLIT_WANT_ALL));
  const std::wstring text = L"k=v;w";
  const auto pieces = SplitStringPiece(text, L"=;", KEEP_WHITESPACE, SPLIT_WANT_ALL);
  ASSERT_EQ(3u, pieces.size());
  EXPECT_EQ(L"w", pieces[2]);
  EXPECT_EQ(text.data() + 4, pieces[2].data());  // views into the input
}

TEST(StringSplitTest, SplitUsingSubstring) {
  EXPECT_EQ((Strings{"a", "b", "", "c"}),
            SplitStringUsingSubstr("a::b::::c", "::", KEEP_WHITESPACE, SPLIT_WANT_ALL));
  EXPECT_EQ((Strings{"a:b"}), SplitStringUsingSubstr("a:b", "::", KEEP_WHITESPACE, SPLIT_WANT_ALL));
  EXPECT_EQ((WStrings{L"x", L"y"}),
            SplitStringUsingSubstr(L" x -- y ", L"--", TRIM_WHITESPACE, SPLIT_WANT_NONEMPTY));
}

}  // namespace
}  // namespace base
