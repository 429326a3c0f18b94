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

}  // namespace base
