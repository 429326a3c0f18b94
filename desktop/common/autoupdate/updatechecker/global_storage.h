// GlobalStorage: the small per-user key/value store that every process of the
// product shares (the autoupdate checker keeps "UUID" there). Processes
// serialise on a named mutex; a caller that finds it held gets kBusy at once
// and never waits.

#ifndef DESKTOP_COMMON_AUTOUPDATE_UPDATECHECKER_GLOBAL_STORAGE_H_
#define DESKTOP_COMMON_AUTOUPDATE_UPDATECHECKER_GLOBAL_STORAGE_H_

#include <cstdint>
#include <string>

#include "base/files/file_path.h"

namespace installer {

class GlobalStorage {
 public:
  // Results of Get and Set.
  static constexpr int32_t kSuccess = 0;
  static constexpr int32_t kBusy = 1;  // Another process holds the store.
  static constexpr int32_t kFailure = -252;
  static constexpr int32_t kInvalidArgument = -254;

  // The folder of the fallback file; the base does nothing.
  virtual void SetFallbackFolder(const base::FilePath& folder) {}
  // Stores |value| under |key|; an empty value removes the key.
  virtual int32_t Set(const std::string& key, const std::string& value) = 0;
  // Reads |key| into |*value|; a key never written gives kSuccess and "".
  virtual int32_t Get(const std::string& key, std::string* value) = 0;
  virtual ~GlobalStorage() = default;
};

// The process-wide store (a GlobalStorageWin), created on first use; every
// call first decides whether it keeps its values in the registry or in the
// fallback file, once per process.
GlobalStorage* GetGlobalStorage();

}  // namespace installer

#endif  // DESKTOP_COMMON_AUTOUPDATE_UPDATECHECKER_GLOBAL_STORAGE_H_
