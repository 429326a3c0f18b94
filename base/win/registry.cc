#include "base/win/registry.h"

#include <cstring>
#include <utility>
#include <vector>

namespace base::win {

namespace {

constexpr REGSAM kWow64AccessMask = KEY_WOW64_32KEY | KEY_WOW64_64KEY;
// Names of keys and values are at most 16383 characters.
constexpr DWORD kMaxNameLength = 16384;

// Deletes |name| below |parent| with all its subkeys, in the view |wow64access|.
LONG DeleteKeyRecursive(HKEY parent, const wchar_t* name, REGSAM wow64access) {
  HKEY key = nullptr;
  LONG result = ::RegOpenKeyExW(parent, name, 0,
                                KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE | wow64access,
                                &key);
  if (result != ERROR_SUCCESS)
    return result;
  // Collect the names first: deleting while enumerating shifts the indices.
  std::vector<std::wstring> subkeys;
  std::wstring subkey_name(kMaxNameLength, L'\0');
  for (DWORD index = 0;; ++index) {
    DWORD length = kMaxNameLength;
    LONG enum_result = ::RegEnumKeyExW(key, index, subkey_name.data(), &length, nullptr, nullptr,
                                       nullptr, nullptr);
    if (enum_result != ERROR_SUCCESS)
      break;
    subkeys.emplace_back(subkey_name.data(), length);
  }
  for (const std::wstring& subkey : subkeys) {
    result = DeleteKeyRecursive(key, subkey.c_str(), wow64access);
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) {
      ::RegCloseKey(key);
      return result;
    }
  }
  ::RegCloseKey(key);
  return ::RegDeleteKeyExW(parent, name, wow64access, 0);
}

}  // namespace

RegKey::RegKey(HKEY key) : key_(key) {}

RegKey::RegKey(HKEY rootkey, const wchar_t* subkey, REGSAM access) {
  Open(rootkey, subkey, access);
}

RegKey::RegKey(RegKey&& other) noexcept
    : key_(std::exchange(other.key_, nullptr)),
      wow64access_(std::exchange(other.wow64access_, 0)) {}

RegKey& RegKey::operator=(RegKey&& other) noexcept {
  if (this != &other) {
    Close();
    key_ = std::exchange(other.key_, nullptr);
    wow64access_ = std::exchange(other.wow64access_, 0);
  }
  return *this;
}

RegKey::~RegKey() {
  Close();
}

LONG RegKey::Create(HKEY rootkey, const wchar_t* subkey, REGSAM access) {
  DWORD disposition = 0;
  return CreateWithDisposition(rootkey, subkey, &disposition, access);
}

LONG RegKey::CreateWithDisposition(HKEY rootkey, const wchar_t* subkey, DWORD* disposition,
                                   REGSAM access) {
  HKEY key = nullptr;
  LONG result = ::RegCreateKeyExW(rootkey, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                  nullptr, &key, disposition);
  if (result == ERROR_SUCCESS) {
    Close();
    key_ = key;
    wow64access_ = access & kWow64AccessMask;
  }
  return result;
}

LONG RegKey::CreateKey(const wchar_t* name, REGSAM access) {
  if (!key_)
    return ERROR_INVALID_HANDLE;
  HKEY key = nullptr;
  LONG result = ::RegCreateKeyExW(key_, name, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  access | wow64access_, nullptr, &key, nullptr);
  if (result == ERROR_SUCCESS)
    ReplaceWithSubkey(key, access);
  return result;
}

LONG RegKey::Open(HKEY rootkey, const wchar_t* subkey, REGSAM access) {
  HKEY key = nullptr;
  LONG result = ::RegOpenKeyExW(rootkey, subkey, 0, access, &key);
  if (result == ERROR_SUCCESS) {
    Close();
    key_ = key;
    wow64access_ = access & kWow64AccessMask;
  }
  return result;
}

