#include "crash_reporting/crash_count_store.h"

#include "base/files/file_util.h"
#include "base/files/important_file_writer.h"
#include "base/json/json_reader.h"
#include "base/json/json_writer.h"
#include "base/logging.h"
#include "base/values.h"

namespace crash_reporting {

namespace {

constexpr DWORD kRetryDelayMs = 100;
constexpr DWORD kShutdownRetryDelayMs = 50;

}  // namespace

CrashCountStore::CrashCountStore(const base::FilePath& path) : path_(path) {
  InitializeCriticalSection(&lock_);
  wake_event_.Set(CreateEventW(nullptr, FALSE, TRUE, nullptr));
  thread_.Set(CreateThread(nullptr, 0, &ThreadStart, this, 0, nullptr));
}

CrashCountStore::CrashCountStore(const base::FilePath& path, WithoutThreadForTesting)
    : path_(path) {
  InitializeCriticalSection(&lock_);
  wake_event_.Set(CreateEventW(nullptr, FALSE, TRUE, nullptr));
}

CrashCountStore::~CrashCountStore() {
  InterlockedExchange(&stop_, 1);
  SetEvent(wake_event_.Get());
  if (thread_.IsValid())
    WaitForSingleObject(thread_.Get(), INFINITE);
  DeleteCriticalSection(&lock_);
}

// static
DWORD WINAPI CrashCountStore::ThreadStart(void* parameter) {
  static_cast<CrashCountStore*>(parameter)->ThreadMain();
  return 0;
}

void CrashCountStore::Add(const std::string& process_type, int count, bool signal) {
  EnterCriticalSection(&lock_);
  pending_[process_type] += count;
  LeaveCriticalSection(&lock_);
  if (signal)
    SetEvent(wake_event_.Get());
}

std::map<std::string, int> CrashCountStore::GetPendingForTesting() {
  EnterCriticalSection(&lock_);
  std::map<std::string, int> pending = pending_;
  LeaveCriticalSection(&lock_);
  return pending;
}

void CrashCountStore::ThreadMain() {
  int failures = 0;
  WaitForSingleObject(wake_event_.Get(), INFINITE);
  while (!InterlockedCompareExchange(&stop_, 0, 0)) {
    if (Flush()) {
      failures = 0;
    } else if (++failures < kMaxFailuresPerWakeUp) {
      SetEvent(wake_event_.Get());
      Sleep(kRetryDelayMs);
    } else {
      failures = 0;
    }
    WaitForSingleObject(wake_event_.Get(), INFINITE);
  }
  for (int attempt = 0; attempt < kMaxFailuresPerWakeUp && !GetPendingForTesting().empty();
       ++attempt) {
    if (Flush())
      break;
    Sleep(kShutdownRetryDelayMs);
  }
}

bool CrashCountStore::ReadCounts(std::map<std::string, int>* counts) {
  counts->clear();
  if (!base::PathExists(path_))
    return true;
  std::string text;
  if (!base::ReadFileToString(path_, &text))
    return false;
  if (text.empty())
    return true;
  std::optional<base::Value> value = base::JSONReader::Read(text);
  if (!value || !value->is_dict())
    return false;
  for (const auto& [key, entry] : value->GetDict()) {
    if (entry.is_int())
      (*counts)[key] = entry.GetInt();
  }
  return true;
}

void CrashCountStore::MergeBack(const std::map<std::string, int>& taken) {
  EnterCriticalSection(&lock_);
  for (const auto& [type, count] : taken)
    pending_[type] += count;
  LeaveCriticalSection(&lock_);
}

bool CrashCountStore::Flush() {
  std::map<std::string, int> taken;
  EnterCriticalSection(&lock_);
  taken.swap(pending_);
  LeaveCriticalSection(&lock_);
  if (taken.empty())
    return true;

  // Opened without sharing: another store holding it makes this round fail.
  base::FilePath lock_path(path_.value() + L".lock");
  base::win::ScopedHandle file_lock(CreateFileW(lock_path.value().c_str(),
                                                GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::map<std::string, int> counts;
  if (!file_lock.IsValid() || !ReadCounts(&counts)) {
    MergeBack(taken);
    return false;
  }
  for (const auto& [type, count] : taken)
    counts[type] += count;
  base::Value::Dict dict;
  for (const auto& [type, count] : counts)
    dict.Set(type, count);
  std::string json;
  if (!base::JSONWriter::Write(dict, &json) ||
      !base::ImportantFileWriter::WriteFileAtomically(path_, json)) {
    MergeBack(taken);
    return false;
  }
  return true;
}

}  // namespace crash_reporting
