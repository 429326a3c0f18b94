#include "crash_reporting/crash_key_map.h"

#include <cwchar>

#include "base/strings/string_util.h"

namespace crash_reporting {

namespace {

constexpr wchar_t kUnspecifiedKey[] = L"unspecified-crash-key";

// The key and chunk number of "<key>-<n>"; false when |name| is no chunk name.
bool ParseChunkName(const std::wstring& name, std::wstring* key, unsigned long* chunk) {
  size_t dash = name.rfind(L'-');
  if (dash == std::wstring::npos || dash == 0 || dash + 1 == name.size())
    return false;
  unsigned long value = 0;
  for (size_t i = dash + 1; i < name.size(); ++i) {
    if (!base::IsAsciiDigit(name[i]))
      return false;
    unsigned long digit = name[i] - L'0';
    if (value > (0xFFFFFFFFul - digit) / 10)
      return false;
    value = value * 10 + digit;
  }
  *key = name.substr(0, dash);
  *chunk = value;
  return true;
}

}  // namespace

bool IsValidCrashKeyName(const std::wstring& name) {
  if (name.empty() || name.size() > 63 || name == kUnspecifiedKey)
    return false;
  for (wchar_t c : name) {
    if (c >= 256 || !(base::IsAsciiAlpha(c) || base::IsAsciiDigit(c) || c == L'.' || c == L'-' || c == L'_'))
      return false;
  }
  return true;
}

CrashKeyMap BuildCrashKeyMap(const std::vector<crash::CustomInfoEntry>& entries) {
  CrashKeyMap map;
  std::map<std::wstring, std::map<unsigned long, std::wstring>> chunks;
  for (const crash::CustomInfoEntry& entry : entries) {
    size_t name_length = wcsnlen(entry.name, crash::CustomInfoEntry::kNameMaxLength);
    size_t value_length = wcsnlen(entry.value, crash::CustomInfoEntry::kValueMaxLength);
    if (name_length == crash::CustomInfoEntry::kNameMaxLength ||
        value_length == crash::CustomInfoEntry::kValueMaxLength) {
      continue;
    }
    std::wstring name(entry.name, name_length);
    if (!IsValidCrashKeyName(name))
      continue;
    std::wstring value(entry.value, value_length);
    std::wstring key;
    unsigned long chunk = 0;
    if (ParseChunkName(name, &key, &chunk)) {
      if (map.count(key) == 0)
        chunks[key][chunk] = value;
      continue;
    }
    // A plain entry wins over chunks of the same key, whichever came first.
    if (map.count(name) == 0)
      map[name] = value;
  }
  for (const auto& [key, parts] : chunks) {
    if (map.count(key))
      continue;
    std::wstring joined;
    for (const auto& [number, part] : parts)
      joined += part;
    map[key] = joined;
  }
  return map;
}

}  // namespace crash_reporting
