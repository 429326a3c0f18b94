// GlobalStorageWin keeps the global storage's values as REG_SZ values (the
// value's bytes, no terminating zero) under the product's key in
// HKEY_CURRENT_USER ("Software\\<company name>"), serialised between processes by the mutex
// "vauc_registry_mutex". A stand-alone copy, or a user who may not write that
// key, keeps them instead in the JSON file "au_global_storage" of the fallback
// folder (preference "GS", a dictionary of key to string); values found in
// that file are carried over into the registry when the registry is usable.
// Used from one thread.

#ifndef DESKTOP_COMMON_AUTOUPDATE_UPDATECHECKER_GLOBAL_STORAGE_WIN_H_
#define DESKTOP_COMMON_AUTOUPDATE_UPDATECHECKER_GLOBAL_STORAGE_WIN_H_

#include <string>

#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"
#include "desktop/common/autoupdate/updatechecker/global_storage.h"

namespace installer {

class GlobalStorageWin : public GlobalStorage {
 public:
  static constexpr wchar_t kMutexName[] = L"vauc_registry_mutex";
  static constexpr wchar_t kFallbackFileName[] = L"au_global_storage";

  GlobalStorageWin();
  ~GlobalStorageWin() override;

  void SetFallbackFolder(const base::FilePath& folder) override;
  int32_t Set(const std::string& key, const std::string& value) override;
  int32_t Get(const std::string& key, std::string* value) override;

  // Makes the registry-or-file choice when it has not been made: the file for
  // a stand-alone copy (|standalone|) or when the product key may not be
  // written. GetGlobalStorage() calls it with the running installation's kind.
  void DecideFallback(bool standalone);

  // The mutex's name, so that tests can use their own.
  void set_mutex_name_for_testing(const std::wstring& name) { mutex_name_ = name; }

 private:
  bool EnsureMutex();
  bool WriteFallback(const std::string& key, const std::string& value);
  int32_t ReadFallback(const std::string& key, std::string* value);
  int32_t WriteRegistry(const std::string& key, const std::string& value);
  int32_t ReadRegistry(const std::string& key, std::string* value);

  base::win::ScopedHandle mutex_;
  base::FilePath fallback_path_;
  bool decided_ = false;
  bool use_fallback_ = false;
  bool last_registry_write_succeeded_ = false;
  bool migrating_ = false;
  std::wstring mutex_name_ = kMutexName;
};

}  // namespace installer

#endif  // DESKTOP_COMMON_AUTOUPDATE_UPDATECHECKER_GLOBAL_STORAGE_WIN_H_
