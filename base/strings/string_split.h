// Splitting text at separator characters or at a separator string, with
// optional white-space trimming of each part and optional dropping of empty
// parts. Trimming uses ASCII white space for std::string and the Unicode set for
// std::wstring.

#ifndef BASE_STRINGS_STRING_SPLIT_H_
#define BASE_STRINGS_STRING_SPLIT_H_

#include <string>
#include <string_view>
#include <vector>

namespace base {

enum WhitespaceHandling {
  KEEP_WHITESPACE,
  TRIM_WHITESPACE,
};

enum SplitResult {
  // Every part, empty ones included: "a,,b" gives {"a", "", "b"} and "," gives
  // {"", ""}. An empty text gives no part at all.
  SPLIT_WANT_ALL,
  // Parts that are empty (after trimming, when asked) are dropped.
  SPLIT_WANT_NONEMPTY,
};

// Splits at any one of the characters in |separators|.
std::vector<std::string> SplitString(std::string_view input, std::string_view separators,
                                     WhitespaceHandling whitespace, SplitResult result);
std::vector<std::wstring> SplitString(std::wstring_view input, std::wstring_view separators,
                                      WhitespaceHandling whitespace, SplitResult result);

// The same, as views into |input| (which must outlive them).
std::vector<std::string_view> SplitStringPiece(std::string_view input,
                                               std::string_view separators,
                                               WhitespaceHandling whitespace,
                                               SplitResult result);
std::vector<std::wstring_view> SplitStringPiece(std::wstring_view input,
                                                std::wstring_view separators,
                                                WhitespaceHandling whitespace,
                                                SplitResult result);

// Splits at every occurrence of the whole string |delimiter| (not empty).
std::vector<std::string> SplitStringUsingSubstr(std::string_view input,
                                                std::string_view delimiter,
                                                WhitespaceHandling whitespace,
                                                SplitResult result);
std::vector<std::wstring> SplitStringUsingSubstr(std::wstring_view input,
                                                 std::wstring_view delimiter,
                                                 WhitespaceHandling whitespace,
                                                 SplitResult result);

}  // namespace base

#endif  // BASE_STRINGS_STRING_SPLIT_H_
