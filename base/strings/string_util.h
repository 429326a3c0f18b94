// Small text helpers shared by the whole code base, for UTF-8 std::string and
// UTF-16 std::wstring alike. "ASCII" functions look at 7-bit characters only and
// leave every other byte or unit as it is; the plain Trim/whitespace functions
// know the Unicode white-space set.

#ifndef BASE_STRINGS_STRING_UTIL_H_
#define BASE_STRINGS_STRING_UTIL_H_

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace base {

// Which ends to trim; also the result of a trim: the ends that lost characters.
enum TrimPositions {
  TRIM_NONE = 0,
  TRIM_LEADING = 1 << 0,
  TRIM_TRAILING = 1 << 1,
  TRIM_ALL = TRIM_LEADING | TRIM_TRAILING,
};

enum class CompareCase {
  SENSITIVE,
  INSENSITIVE_ASCII,
};

// The ASCII white-space set: space, \t, \n, \v, \f, \r.
extern const char kWhitespaceASCII[];
extern const wchar_t kWhitespaceASCIIWide[];
// The Unicode White_Space set (UTF-16 units), ASCII ones included.
extern const wchar_t kWhitespaceWide[];

// The character classifiers below take single characters of any width; the
// constraint keeps string arguments on the string overloads.
template <typename T>
concept CharacterType = std::is_integral_v<T>;

template <CharacterType Char>
constexpr bool IsAsciiWhitespace(Char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
template <CharacterType Char>
constexpr bool IsAsciiDigit(Char c) {
  return c >= '0' && c <= '9';
}
template <CharacterType Char>
constexpr bool IsAsciiUpper(Char c) {
  return c >= 'A' && c <= 'Z';
}
template <CharacterType Char>
constexpr bool IsAsciiLower(Char c) {
  return c >= 'a' && c <= 'z';
}
template <CharacterType Char>
constexpr bool IsAsciiAlpha(Char c) {
  return IsAsciiUpper(c) || IsAsciiLower(c);
}
template <CharacterType Char>
constexpr bool IsHexDigit(Char c) {
  return IsAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
// The value of a hexadecimal digit; callers check IsHexDigit first.
template <CharacterType Char>
constexpr int HexDigitToInt(Char c) {
  return IsAsciiDigit(c) ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : c - 'A' + 10;
}
template <CharacterType Char>
constexpr Char ToLowerASCII(Char c) {
  return IsAsciiUpper(c) ? static_cast<Char>(c + ('a' - 'A')) : c;
}
template <CharacterType Char>
constexpr Char ToUpperASCII(Char c) {
  return IsAsciiLower(c) ? static_cast<Char>(c - ('a' - 'A')) : c;
}
// True for a UTF-16 unit of the Unicode White_Space set.
bool IsUnicodeWhitespace(wchar_t c);

std::string ToLowerASCII(std::string_view text);
std::wstring ToLowerASCII(std::wstring_view text);
std::string ToUpperASCII(std::string_view text);
std::wstring ToUpperASCII(std::wstring_view text);

// <0, 0 or >0 as |a| sorts before, equal to or after |b| with ASCII letters folded.
int CompareCaseInsensitiveASCII(std::string_view a, std::string_view b);
int CompareCaseInsensitiveASCII(std::wstring_view a, std::wstring_view b);
bool EqualsCaseInsensitiveASCII(std::string_view a, std::string_view b);
bool EqualsCaseInsensitiveASCII(std::wstring_view a, std::wstring_view b);

bool StartsWith(std::string_view text, std::string_view prefix,
                CompareCase compare = CompareCase::SENSITIVE);
bool StartsWith(std::wstring_view text, std::wstring_view prefix,
                CompareCase compare = CompareCase::SENSITIVE);
bool EndsWith(std::string_view text, std::string_view suffix,
              CompareCase compare = CompareCase::SENSITIVE);
bool EndsWith(std::wstring_view text, std::wstring_view suffix,
              CompareCase compare = CompareCase::SENSITIVE);

// Removes the characters of |trim_chars| from the chosen ends. The output forms
// return true when anything was removed; |output| may alias |input|'s storage.
bool TrimString(std::string_view input, std::string_view trim_chars, std::string* output);
bool TrimString(std::wstring_view input, std::wstring_view trim_chars, std::wstring* output);
std::string_view TrimString(std::string_view input, std::string_view trim_chars,
                            TrimPositions positions);
std::wstring_view TrimString(std::wstring_view input, std::wstring_view trim_chars,
                             TrimPositions positions);

// Unicode white space. The narrow form reads UTF-8 (for example U+00A0 is C2 A0
// and U+3000 is E3 80 80). The output forms return the ends that were trimmed.
TrimPositions TrimWhitespace(std::wstring_view input, TrimPositions positions,
                             std::wstring* output);
TrimPositions TrimWhitespace(std::string_view input, TrimPositions positions,
                             std::string* output);
std::wstring_view TrimWhitespace(std::wstring_view input, TrimPositions positions);
std::string_view TrimWhitespace(std::string_view input, TrimPositions positions);

// ASCII white space only (space \t \n \v \f \r).
TrimPositions TrimWhitespaceASCII(std::string_view input, TrimPositions positions,
                                  std::string* output);
TrimPositions TrimWhitespaceASCII(std::wstring_view input, TrimPositions positions,
                                  std::wstring* output);
std::string_view TrimWhitespaceASCII(std::string_view input, TrimPositions positions);
std::wstring_view TrimWhitespaceASCII(std::wstring_view input, TrimPositions positions);

// Replaces every |find| at or after |start_offset| by |replace_with|, scanning
// left to right without re-reading replaced text. An empty |find| does nothing.
void ReplaceSubstringsAfterOffset(std::string* text, size_t start_offset,
                                  std::string_view find, std::string_view replace_with);
void ReplaceSubstringsAfterOffset(std::wstring* text, size_t start_offset,
                                  std::wstring_view find, std::wstring_view replace_with);
// Only the first occurrence at or after |start_offset|.
void ReplaceFirstSubstringAfterOffset(std::string* text, size_t start_offset,
                                      std::string_view find, std::string_view replace_with);
void ReplaceFirstSubstringAfterOffset(std::wstring* text, size_t start_offset,
                                      std::wstring_view find, std::wstring_view replace_with);

// Copies |input| to |output| with every character of |replace_chars| replaced
// by the string |replace_with| (possibly empty). True when anything changed.
bool ReplaceChars(std::string_view input, std::string_view replace_chars,
                  std::string_view replace_with, std::string* output);
bool ReplaceChars(std::wstring_view input, std::wstring_view replace_chars,
                  std::wstring_view replace_with, std::wstring* output);
// Drops every character of |remove_chars|. True when anything was removed.
bool RemoveChars(std::string_view input, std::string_view remove_chars, std::string* output);
bool RemoveChars(std::wstring_view input, std::wstring_view remove_chars,
                 std::wstring* output);

// The parts with |separator| between them.
std::string JoinString(const std::vector<std::string>& parts, std::string_view separator);
std::wstring JoinString(const std::vector<std::wstring>& parts, std::wstring_view separator);
std::string JoinString(const std::vector<std::string_view>& parts, std::string_view separator);
std::wstring JoinString(const std::vector<std::wstring_view>& parts,
                        std::wstring_view separator);
std::string JoinString(std::initializer_list<std::string_view> parts,
                       std::string_view separator);
std::wstring JoinString(std::initializer_list<std::wstring_view> parts,
                        std::wstring_view separator);

// Fills "$1".."$9" with |substitutions| (index 0 for "$1"). "$$" stands for one
// "$". A placeholder without a substitution becomes empty ("$1 of $2" with {"5"}
// gives "5 of "). A "$" followed by any other character is dropped with that
// character; a "$" ending the text is kept. When |offsets| is given it
// receives, ordered by placeholder number (ties in text order), the output
// offset of every placeholder.
std::wstring ReplaceStringPlaceholders(std::wstring_view format,
                                       const std::vector<std::wstring>& substitutions,
                                       std::vector<size_t>* offsets);
std::string ReplaceStringPlaceholders(std::string_view format,
                                      const std::vector<std::string>& substitutions,
                                      std::vector<size_t>* offsets);
// One substitution for "$1"; |offset| (optional) receives where it landed.
std::wstring ReplaceStringPlaceholders(std::wstring_view format, std::wstring_view a,
                                       size_t* offset);

// True when every character of |text| is in |characters|.
bool ContainsOnlyChars(std::string_view text, std::string_view characters);
bool ContainsOnlyChars(std::wstring_view text, std::wstring_view characters);

}  // namespace base

#endif  // BASE_STRINGS_STRING_UTIL_H_
