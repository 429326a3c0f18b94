#include "base/strings/string_number_conversions.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <type_traits>

#include "base/strings/string_util.h"

namespace base {

namespace {

template <typename T>
std::string IntToString(T value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
  return std::string(buffer, result.ptr);
}

std::string DoubleToString(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
  return std::string(buffer, result.ptr);
}

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// Accumulates digits of |base| into a T. Follows the contract in the header:
// |*output| always receives the best value read, the result says whether the
// input was exactly one number. For hex, |Accumulator| is the unsigned type of
// the same width so the full bit pattern can be read.
template <typename T, typename Char>
bool ParseInteger(std::basic_string_view<Char> input, int base, T* output) {
  using Unsigned = std::make_unsigned_t<T>;
  constexpr bool kSigned = std::is_signed_v<T>;
  bool valid = true;
  size_t i = 0;
  while (i < input.size() && IsAsciiWhitespace(input[i])) {
    valid = false;
    ++i;
  }
  bool negative = false;
  if (i < input.size() && (input[i] == '-' || input[i] == '+')) {
    negative = input[i] == '-';
    ++i;
    if (negative && !kSigned) {
      *output = 0;
      return false;
    }
  }
  if (base == 16 && i + 1 < input.size() && input[i] == '0' &&
      (input[i + 1] == 'x' || input[i + 1] == 'X')) {
    i += 2;
  }
  // Decimal signed values are bounded by the signed range; hex values by the
  // unsigned range of the same width (two's complement pattern).
  const Unsigned positive_limit =
      (kSigned && base == 10) ? static_cast<Unsigned>(std::numeric_limits<T>::max())
                              : std::numeric_limits<Unsigned>::max();
  const Unsigned negative_limit =
      kSigned ? static_cast<Unsigned>(std::numeric_limits<T>::max()) + 1u : 0u;
  const Unsigned limit = negative ? negative_limit : positive_limit;

  Unsigned magnitude = 0;
  bool any_digit = false;
  bool overflow = false;
  for (; i < input.size(); ++i) {
    const Char c = input[i];
    if (base == 16 ? !IsHexDigit(c) : !IsAsciiDigit(c)) break;
    const int digit = HexDigitToInt(c);
    any_digit = true;
    if (overflow) continue;
    if (magnitude > (limit - static_cast<Unsigned>(digit)) / static_cast<Unsigned>(base)) {
      overflow = true;
      magnitude = limit;
      continue;
    }
    magnitude = magnitude * static_cast<Unsigned>(base) + static_cast<Unsigned>(digit);
  }
  if (!any_digit || i != input.size() || overflow) valid = false;
  if (negative) {
    *output = static_cast<T>(Unsigned(0) - magnitude);
  } else {
    *output = static_cast<T>(magnitude);
  }
  return valid;
}

template <typename Char>
bool ParseDouble(std::basic_string_view<Char> input, double* output) {
  bool valid = true;
  size_t i = 0;
  while (i < input.size() && IsAsciiWhitespace(input[i])) {
    valid = false;
    ++i;
  }
  // Collect the longest prefix of the accepted grammar, then let strtod read it.
  std::string number;
  if (i < input.size() && (input[i] == '-' || input[i] == '+')) number.push_back(char(input[i++]));
  size_t int_digits = 0, frac_digits = 0;
  while (i < input.size() && IsAsciiDigit(input[i])) {
    number.push_back(char(input[i++]));
    ++int_digits;
  }
  if (i < input.size() && input[i] == '.') {
    size_t j = i + 1;
    std::string fraction = ".";
    while (j < input.size() && IsAsciiDigit(input[j])) {
      fraction.push_back(char(input[j++]));
      ++frac_digits;
    }
    if (int_digits > 0 || frac_digits > 0) {
      number += fraction;
      i = j;
    }
  }
  if (int_digits == 0 && frac_digits == 0) {
    *output = 0;
    return false;
  }
  if (i < input.size() && (input[i] == 'e' || input[i] == 'E')) {
    size_t j = i + 1;
    std::string exponent = "e";
    if (j < input.size() && (input[j] == '-' || input[j] == '+')) exponent.push_back(char(input[j++]));
    size_t exp_digits = 0;
    while (j < input.size() && IsAsciiDigit(input[j])) {
      exponent.push_back(char(input[j++]));
      ++exp_digits;
    }
    if (exp_digits > 0) {
      number += exponent;
      i = j;
    }
  }
  errno = 0;
  const double value = std::strtod(number.c_str(), nullptr);
  *output = value;
  if (errno == ERANGE && std::isinf(value)) valid = false;
  return valid && i == input.size();
}

bool HexBytes(std::string_view input, std::vector<uint8_t>* output) {
  output->clear();
  for (size_t i = 0; i + 1 < input.size(); i += 2) {
    if (!IsHexDigit(input[i]) || !IsHexDigit(input[i + 1])) return false;
    output->push_back(static_cast<uint8_t>(HexDigitToInt(input[i]) * 16 +
                                           HexDigitToInt(input[i + 1])));
  }
  return input.size() % 2 == 0;
}

}  // namespace

std::string NumberToString(int value) { return IntToString(value); }
std::string NumberToString(unsigned value) { return IntToString(value); }
std::string NumberToString(long value) { return IntToString(value); }
std::string NumberToString(unsigned long value) { return IntToString(value); }
std::string NumberToString(long long value) { return IntToString(value); }
std::string NumberToString(unsigned long long value) { return IntToString(value); }
std::string NumberToString(double value) { return DoubleToString(value); }

std::wstring NumberToWString(int value) { return Widen(IntToString(value)); }
std::wstring NumberToWString(unsigned value) { return Widen(IntToString(value)); }
std::wstring NumberToWString(long value) { return Widen(IntToString(value)); }
std::wstring NumberToWString(unsigned long value) { return Widen(IntToString(value)); }
std::wstring NumberToWString(long long value) { return Widen(IntToString(value)); }
std::wstring NumberToWString(unsigned long long value) { return Widen(IntToString(value)); }
std::wstring NumberToWString(double value) { return Widen(DoubleToString(value)); }

bool StringToInt(std::string_view input, int* output) { return ParseInteger(input, 10, output); }
bool StringToInt(std::wstring_view input, int* output) { return ParseInteger(input, 10, output); }
bool StringToUint(std::string_view input, unsigned* output) {
  return ParseInteger(input, 10, output);
}
bool StringToUint(std::wstring_view input, unsigned* output) {
  return ParseInteger(input, 10, output);
}
bool StringToInt64(std::string_view input, int64_t* output) {
  return ParseInteger(input, 10, output);
}
bool StringToInt64(std::wstring_view input, int64_t* output) {
  return ParseInteger(input, 10, output);
}
bool StringToUint64(std::string_view input, uint64_t* output) {
  return ParseInteger(input, 10, output);
}
bool StringToUint64(std::wstring_view input, uint64_t* output) {
  return ParseInteger(input, 10, output);
}
bool StringToSizeT(std::string_view input, size_t* output) {
  return ParseInteger(input, 10, output);
}
bool StringToSizeT(std::wstring_view input, size_t* output) {
  return ParseInteger(input, 10, output);
}
bool StringToDouble(std::string_view input, double* output) { return ParseDouble(input, output); }
bool StringToDouble(std::wstring_view input, double* output) {
  return ParseDouble(input, output);
}

bool HexStringToInt(std::string_view input, int32_t* output) {
  return ParseInteger(input, 16, output);
}
bool HexStringToInt(std::wstring_view input, int32_t* output) {
  return ParseInteger(input, 16, output);
}
bool HexStringToUInt(std::string_view input, uint32_t* output) {
  return ParseInteger(input, 16, output);
}
bool HexStringToUInt(std::wstring_view input, uint32_t* output) {
  return ParseInteger(input, 16, output);
}
bool HexStringToInt64(std::string_view input, int64_t* output) {
  return ParseInteger(input, 16, output);
}
bool HexStringToUInt64(std::string_view input, uint64_t* output) {
  return ParseInteger(input, 16, output);
}
bool HexStringToBytes(std::string_view input, std::vector<uint8_t>* output) {
  return HexBytes(input, output);
}

std::string HexEncode(const void* bytes, size_t size) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const auto* data = static_cast<const uint8_t*>(bytes);
  std::string result;
  result.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    result.push_back(kDigits[data[i] >> 4]);
    result.push_back(kDigits[data[i] & 0xF]);
  }
  return result;
}
std::string HexEncode(std::string_view bytes) { return HexEncode(bytes.data(), bytes.size()); }
std::string HexEncode(const std::vector<uint8_t>& bytes) {
  return HexEncode(bytes.data(), bytes.size());
}

}  // namespace base
