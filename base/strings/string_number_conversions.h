// Conversions between numbers and their decimal or hexadecimal text.
//
// Parsing contract (all StringTo* and HexStringTo*): the whole input must be the
// number, or the result is false. Even on false |output| holds the best value
// that could be read, so callers that want lenient parsing can still use it:
//   - leading or trailing white space: false, the number read in between;
//   - trailing garbage ("123abc"): false, 123;
//   - overflow: false, the type's max (or min for negative numbers);
//   - empty input, a lone sign, or no digits at all: false, 0.
// Decimal integers accept one leading '-' (signed types only; an unsigned type
// with '-' gives false and 0) or '+'. Hex integers accept an optional sign and
// an optional "0x"/"0X" prefix; HexStringToInt and HexStringToInt64 read up to
// the full width of the unsigned type and keep its bit pattern ("ffffffff" is -1,
// true). Doubles: [sign] digits [. digits] [e|E [sign] digits], "." with digits
// on at least one side; no hex floats, "inf" or "nan"; out-of-range magnitudes
// give false with +-HUGE_VAL (underflow to 0 is accepted).

#ifndef BASE_STRINGS_STRING_NUMBER_CONVERSIONS_H_
#define BASE_STRINGS_STRING_NUMBER_CONVERSIONS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace base {

std::string NumberToString(int value);
std::string NumberToString(unsigned value);
std::string NumberToString(long value);
std::string NumberToString(unsigned long value);
std::string NumberToString(long long value);
std::string NumberToString(unsigned long long value);
// The shortest text that reads back as the same double: 0.1 -> "0.1",
// 1.0 -> "1", 1e21 -> "1e+21". NaN -> "nan", infinities -> "inf"/"-inf".
std::string NumberToString(double value);

std::wstring NumberToWString(int value);
std::wstring NumberToWString(unsigned value);
std::wstring NumberToWString(long value);
std::wstring NumberToWString(unsigned long value);
std::wstring NumberToWString(long long value);
std::wstring NumberToWString(unsigned long long value);
std::wstring NumberToWString(double value);

bool StringToInt(std::string_view input, int* output);
bool StringToInt(std::wstring_view input, int* output);
bool StringToUint(std::string_view input, unsigned* output);
bool StringToUint(std::wstring_view input, unsigned* output);
bool StringToInt64(std::string_view input, int64_t* output);
bool StringToInt64(std::wstring_view input, int64_t* output);
bool StringToUint64(std::string_view input, uint64_t* output);
bool StringToUint64(std::wstring_view input, uint64_t* output);
bool StringToSizeT(std::string_view input, size_t* output);
bool StringToSizeT(std::wstring_view input, size_t* output);
bool StringToDouble(std::string_view input, double* output);
bool StringToDouble(std::wstring_view input, double* output);

bool HexStringToInt(std::string_view input, int32_t* output);
bool HexStringToInt(std::wstring_view input, int32_t* output);
bool HexStringToUInt(std::string_view input, uint32_t* output);
bool HexStringToUInt(std::wstring_view input, uint32_t* output);
bool HexStringToInt64(std::string_view input, int64_t* output);
bool HexStringToUInt64(std::string_view input, uint64_t* output);
// Pairs of hex digits (no prefix, no sign) to bytes. On false |output| holds the
// bytes decoded before the first bad pair (an odd length is bad).
bool HexStringToBytes(std::string_view input, std::vector<uint8_t>* output);

// Upper-case hexadecimal text of the bytes, two digits each, high nibble first.
std::string HexEncode(const void* bytes, size_t size);
std::string HexEncode(std::string_view bytes);
std::string HexEncode(const std::vector<uint8_t>& bytes);

}  // namespace base

#endif  // BASE_STRINGS_STRING_NUMBER_CONVERSIONS_H_
