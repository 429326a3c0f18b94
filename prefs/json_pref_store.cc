#include "prefs/json_pref_store.h"

#include <windows.h>

#include <utility>

#include "base/files/file.h"
#include "base/files/file_util.h"
#include "base/files/important_file_writer.h"
#include "base/functional/bind.h"
#include "base/json/json_reader.h"
#include "base/json/json_writer.h"
#include "base/location.h"
#include "base/logging.h"
#include "base/threading/sequenced_worker_pool.h"

namespace {

// |keep_aside|: the file on disk is damaged and goes to "<name>.bad" first;
// when it cannot be moved the new data is not written over it.
bool WriteToDisk(const base::FilePath& path, const std::string& data, bool keep_aside) {
  if (keep_aside && base::PathExists(path)) {
    const base::FilePath bad_path = JsonPrefStore::GetBadFilePath(path);
    if (!base::Move(path, bad_path)) {
      LOG(ERROR) << "Cannot move the damaged preferences aside to " << bad_path
                 << "; they are not overwritten";
      return false;
    }
  }
  if (!base::ImportantFileWriter::WriteFileAtomically(path, data)) {
    LOG(ERROR) << "Failed to write preferences to " << path;
    return false;
  }
  return true;
}

void WriteToDiskAndReport(const base::FilePath& path, const std::string& data, bool keep_aside,
                          base::OnceCallback<void(bool)> on_written) {
  const bool written = WriteToDisk(path, data, keep_aside);
  if (on_written)
    std::move(on_written).Run(written);
}

PersistentPrefStore::PrefReadError ErrorFromOpenFailure(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return PersistentPrefStore::PREF_READ_ERROR_NO_FILE;
    case ERROR_ACCESS_DENIED:
      return PersistentPrefStore::PREF_READ_ERROR_ACCESS_DENIED;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return PersistentPrefStore::PREF_READ_ERROR_FILE_LOCKED;
    default:
      return PersistentPrefStore::PREF_READ_ERROR_FILE_OTHER;
  }
}

}  // namespace

// static
scoped_refptr<base::SequencedTaskRunner> JsonPrefStore::GetTaskRunnerForFile(
    const base::FilePath& path, base::SequencedWorkerPool* pool) {
  const std::string token_name = "json_pref_store-" + path.AsUTF8Unsafe();
  return pool->GetSequencedTaskRunnerWithShutdownBehavior(
      pool->GetNamedSequenceToken(token_name), base::SequencedWorkerPool::BLOCK_SHUTDOWN);
}

// static
base::FilePath JsonPrefStore::GetBadFilePath(const base::FilePath& path) {
  return base::FilePath(path.value() + L".bad");
}

JsonPrefStore::JsonPrefStore(const base::FilePath& path,
                             scoped_refptr<base::SequencedTaskRunner> file_task_runner)
    : path_(path), file_task_runner_(std::move(file_task_runner)) {}

JsonPrefStore::~JsonPrefStore() {
  CommitPendingWrite();
}

void JsonPrefStore::AddObserver(PrefStore::Observer* observer) {
  observers_.AddObserver(observer);
}

void JsonPrefStore::RemoveObserver(PrefStore::Observer* observer) {
  observers_.RemoveObserver(observer);
}

bool JsonPrefStore::HasObservers() const {
  return !observers_.empty();
}

bool JsonPrefStore::IsInitializationComplete() const {
  return initialized_;
}

bool JsonPrefStore::GetValue(std::string_view key, const base::Value** result) const {
  const base::Value* value = prefs_.FindByDottedPath(key);
  if (!value)
    return false;
  if (result)
    *result = value;
  return true;
}

base::Value::Dict JsonPrefStore::GetValues() const {
  return prefs_.Clone();
}

bool JsonPrefStore::SetValue(const std::string& key, base::Value value) {
  const base::Value* old_value = prefs_.FindByDottedPath(key);
  if (old_value && *old_value == value)
    return true;
  if (!prefs_.SetByDottedPath(key, std::move(value))) {
    LOG(ERROR) << "Cannot set the preference " << key;
    return false;
  }
  dirty_ = true;
  NotifyValueChanged(key);
  return true;
}