LONG RegKey::OpenKey(const wchar_t* relative_key_name, REGSAM access) {
  if (!key_)
    return ERROR_INVALID_HANDLE;
  HKEY key = nullptr;
  LONG result = ::RegOpenKeyExW(key_, relative_key_name, 0, access | wow64access_, &key);
  if (result == ERROR_SUCCESS)
    ReplaceWithSubkey(key, access);
  return result;
}

void RegKey::ReplaceWithSubkey(HKEY subkey, REGSAM access) {
  REGSAM wow64access = wow64access_;
  Close();
  key_ = subkey;
  wow64access_ = (access & kWow64AccessMask) ? (access & kWow64AccessMask) : wow64access;
}

void RegKey::Close() {
  if (key_)
    ::RegCloseKey(key_);
  key_ = nullptr;
  wow64access_ = 0;
}

void RegKey::Set(HKEY key) {
  if (key_ != key) {
    Close();
    key_ = key;
  }
}

HKEY RegKey::Take() {
  wow64access_ = 0;
  return std::exchange(key_, nullptr);
}

bool RegKey::HasValue(const wchar_t* value_name) const {
  return key_ && ::RegQueryValueExW(key_, value_name, nullptr, nullptr, nullptr, nullptr) ==
                     ERROR_SUCCESS;
}

DWORD RegKey::GetValueCount() const {
  DWORD count = 0;
  if (!key_ || ::RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return 0;
  }
  return count;
}

LONG RegKey::GetValueNameAt(int index, std::wstring* name) const {
  if (!key_)
    return ERROR_INVALID_HANDLE;
  if (index < 0)
    return ERROR_INVALID_PARAMETER;
  std::wstring buffer(kMaxNameLength, L'\0');
  DWORD length = kMaxNameLength;
  LONG result = ::RegEnumValueW(key_, static_cast<DWORD>(index), buffer.data(), &length, nullptr,
                                nullptr, nullptr, nullptr);
  if (result == ERROR_SUCCESS)
    name->assign(buffer.data(), length);
  return result;
}

LONG RegKey::DeleteKey(const wchar_t* name) {
  if (!key_)
    return ERROR_INVALID_HANDLE;
  if (!name || !*name)
    return ERROR_INVALID_PARAMETER;
  return DeleteKeyRecursive(key_, name, wow64access_);
}

LONG RegKey::DeleteEmptyKey(const wchar_t* name) {
  if (!key_)
    return ERROR_INVALID_HANDLE;
  if (!name || !*name)
    return ERROR_INVALID_PARAMETER;
  HKEY key = nullptr;
  LONG result = ::RegOpenKeyExW(key_, name, 0, KEY_READ | wow64access_, &key);
  if (result != ERROR_SUCCESS)
    return result;
  DWORD subkeys = 0;
  DWORD values = 0;
  result = ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                              &values, nullptr, nullptr, nullptr, nullptr);
  ::RegCloseKey(key);
  if (result != ERROR_SUCCESS)
    return result;
  if (subkeys || values)
    return ERROR_DIR_NOT_EMPTY;
  return ::RegDeleteKeyExW(key_, name, wow64access_, 0);
}

LONG RegKey::DeleteValue(const wchar_t* name) {
  if (!key_)
    return ERROR_INVALID_HANDLE;
  return ::RegDeleteValueW(key_, name);
}

LONG RegKey::ReadValueDW(const wchar_t* name, DWORD* out_value) const {
  return ReadFixedSize(name, REG_DWORD, out_value, sizeof(*out_value));
}

LONG RegKey::ReadInt64(const wchar_t* name, int64_t* out_value) const {
  return ReadFixedSize(name, REG_QWORD, out_value, sizeof(*out_value));
}

LONG RegKey::ReadFixedSize(const wchar_t* name, DWORD expected_type, void* out_value,
                           DWORD expected_size) const {
  DWORD type = REG_NONE;
  uint64_t value = 0;
  DWORD size = sizeof(value);
  LONG result = ReadValue(name, &value, &size, &type);
  if (result == ERROR_MORE_DATA)
    return ERROR_CANTREAD;
  if (result != ERROR_SUCCESS)
    return result;
  if (type != expected_type || size != expected_size)
    return ERROR_CANTREAD;
  memcpy(out_value, &value, expected_size);
  return ERROR_SUCCESS;
}

