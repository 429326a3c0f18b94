#include "desktop/windows/installer/service/contained_path.h"

#include <string>

#include "base/strings/utf_string_conversions.h"

namespace installer {

bool IsContainedRelativePath(std::wstring_view relative) {
  if (relative.empty())
    return false;
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = start;
    while (end < relative.size() && !base::FilePath::IsSeparator(relative[end])) {
      wchar_t c = relative[end];
      if (c < 0x20 || c == L':')
        return false;
      ++end;
    }
    std::wstring_view component = relative.substr(start, end - start);
    // An empty component is a root ("\x"), a UNC prefix ("\\x") or a doubled
    // separator; a trailing separator is refused with it.
    if (component.empty() || component == L"." || component == L"..")
      return false;
    start = end + 1;
  }
  return true;
}

bool IsContainedRelativePath(std::string_view relative) {
  return IsContainedRelativePath(base::UTF8ToWide(relative));
}

bool AppendContainedPath(const base::FilePath& folder, std::wstring_view relative,
                         base::FilePath* result) {
  if (!IsContainedRelativePath(relative))
    return false;
  *result = folder.Append(relative);
  return true;
}

}  // namespace installer
