#include "desktop/windows/installer/package_fetcher/safe_relative_path.h"

#include <string>

#include "base/strings/utf_string_conversions.h"

namespace installer {

namespace {

bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

wchar_t ToUpperAscii(wchar_t c) {
  return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices in every folder, with or
// without an extension.
bool IsDeviceName(std::wstring_view name) {
  std::wstring stem(name.substr(0, name.find(L'.')));
  while (!stem.empty() && stem.back() == L' ')
    stem.pop_back();
  for (wchar_t& c : stem)
    c = ToUpperAscii(c);
  if (stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL")
    return true;
  return stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
         stem[3] >= L'1' && stem[3] <= L'9';
}

bool IsSafeName(std::wstring_view name) {
  if (name.empty() || name == L"." || name == L"..")
    return false;
  for (wchar_t c : name) {
    if (c < 0x20 || c == 0x7F || c == L':' || c == L'<' || c == L'>' || c == L'"' ||
        c == L'|' || c == L'?' || c == L'*') {
      return false;
    }
  }
  if (name.back() == L'.' || name.back() == L' ')
    return false;
  return !IsDeviceName(name);
}

}  // namespace

bool IsSafeRelativePath(std::wstring_view path) {
  if (path.empty())
    return false;
  size_t start = 0;
  while (true) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end]))
      ++end;
    if (!IsSafeName(path.substr(start, end - start)))
      return false;
    if (end == path.size())
      return true;
    start = end + 1;
  }
}

bool IsSafeRelativePath(std::string_view utf8_path) {
  // Invalid sequences become U+FFFD, which is harmless in a name.
  return IsSafeRelativePath(std::wstring_view(base::UTF8ToWide(utf8_path)));
}

}  // namespace installer
