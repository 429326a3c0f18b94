#include "base/strings/string_util.h"

#include <gtest/gtest.h>

namespace base {
namespace {

TEST(StringUtilTest, TrimWhitespaceUnicodeAndASCII) {
  std::wstring out;
  EXPECT_EQ(TRIM_ALL, TrimWhitespace(L"\u3000 a b\u00A0\t", TRIM_ALL, &out));
  EXPECT_EQ(L"a b", out);
  EXPECT_EQ(TRIM_LEADING, TrimWhitespace(L" \u2028x", TRIM_ALL, &out));
  EXPECT_EQ(L"x", out);
  EXPECT_EQ(TRIM_NONE, TrimWhitespace(L"  x  ", TRIM_NONE, &out));
  EXPECT_EQ(L"  x  ", out);
  EXPECT_EQ(L"x  ", TrimWhitespace(std::wstring_view(L"  x  "), TRIM_LEADING));
  EXPECT_EQ(L"  x", TrimWhitespace(std::wstring_view(L"  x  "), TRIM_TRAILING));
  // Output aliasing its input.
  out = L"  y ";
  TrimWhitespace(out, TRIM_ALL, &out);
  EXPECT_EQ(L"y", out);

  // UTF-8: no-break space C2 A0 and ideographic space E3 80 80 are trimmed,
  // other multi-byte characters are not.
  EXPECT_EQ("\xC3\xA9", TrimWhitespace(std::string_view("\xC2\xA0\xC3\xA9\xE3\x80\x80"),
                                       TRIM_ALL));
  EXPECT_EQ("", TrimWhitespace(std::string_view(" \t\xC2\xA0"), TRIM_ALL));
  // Malformed sequences are no white space: an overlong space, a cut one.
  EXPECT_EQ("\xC0\xA0x\xE3\x80", TrimWhitespace(std::string_view("\xC0\xA0x\xE3\x80"), TRIM_ALL));

  // The ASCII form leaves the no-break space alone.
  std::string narrow;
  EXPECT_EQ(TRIM_ALL, TrimWhitespaceASCII(" \v\f\xC2\xA0x\r\n", TRIM_ALL, &narrow));
  EXPECT_EQ("\xC2\xA0x", narrow);
  EXPECT_EQ(L"\u00A0", TrimWhitespaceASCII(std::wstring_view(L"\t\u00A0 "), TRIM_ALL));
}

TEST(StringUtilTest, TrimString) {
  std::string out;
  EXPECT_TRUE(TrimString("xxaxbxx", "x", &out));
  EXPECT_EQ("axb", out);
  EXPECT_FALSE(TrimString("abc", "x", &out));
  EXPECT_EQ("abc", out);
  EXPECT_EQ(L"a\\", TrimString(std::wstring_view(L"\\\\a\\"), L"\\", TRIM_LEADING));
}

TEST(StringUtilTest, CaseFunctions) {
  EXPECT_EQ("abc\xC3\x89z", ToLowerASCII(std::string_view("AbC\xC3\x89Z")));
  EXPECT_EQ(L"ABC\u00E9", ToUpperASCII(std::wstring_view(L"abc\u00E9")));
  EXPECT_TRUE(EqualsCaseInsensitiveASCII("HeLLo", "hello"));
  EXPECT_FALSE(EqualsCaseInsensitiveASCII("hello", "hello!"));
  EXPECT_TRUE(EqualsCaseInsensitiveASCII(L"Program Files", L"PROGRAM files"));
  EXPECT_FALSE(EqualsCaseInsensitiveASCII(L"\u00C9", L"\u00E9"));  // non-ASCII not folded
  EXPECT_LT(CompareCaseInsensitiveASCII("a", "B"), 0);
  EXPECT_GT(CompareCaseInsensitiveASCII("ab", "A"), 0);
  EXPECT_EQ('a', ToLowerASCII('A'));
  EXPECT_EQ(L'Z', ToUpperASCII(L'z'));
}

TEST(StringUtilTest, StartsWithEndsWith) {
  EXPECT_TRUE(StartsWith("--switch", "--"));
  EXPECT_FALSE(StartsWith("-", "--"));
  EXPECT_FALSE(StartsWith("ABC", "ab"));
  EXPECT_TRUE(StartsWith("ABC", "ab", CompareCase::INSENSITIVE_ASCII));
  EXPECT_TRUE(StartsWith(L"x", L""));
  EXPECT_TRUE(EndsWith(L"setup.EXE", L".exe", CompareCase::INSENSITIVE_ASCII));
  EXPECT_FALSE(EndsWith(L"setup.EXE", L".exe"));
  EXPECT_FALSE(EndsWith("e", "exe"));
}

TEST(StringUtilTest, ReplaceSubstringsAndChars) {
  std::string text = "aaa";
  ReplaceSubstringsAfterOffset(&text, 0, "a", "aa");  // no re-scan of replaced text
  EXPECT_EQ("aaaaaa", text);
  text = "a.b.c";
  ReplaceSubstringsAfterOffset(&text, 2, ".", "::");
  EXPECT_EQ("a.b::c", text);
  text = "abc";
  ReplaceSubstringsAfterOffset(&text, 10, "a", "b");  // offset past the end
  EXPECT_EQ("abc", text);
  ReplaceSubstringsAfterOffset(&text, 0, "", "x");
  EXPECT_EQ("abc", text);
  std::wstring wide = L"{x}{x}";
  ReplaceFirstSubstringAfterOffset(&wide, 0, L"{x}", L"1");
  EXPECT_EQ(L"1{x}", wide);

  std::wstring out;
  EXPECT_TRUE(ReplaceChars(L"a/b/c", L"/", L"\\\\", &out));
  EXPECT_EQ(L"a\\\\b\\\\c", out);
  EXPECT_FALSE(ReplaceChars(L"abc", L"/", L"x", &out));
  EXPECT_EQ(L"abc", out);
  std::string removed;
  EXPECT_TRUE(RemoveChars("a\r\nb", "\r\n", &removed));
  EXPECT_EQ("ab", removed);
}

TEST(StringUtilTest, JoinString) {
  EXPECT_EQ("", JoinString(std::vector<std::string>(), ", "));
  EXPECT_EQ("a", JoinString(std::vector<std::string>{"a"}, ", "));
  EXPECT_EQ("a; ; b", JoinString({"a", "", "b"}, "; "));
  EXPECT_EQ(L"x\\y", JoinString(std::vector<std::wstring>{L"x", L"y"}, L"\\"));
}

TEST(StringUtilTest, ReplaceStringPlaceholders) {
  std::vector<size_t> offsets;
  EXPECT_EQ(L"5 of ", ReplaceStringPlaceholders(L"$1 of $2", {L"5"}, &offsets));
  EXPECT_EQ((std::vector<size_t>{0, 5}), offsets);
  EXPECT_EQ(L"b a", ReplaceStringPlaceholders(L"$2 $1", {L"a", L"b"}, &offsets));
  // Offsets ordered by placeholder number, not by position.
  EXPECT_EQ((std::vector<size_t>{2, 0}), offsets);
  EXPECT_EQ("cost $5 .", ReplaceStringPlaceholders("cost $$$1 $ $x$0.", {"5"}, nullptr));
  EXPECT_EQ("end$", ReplaceStringPlaceholders("end$", {}, nullptr));
  EXPECT_EQ(L"$1", ReplaceStringPlaceholders(L"$$1", std::vector<std::wstring>{L"no"}, nullptr));
  EXPECT_EQ(L"9th", ReplaceStringPlaceholders(
                        L"$9th", {L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9"}, nullptr));
  size_t offset = 0;
  EXPECT_EQ(L"The folder C:\\x could not be created.",
            ReplaceStringPlaceholders(L"The folder $1 could not be created.", L"C:\\x", &offset));
  EXPECT_EQ(11u, offset);
}

TEST(StringUtilTest, Classifiers) {
  EXPECT_TRUE(IsAsciiWhitespace('\v'));
  EXPECT_FALSE(IsAsciiWhitespace(L'\u00A0'));
  EXPECT_TRUE(IsUnicodeWhitespace(L'\u00A0'));
  EXPECT_FALSE(IsUnicodeWhitespace(L'\uFEFF'));
  EXPECT_TRUE(IsHexDigit('F'));
  EXPECT_FALSE(IsHexDigit('g'));
  EXPECT_EQ(11, HexDigitToInt(L'b'));
  EXPECT_TRUE(ContainsOnlyChars("0123", "0123456789"));
  EXPECT_FALSE(ContainsOnlyChars(L"12a", L"0123456789"));
}

}  // namespace
}  // namespace base