void JsonPrefStore::RemoveValue(const std::string& key) {
  if (!prefs_.RemoveByDottedPath(key))
    return;
  dirty_ = true;
  NotifyValueChanged(key);
}

bool JsonPrefStore::ReadOnly() const {
  return read_only_;
}

PersistentPrefStore::PrefReadError JsonPrefStore::GetReadError() const {
  return read_error_;
}

PersistentPrefStore::PrefReadError JsonPrefStore::ReadPrefs() {
  read_error_ = ReadFile();
  read_only_ = read_error_ == PREF_READ_ERROR_ACCESS_DENIED ||
               read_error_ == PREF_READ_ERROR_FILE_LOCKED ||
               read_error_ == PREF_READ_ERROR_FILE_OTHER;
  initialized_ = true;
  for (PrefStore::Observer& observer : observers_)
    observer.OnInitializationCompleted(read_error_ == PREF_READ_ERROR_NONE ||
                                       read_error_ == PREF_READ_ERROR_NO_FILE);
  return read_error_;
}

PersistentPrefStore::PrefReadError JsonPrefStore::ReadFile() {
  prefs_.clear();
  base::File file(path_, base::File::FLAG_OPEN | base::File::FLAG_READ);
  if (!file.IsValid()) {
    const PrefReadError error = ErrorFromOpenFailure(file.error_details());
    if (error != PREF_READ_ERROR_NO_FILE)
      LOG(ERROR) << "Cannot open the preferences " << path_;
    return error;
  }
  std::string data;
  char buffer[4096];
  for (;;) {
    const int read = file.ReadAtCurrentPos(buffer, sizeof(buffer));
    if (read < 0) {
      PLOG(ERROR) << "Cannot read the preferences " << path_;
      return PREF_READ_ERROR_FILE_OTHER;
    }
    if (read == 0)
      break;
    data.append(buffer, read);
  }
  file.Close();

  base::JSONReader::Result result = base::JSONReader::ReadAndReturnValueWithError(data);
  PrefReadError error = PREF_READ_ERROR_NONE;
  if (!result.has_value()) {
    LOG(ERROR) << "The preferences " << path_ << " are not JSON: " << result.error.message;
    error = PREF_READ_ERROR_JSON_PARSE;
  } else if (!result.value->is_dict()) {
    LOG(ERROR) << "The preferences " << path_ << " are not a JSON object";
    error = PREF_READ_ERROR_JSON_TYPE;
  } else {
    prefs_ = std::move(*result.value).TakeDict();
    return PREF_READ_ERROR_NONE;
  }
  // Reading alone changes nothing on disk; the first write keeps the damaged
  // file for inspection instead of replacing it.
  keep_damaged_file_aside_ = true;
  return error;
}

void JsonPrefStore::CommitPendingWrite() {
  CommitPendingWrite(base::OnceCallback<void(bool)>());
}

void JsonPrefStore::CommitPendingWrite(base::OnceCallback<void(bool)> on_written) {
  if (read_only_)
    return;
  if (!dirty_) {
    if (on_written && file_task_runner_)
      file_task_runner_->PostTask(FROM_HERE, base::BindOnce(std::move(on_written), true));
    return;
  }
  std::string data;
  if (!base::JSONWriter::Write(prefs_, &data)) {
    LOG(ERROR) << "Cannot serialize the preferences " << path_;
    return;
  }
  if (!file_task_runner_ ||
      !file_task_runner_->PostTask(
          FROM_HERE, base::BindOnce(&WriteToDiskAndReport, path_, data, keep_damaged_file_aside_,
                                    std::move(on_written)))) {
    LOG(WARNING) << "The write of " << path_ << " was not accepted";
    return;
  }
  dirty_ = false;
  keep_damaged_file_aside_ = false;
}

void JsonPrefStore::NotifyValueChanged(const std::string& key) {
  for (PrefStore::Observer& observer : observers_)
    observer.OnPrefValueChanged(key);
}
