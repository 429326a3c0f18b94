#include "base/strings/utf_string_conversions.h"

#include <windows.h>

namespace base {

std::string WideToUTF8(std::wstring_view wide) {
  if (wide.empty())
    return std::string();
  int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                 nullptr, 0, nullptr, nullptr);
  std::string result(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), result.data(),
                      size, nullptr, nullptr);
  return result;
}

std::wstring UTF8ToWide(std::string_view utf8) {
  if (utf8.empty())
    return std::wstring();
  int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                 nullptr, 0);
  std::wstring result(size, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), result.data(),
                      size);
  return result;
}

std::wstring ASCIIToWide(std::string_view ascii) {
  std::wstring result;
  result.reserve(ascii.size());
  for (char c : ascii)
    result.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return result;
}

std::string WideToASCII(std::wstring_view wide) {
  std::string result;
  result.reserve(wide.size());
  for (wchar_t c : wide)
    result.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return result;
}

bool IsStringASCII(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80)
      return false;
  }
  return true;
}

bool IsStringASCII(std::wstring_view text) {
  for (wchar_t c : text) {
    if (c >= 0x80)
      return false;
  }
  return true;
}

bool ReadUnicodeCharacter(std::string_view text, size_t* index, uint32_t* code_point) {
  size_t pos = *index;
  const unsigned char lead = static_cast<unsigned char>(text[pos++]);
  *index = pos;
  if (lead < 0x80) {
    *code_point = lead;
    return true;
  }
  *code_point = 0xFFFD;
  size_t length;
  uint32_t value;
  // The second byte's range rules out overlong forms, surrogates and values
  // above U+10FFFF; later bytes are plain continuation bytes.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    if (lead == 0xE0)
      low = 0xA0;
    if (lead == 0xED)
      high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    if (lead == 0xF0)
      low = 0x90;
    if (lead == 0xF4)
      high = 0x8F;
  } else {
    return false;
  }
  for (size_t i = 1; i < length; ++i) {
    if (pos >= text.size())
      return false;
    const unsigned char c = static_cast<unsigned char>(text[pos]);
    if (c < low || c > high)
      return false;
    value = (value << 6) | (c & 0x3F);
    *index = ++pos;
    low = 0x80;
    high = 0xBF;
  }
  *code_point = value;
  return true;
}

bool IsStringUTF8(std::string_view text) {
  size_t index = 0;
  uint32_t code_point;
  while (index < text.size()) {
    if (!ReadUnicodeCharacter(text, &index, &code_point))
      return false;
  }
  return true;
}

}  // namespace base
