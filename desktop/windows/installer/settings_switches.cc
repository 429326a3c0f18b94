#include "desktop/windows/installer/settings_switches.h"

#include <cwchar>

#include "base/strings/string_util.h"

namespace installer {

bool ParseBoolSwitchValue(const std::wstring& value) {
  if (value.empty())
    return false;
  if (base::EqualsCaseInsensitiveASCII(value, L"yes") ||
      base::EqualsCaseInsensitiveASCII(value, L"true")) {
    return true;
  }
  return _wtoi(value.c_str()) != 0;
}

}  // namespace installer
