#include "base/win/registry_key_iterator.h"

namespace base::win {

namespace {

constexpr DWORD kMaxNameLength = 16384;

}  // namespace

RegistryKeyIterator::RegistryKeyIterator(HKEY root_key, const wchar_t* folder_key,
                                         REGSAM wow64access) {
  if (::RegOpenKeyExW(root_key, folder_key, 0, KEY_READ | wow64access, &key_) != ERROR_SUCCESS) {
    key_ = nullptr;
    return;
  }
  index_ = static_cast<int>(SubkeyCount()) - 1;
  Read();
}

RegistryKeyIterator::~RegistryKeyIterator() {
  if (key_)
    ::RegCloseKey(key_);
}

DWORD RegistryKeyIterator::SubkeyCount() const {
  DWORD count = 0;
  if (!key_ || ::RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                                  nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return 0;
  }
  return count;
}

bool RegistryKeyIterator::Valid() const {
  return key_ && index_ >= 0;
}

void RegistryKeyIterator::operator++() {
  --index_;
  Read();
}

bool RegistryKeyIterator::Read() {
  if (!key_)
    return false;
  std::wstring name(kMaxNameLength, L'\0');
  while (index_ >= 0) {
    DWORD length = kMaxNameLength;
    if (::RegEnumKeyExW(key_, static_cast<DWORD>(index_), name.data(), &length, nullptr, nullptr,
                        nullptr, nullptr) == ERROR_SUCCESS) {
      name_.assign(name.data(), length);
      return true;
    }
    // The subkey went away: move on.
    --index_;
  }
  name_.clear();
  return false;
}

}  // namespace base::win
