#include "desktop/common/autoupdate/updatechecker/global_storage_win.h"

#include <windows.h>

#include <string>
#include <vector>

#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "base/threading/thread.h"
#include "base/values.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/installation.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "prefs/json_pref_store.h"

namespace installer {

namespace {

constexpr char kFallbackPref[] = "GS";

// Keys and values are ANSI text; the registry keeps UTF-16.
std::wstring AnsiToWide(const std::string& text) {
  if (text.empty())
    return std::wstring();
  const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0);
  std::wstring wide(size, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string WideToAnsi(const std::wstring& wide) {
  if (wide.empty())
    return std::string();
  const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string text(size, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                      nullptr, nullptr);
  return text;
}

// Holds the mutex taken without waiting, and releases it.
class ScopedMutexHold {
 public:
  explicit ScopedMutexHold(HANDLE mutex) : mutex_(mutex) {
    const DWORD result = WaitForSingleObject(mutex_, 0);
    held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
  }
  ScopedMutexHold(const ScopedMutexHold&) = delete;
  ScopedMutexHold& operator=(const ScopedMutexHold&) = delete;
  ~ScopedMutexHold() {
    if (held_)
      ReleaseMutex(mutex_);
  }
  bool held() const { return held_; }

 private:
  HANDLE mutex_;
  bool held_ = false;
};

// The fallback file's preference store, with the thread that does its file
// work; both live for one operation.
class FallbackStore {
 public:
  explicit FallbackStore(const base::FilePath& path) : thread_("GsTaskThread") {
    if (!thread_.Start())
      return;
    store_ = new JsonPrefStore(path, thread_.task_runner());
    store_->ReadPrefs();
  }
  FallbackStore(const FallbackStore&) = delete;
  FallbackStore& operator=(const FallbackStore&) = delete;
  ~FallbackStore() {
    if (store_)
      store_->CommitPendingWrite();
    store_ = nullptr;
    // Stopping runs the write posted above first.
    thread_.Stop();
  }

  JsonPrefStore* get() const { return store_.get(); }

  // Writes the changes and waits for the file thread: whether the file now
  // holds them.
  bool Commit() {
    if (!store_)
      return false;
    bool written = false;
    store_->CommitPendingWrite(
        base::BindOnce([](bool* result, bool success) { *result = success; }, &written));
    thread_.Stop();
    return written;
  }

 private:
  base::Thread thread_;
  scoped_refptr<JsonPrefStore> store_;
};

}  // namespace

GlobalStorage* GetGlobalStorage() {
  static GlobalStorageWin storage;
  Installation* current = Installation::GetCurrent();
  storage.DecideFallback(current && current->IsCopyOnly());
  return &storage;
}

GlobalStorageWin::GlobalStorageWin() = default;
GlobalStorageWin::~GlobalStorageWin() = default;

void GlobalStorageWin::DecideFallback(bool standalone) {
  if (decided_)
    return;
  decided_ = true;
  if (standalone) {
    use_fallback_ = true;
    return;
  }
  base::win::RegKey key;
  use_fallback_ = key.Open(HKEY_CURRENT_USER, GetProductRegistryKey().c_str(),
                           KEY_READ | KEY_WRITE) == ERROR_ACCESS_DENIED;
}

void GlobalStorageWin::SetFallbackFolder(const base::FilePath& folder) {
  fallback_path_ = folder.Append(kFallbackFileName);
  if (!base::PathExists(fallback_path_) || use_fallback_ || last_registry_write_succeeded_)
    return;
  std::vector<std::pair<std::string, std::string>> values;
  {
    FallbackStore store(fallback_path_);
    const base::Value* stored = nullptr;
    if (store.get() && store.get()->GetValue(kFallbackPref, &stored) && stored->is_dict()) {
      for (const auto& [key, value] : stored->GetDict()) {
        if (value.is_string())
          values.emplace_back(key, value.GetString());
      }
    }
  }
  migrating_ = true;
  for (const auto& [key, value] : values)
    Set(key, value);
  migrating_ = false;
}

bool GlobalStorageWin::EnsureMutex() {
  if (mutex_.IsValid())
    return true;
  mutex_.Set(CreateMutexW(nullptr, FALSE, mutex_name_.c_str()));
  if (!mutex_.IsValid() && GetLastError() == ERROR_ACCESS_DENIED)
    mutex_.Set(OpenMutexW(SYNCHRONIZE, FALSE, mutex_name_.c_str()));
  return mutex_.IsValid();
}

int32_t GlobalStorageWin::Get(const std::string& key, std::string* value) {
  if (!value)
    return kInvalidArgument;
  value->clear();
  if (key.empty())
    return kInvalidArgument;
  if (!EnsureMutex())
    return kFailure;
  ScopedMutexHold hold(mutex_.Get());
  if (!hold.held())
    return kBusy;
  return use_fallback_ ? ReadFallback(key, value) : ReadRegistry(key, value);
}

int32_t GlobalStorageWin::Set(const std::string& key, const std::string& value) {
  if (key.empty())
    return kInvalidArgument;
  if (!EnsureMutex()) {
    LOG(ERROR) << "[AU] GS: Couldn't create an access mutex";
    return kFailure;
  }
  ScopedMutexHold hold(mutex_.Get());
  if (!hold.held()) {
    LOG(ERROR) << "[AU] GS: Couldn't get hold on an access mutex";
    return kBusy;
  }
  if (use_fallback_ || (!migrating_ && base::PathExists(fallback_path_))) {
    const bool written = WriteFallback(key, value);
    if (!written)
      LOG(ERROR) << "[AU] GS: Writing to a fallback storage failed";
    if (use_fallback_)
      return written ? kSuccess : kFailure;
  }
  const int32_t result = WriteRegistry(key, value);
  last_registry_write_succeeded_ = result == kSuccess;
  return result;
}

bool GlobalStorageWin::WriteFallback(const std::string& key, const std::string& value) {
  FallbackStore store(fallback_path_);
  if (!store.get() || store.get()->ReadOnly())
    return false;
  base::Value::Dict values;
  const base::Value* stored = nullptr;
  if (store.get()->GetValue(kFallbackPref, &stored)) {
    if (!stored->is_dict())
      return false;
    values = stored->GetDict().Clone();
  }
  if (value.empty())
    values.Remove(key);
  else
    values.Set(key, value);
  return store.get()->SetValue(kFallbackPref, base::Value(std::move(values))) && store.Commit();
}

int32_t GlobalStorageWin::ReadFallback(const std::string& key, std::string* value) {
  FallbackStore store(fallback_path_);
  const base::Value* stored = nullptr;
  if (!store.get() || !store.get()->GetValue(kFallbackPref, &stored))
    return kSuccess;
  if (!stored->is_dict())
    return kFailure;
  const base::Value* found = stored->GetDict().FindByDottedPath(key);
  if (found && found->is_string() && base::IsStringASCII(found->GetString()))
    *value = found->GetString();
  return kSuccess;
}

int32_t GlobalStorageWin::WriteRegistry(const std::string& key, const std::string& value) {
  base::win::RegKey product_key;
  if (value.empty()) {
    const LONG result =
        product_key.Open(HKEY_CURRENT_USER, GetProductRegistryKey().c_str(), KEY_SET_VALUE);
    if (result == ERROR_FILE_NOT_FOUND || result == ERROR_PATH_NOT_FOUND)
      return kSuccess;
    if (result != ERROR_SUCCESS) {
      LOG(ERROR) << "[AU] GS: Deleting reg value failed with: " << result;
      return kFailure;
    }
    product_key.DeleteValue(AnsiToWide(key).c_str());
    return kSuccess;
  }
  LONG result = product_key.Create(HKEY_CURRENT_USER, GetProductRegistryKey().c_str(),
                                   KEY_SET_VALUE | KEY_QUERY_VALUE);
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "[AU] GS: Creating reg key failed with: " << result;
    return kFailure;
  }
  // The value's characters only: no terminating zero is stored. The system
  // counts a terminator it finds right after the data as part of a string
  // value, so the buffer carries something else there.
  const std::wstring characters = AnsiToWide(value);
  const std::wstring buffer = characters + L'\x1';
  result = product_key.WriteValue(AnsiToWide(key).c_str(), buffer.data(),
                                  static_cast<DWORD>(characters.size() * sizeof(wchar_t)),
                                  REG_SZ);
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "[AU] GS: Setting reg value failed with: " << result;
    return kFailure;
  }
  return kSuccess;
}

int32_t GlobalStorageWin::ReadRegistry(const std::string& key, std::string* value) {
  base::win::RegKey product_key;
  if (product_key.Open(HKEY_CURRENT_USER, GetProductRegistryKey().c_str(), KEY_QUERY_VALUE) !=
      ERROR_SUCCESS) {
    return kSuccess;
  }
  const std::wstring name = AnsiToWide(key);
  DWORD size = 0;
  DWORD type = 0;
  if (product_key.ReadValue(name.c_str(), nullptr, &size, &type) != ERROR_SUCCESS)
    return kSuccess;
  // Room for a terminating zero the stored characters may lack.
  std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
  if (product_key.ReadValue(name.c_str(), data.data(), &size, &type) != ERROR_SUCCESS)
    return kFailure;
  data.resize(size / sizeof(wchar_t));
  *value = WideToAnsi(data.c_str());
  return kSuccess;
}

}  // namespace installer
