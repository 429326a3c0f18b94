#include "base/win/registry_value_iterator.h"

namespace base::win {

namespace {

constexpr DWORD kMaxNameLength = 16384;

}  // namespace

RegistryValueIterator::RegistryValueIterator(HKEY root_key, const wchar_t* folder_key,
                                             REGSAM wow64access) {
  if (::RegOpenKeyExW(root_key, folder_key, 0, KEY_READ | wow64access, &key_) != ERROR_SUCCESS) {
    key_ = nullptr;
    return;
  }
  index_ = static_cast<int>(ValueCount()) - 1;
  Read();
}

RegistryValueIterator::~RegistryValueIterator() {
  if (key_)
    ::RegCloseKey(key_);
}

DWORD RegistryValueIterator::ValueCount() const {
  DWORD count = 0;
  if (!key_ || ::RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return 0;
  }
  return count;
}

bool RegistryValueIterator::Valid() const {
  return key_ && index_ >= 0;
}

void RegistryValueIterator::operator++() {
  --index_;
  Read();
}

bool RegistryValueIterator::Read() {
  if (!key_)
    return false;
  std::wstring name(kMaxNameLength, L'\0');
  if (value_.size() < 256)
    value_.resize(256);
  while (index_ >= 0) {
    DWORD name_length = kMaxNameLength;
    // Room for two terminating wide characters behind the data.
    DWORD size = static_cast<DWORD>(value_.size() - 2 * sizeof(wchar_t));
    DWORD type = REG_NONE;
    LONG result = ::RegEnumValueW(key_, static_cast<DWORD>(index_), name.data(), &name_length,
                                  nullptr, &type, value_.data(), &size);
    if (result == ERROR_MORE_DATA) {
      value_.assign(size + 2 * sizeof(wchar_t), 0);
      continue;
    }
    if (result == ERROR_SUCCESS) {
      name_.assign(name.data(), name_length);
      value_size_ = size;
      type_ = type;
      // Terminate so Value() is a string even when the data carried no null.
      for (size_t i = size; i < size + 2 * sizeof(wchar_t) && i < value_.size(); ++i)
        value_[i] = 0;
      return true;
    }
    // The value went away (deleted under us): move on.
    --index_;
  }
  name_.clear();
  value_size_ = 0;
  type_ = REG_NONE;
  return false;
}

}  // namespace base::win