LONG RegKey::ReadValue(const wchar_t* name, std::wstring* out_value) const {
  if (!key_)
    return ERROR_INVALID_HANDLE;
  // One spare character so that data stored without a terminator still ends.
  std::vector<wchar_t> buffer(128);
  DWORD type = REG_NONE;
  LONG result = ERROR_SUCCESS;
  DWORD size = 0;
  for (int attempt = 0; attempt < 8; ++attempt) {
    size = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    result = ReadValue(name, buffer.data(), &size, &type);
    if (result != ERROR_MORE_DATA)
      break;
    buffer.assign(size / sizeof(wchar_t) + 2, L'\0');
  }
  if (result != ERROR_SUCCESS)
    return result;
  if (type != REG_SZ && type != REG_EXPAND_SZ)
    return ERROR_CANTREAD;
  size_t length = size / sizeof(wchar_t);
  buffer[length] = L'\0';
  std::wstring value(buffer.data());  // Up to the first terminator.
  if (type == REG_EXPAND_SZ) {
    DWORD needed = ::ExpandEnvironmentStringsW(value.c_str(), nullptr, 0);
    if (needed == 0)
      return static_cast<LONG>(::GetLastError());
    std::wstring expanded(needed, L'\0');
    DWORD written = ::ExpandEnvironmentStringsW(value.c_str(), expanded.data(), needed);
    if (written == 0 || written > needed)
      return ERROR_MORE_DATA;
    expanded.resize(written - 1);
    value = std::move(expanded);
  }
  *out_value = std::move(value);
  return ERROR_SUCCESS;
}

LONG RegKey::ReadValue(const wchar_t* name, void* data, DWORD* dsize, DWORD* dtype) const {
  if (!key_)
    return ERROR_INVALID_HANDLE;
  return ::RegQueryValueExW(key_, name, nullptr, dtype, static_cast<BYTE*>(data), dsize);
}

LONG RegKey::ReadValues(const wchar_t* name, std::vector<std::wstring>* values) const {
  values->clear();
  if (!key_)
    return ERROR_INVALID_HANDLE;
  DWORD type = REG_NONE;
  DWORD size = 0;
  LONG result = ReadValue(name, nullptr, &size, &type);
  if (result != ERROR_SUCCESS)
    return result;
  if (type != REG_MULTI_SZ)
    return ERROR_CANTREAD;
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
  size = static_cast<DWORD>((buffer.size() - 2) * sizeof(wchar_t));
  result = ReadValue(name, buffer.data(), &size, &type);
  if (result != ERROR_SUCCESS)
    return result;
  if (type != REG_MULTI_SZ)
    return ERROR_CANTREAD;
  const wchar_t* entry = buffer.data();
  const wchar_t* end = entry + size / sizeof(wchar_t);
  while (entry < end && *entry) {
    std::wstring value(entry);  // The buffer's spare terminators bound this.
    entry += value.size() + 1;
    values->push_back(std::move(value));
  }
  return ERROR_SUCCESS;
}

LONG RegKey::WriteValue(const wchar_t* name, DWORD in_value) {
  return WriteValue(name, &in_value, sizeof(in_value), REG_DWORD);
}

LONG RegKey::WriteValue(const wchar_t* name, const wchar_t* in_value) {
  if (!in_value)
    return ERROR_INVALID_PARAMETER;
  return WriteValue(name, in_value,
                    static_cast<DWORD>((wcslen(in_value) + 1) * sizeof(wchar_t)), REG_SZ);
}

LONG RegKey::WriteValue(const wchar_t* name, const void* data, DWORD dsize, DWORD dtype) {
  if (!key_)
    return ERROR_INVALID_HANDLE;
  return ::RegSetValueExW(key_, name, 0, dtype, static_cast<const BYTE*>(data), dsize);
}

}  // namespace base::win
