#include "crash/crash_keys_win.h"

#include <cwchar>

namespace crash {

CrashKeysWin::CrashKeysWin() = default;
CrashKeysWin::~CrashKeysWin() = default;

// static
void CrashKeysWin::Fill(CustomInfoEntry* entry, const std::wstring& key,
                        const std::wstring& value) {
  wcsncpy(entry->name, key.c_str(), CustomInfoEntry::kNameMaxLength - 1);
  entry->name[CustomInfoEntry::kNameMaxLength - 1] = L'\0';
  wcsncpy(entry->value, value.c_str(), CustomInfoEntry::kValueMaxLength - 1);
  entry->value[CustomInfoEntry::kValueMaxLength - 1] = L'\0';
}

const CustomClientInfo* CrashKeysWin::GetCustomInfo(
    const std::map<std::wstring, std::wstring>& fixed) {
  AcquireSRWLockExclusive(&lock_);
  if (fixed_count_ == 0 && custom_info_.count == 0) {
    for (const auto& [key, value] : fixed) {
      if (fixed_count_ == kMaxEntries)
        break;
      Fill(&entries_[fixed_count_++], key, value);
    }
    custom_info_.count = fixed_count_;
  }
  ReleaseSRWLockExclusive(&lock_);
  return &custom_info_;
}

long CrashKeysWin::Find(const std::wstring& key) const {
  std::wstring name = key.substr(0, CustomInfoEntry::kNameMaxLength - 1);
  for (size_t i = fixed_count_; i < custom_info_.count; ++i) {
    if (name == entries_[i].name)
      return static_cast<long>(i);
  }
  return -1;
}

bool CrashKeysWin::SetCrashKeyValue(const std::wstring& key, const std::wstring& value) {
  AcquireSRWLockExclusive(&lock_);
  long index = Find(key);
  bool stored = true;
  if (index >= 0) {
    Fill(&entries_[index], key, value);
  } else if (custom_info_.count < kMaxEntries) {
    Fill(&entries_[custom_info_.count], key, value);
    // Published after the entry is complete: a reader never sees half of it.
    MemoryBarrier();
    ++custom_info_.count;
  } else {
    stored = false;
  }
  ReleaseSRWLockExclusive(&lock_);
  return stored;
}

void CrashKeysWin::ClearCrashKeyValue(const std::wstring& key) {
  AcquireSRWLockExclusive(&lock_);
  long index = Find(key);
  if (index >= 0) {
    size_t last = custom_info_.count - 1;
    if (static_cast<size_t>(index) != last)
      entries_[index] = entries_[last];
    --custom_info_.count;
    entries_[last] = {};
  }
  ReleaseSRWLockExclusive(&lock_);
}

std::wstring CrashKeysWin::GetCrashKeyValue(const std::wstring& key) {
  AcquireSRWLockShared(&lock_);
  long index = Find(key);
  std::wstring value = index >= 0 ? entries_[index].value : L"";
  ReleaseSRWLockShared(&lock_);
  return value;
}

}  // namespace crash
