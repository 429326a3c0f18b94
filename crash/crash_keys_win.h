// The crash keys of a process, kept where its crash reporter reads them: a
// fixed array of CustomInfoEntry in this process's memory (its address never
// changes) described by a CustomClientInfo. The first entries are fixed at
// construction (product, version, channel, platform, process type); the rest
// are set and cleared at run time from any thread. Names and values longer
// than an entry holds are cut.

#ifndef CRASH_CRASH_KEYS_WIN_H_
#define CRASH_CRASH_KEYS_WIN_H_

#include <windows.h>

#include <map>
#include <string>

#include "crash/crash_pipe_protocol.h"

namespace crash {

class CrashKeysWin {
 public:
  // The most entries, fixed ones included.
  static constexpr size_t kMaxEntries = 512;

  CrashKeysWin();
  CrashKeysWin(const CrashKeysWin&) = delete;
  CrashKeysWin& operator=(const CrashKeysWin&) = delete;
  ~CrashKeysWin();

  // Fills the fixed entries, in order, and returns the block to register.
  const CustomClientInfo* GetCustomInfo(const std::map<std::wstring, std::wstring>& fixed);

  // Sets or replaces a key; false when the store is full.
  bool SetCrashKeyValue(const std::wstring& key, const std::wstring& value);
  void ClearCrashKeyValue(const std::wstring& key);
  // The value of |key|, empty when unset.
  std::wstring GetCrashKeyValue(const std::wstring& key);

  const CustomClientInfo* custom_info() const { return &custom_info_; }

 private:
  static void Fill(CustomInfoEntry* entry, const std::wstring& key, const std::wstring& value);
  // The index of |key| among the dynamic entries, or -1. Under the lock.
  long Find(const std::wstring& key) const;

  SRWLOCK lock_ = SRWLOCK_INIT;
  size_t fixed_count_ = 0;
  CustomInfoEntry entries_[kMaxEntries] = {};
  CustomClientInfo custom_info_ = {entries_, 0};
};

}  // namespace crash

#endif  // CRASH_CRASH_KEYS_WIN_H_
