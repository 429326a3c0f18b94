// Conversions between UTF-8 (logs, JSON, preferences) and UTF-16 (paths,
// registry data, UI text). On Windows wchar_t is a UTF-16 code unit, so
// std::wstring is the UTF-16 string type throughout. Invalid sequences become
// U+FFFD; the conversions never fail.

#ifndef BASE_STRINGS_UTF_STRING_CONVERSIONS_H_
#define BASE_STRINGS_UTF_STRING_CONVERSIONS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace base {

std::string WideToUTF8(std::wstring_view wide);
std::wstring UTF8ToWide(std::string_view utf8);

// Widens 7-bit text. Callers pass ASCII only; other bytes are widened as they are.
std::wstring ASCIIToWide(std::string_view ascii);
// Narrows text known to be ASCII; characters above 0x7F become '?'.
std::string WideToASCII(std::wstring_view wide);

bool IsStringASCII(std::string_view text);
bool IsStringASCII(std::wstring_view text);

// Reads the code point that starts at |text|[*index] (which must be inside
// |text|) and moves |*index| past it. A malformed sequence (a stray
// continuation byte, an overlong form, a surrogate, a value above U+10FFFF, a
// sequence cut short) gives false and U+FFFD; |*index| then moves past the
// longest start of a valid sequence, at least one byte, so that every
// ill-formed part counts once.
bool ReadUnicodeCharacter(std::string_view text, size_t* index, uint32_t* code_point);
// True when |text| is well-formed UTF-8 throughout.
bool IsStringUTF8(std::string_view text);

}  // namespace base

#endif  // BASE_STRINGS_UTF_STRING_CONVERSIONS_H_
