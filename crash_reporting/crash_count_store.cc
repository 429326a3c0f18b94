#include "crash_reporting/crash_count_store.h"

#include <climits>

#include "base/json/json_reader.h"
#include "base/json/json_writer.h"
#include "base/logging.h"
#include "base/values.h"

namespace crash_reporting {

namespace {

constexpr int kReadBlockSize = 1024;

}  // namespace

CrashCountStore::CrashCountStore(const base::FilePath& path)
    : CrashCountStore(path, WithoutThreadForTesting()) {
  StartThread();
}

CrashCountStore::CrashCountStore(const base::FilePath& path, WithoutThreadForTesting)
    : path_(path) {
  InitializeCriticalSection(&lock_);
  wake_event_.Set(CreateEventW(nullptr, FALSE, TRUE, nullptr));
}

CrashCountStore::~CrashCountStore() {
  StopThread();
  DeleteCriticalSection(&lock_);
}

void CrashCountStore::StartThread() {
  thread_.Set(CreateThread(nullptr, 0, &ThreadStart, this, 0, nullptr));
}

void CrashCountStore::StopThread() {
  if (!thread_.IsValid())
    return;
  InterlockedExchange(&stop_, 1);
  SetEvent(wake_event_.Get());
  WaitForSingleObject(thread_.Get(), INFINITE);
  thread_.Close();
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

bool CrashCountStore::HasPending() {
  EnterCriticalSection(&lock_);
  bool pending = !pending_.empty();
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
  for (int attempt = 0; attempt < kMaxFailuresPerWakeUp && HasPending(); ++attempt) {
    if (Flush())
      break;
    Sleep(kShutdownRetryDelayMs);
  }
}

// static
bool CrashCountStore::ReadCounts(base::File& file, std::string* text,
                                 std::map<std::string, int>* counts) {
  counts->clear();
  text->clear();
  if (file.created())
    return true;
  char block[kReadBlockSize];
  for (int64_t offset = 0;;) {
    int read = file.Read(offset, block, kReadBlockSize);
    if (read < 0)
      return false;
    if (read == 0)
      break;
    text->append(block, read);
    offset += read;
  }
  if (text->empty())
    return true;
  std::optional<base::Value> value = base::JSONReader::Read(*text);
  if (!value || !value->is_dict())
    return false;
  for (const auto& [key, entry] : value->GetDict()) {
    if (entry.is_int())
      (*counts)[key] = entry.GetInt();
  }
  return true;
}

bool CrashCountStore::Rewrite(base::File& file, const std::string& old_text,
                              const std::string& text) {
  // Blanks up to the old length make the one write a complete document even
  // when the new one is shorter: there is no moment at which the file is
  // empty or holds the new text with the old one's tail.
  std::string padded = text;
  if (padded.size() < old_text.size())
    padded.append(old_text.size() - padded.size(), ' ');
  if (padded.size() > INT_MAX)
    return false;
  int written = WriteAt(file, 0, padded.data(), static_cast<int>(padded.size()));
  if (written != static_cast<int>(padded.size())) {
    // Part of the new text may be in, and reach beyond the old document's
    // end: the old one goes back whole and the file is cut to its length,
    // or the tail left after it would make the file unreadable for good.
    if (WriteAt(file, 0, old_text.data(), static_cast<int>(old_text.size())) !=
            static_cast<int>(old_text.size()) ||
        !file.SetLength(static_cast<int64_t>(old_text.size()))) {
      PLOG(ERROR) << "Cannot put the crash counts back after a failed write";
    }
    return false;
  }
  // The counts are in; blanks left by a failed trim are still valid JSON.
  if (!file.SetLength(static_cast<int64_t>(text.size())))
    PLOG(WARNING) << "Cannot trim the blanks off the crash counts";
  return true;
}

int CrashCountStore::WriteAt(base::File& file, int64_t offset, const char* data, int size) {
  return file.Write(offset, data, size);
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

  base::File file(path_, base::File::FLAG_OPEN_ALWAYS | base::File::FLAG_READ |
                             base::File::FLAG_WRITE);
  std::string old_text;
  std::map<std::string, int> counts;
  if (!file.Lock() || !ReadCounts(file, &old_text, &counts)) {
    MergeBack(taken);
    return false;
  }
  for (const auto& [type, count] : taken)
    counts[type] += count;
  base::Value::Dict dict;
  for (const auto& [type, count] : counts)
    dict.Set(type, count);
  std::string json;
  bool written = base::JSONWriter::Write(dict, &json) && Rewrite(file, old_text, json);
  file.Unlock();
  if (!written) {
    MergeBack(taken);
    return false;
  }
  return true;
}

}  // namespace crash_reporting
