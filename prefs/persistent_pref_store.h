// PersistentPrefStore: a PrefStore that can be changed and keeps its values
// in a backing file. Reading reports how it went (PrefReadError); changes are
// written back by CommitPendingWrite, and by the store itself before it goes.

#ifndef PREFS_PERSISTENT_PREF_STORE_H_
#define PREFS_PERSISTENT_PREF_STORE_H_

#include <string>
#include <string_view>

#include "base/values.h"
#include "prefs/pref_store.h"

class PersistentPrefStore : public PrefStore {
 public:
  // Numbers as in the browser's own preference store, as they may be
  // reported.
  enum PrefReadError {
    PREF_READ_ERROR_NONE = 0,
    // The file is not JSON.
    PREF_READ_ERROR_JSON_PARSE = 1,
    // The file is JSON but not an object.
    PREF_READ_ERROR_JSON_TYPE = 2,
    PREF_READ_ERROR_ACCESS_DENIED = 3,
    PREF_READ_ERROR_FILE_OTHER = 4,
    PREF_READ_ERROR_FILE_LOCKED = 5,
    PREF_READ_ERROR_NO_FILE = 6,
  };

  // Sets |key| to |value|, creating the dictionaries along the path;
  // observers hear of it and the store becomes dirty unless the value is
  // unchanged. False (nothing changes) when a part of the path holds a
  // non-dictionary value.
  virtual bool SetValue(const std::string& key, base::Value value) = 0;
  // Removes |key| and the dictionaries it leaves empty.
  virtual void RemoveValue(const std::string& key) = 0;

  // True when the file exists but could not be read: the store then never
  // writes, so as not to replace data it has not seen.
  virtual bool ReadOnly() const = 0;
  virtual PrefReadError GetReadError() const = 0;
  // Reads the backing file synchronously, on the calling thread.
  virtual PrefReadError ReadPrefs() = 0;
  // Schedules the write of unsaved changes.
  virtual void CommitPendingWrite() = 0;

 protected:
  ~PersistentPrefStore() override = default;
};

#endif  // PREFS_PERSISTENT_PREF_STORE_H_
