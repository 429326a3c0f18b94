// PrefStore: a source of preference values addressed by dotted key paths
// ("intl.app_locale"). Observers learn when a value changes and when the
// store has finished its first read. Reference counted so that the code that
// reads preferences and the code that owns the file can share one store; a
// store is used on one sequence, but its last reference may go anywhere.

#ifndef PREFS_PREF_STORE_H_
#define PREFS_PREF_STORE_H_

#include <string>
#include <string_view>

#include "base/memory/ref_counted.h"
#include "base/values.h"

class PrefStore : public base::RefCountedThreadSafe<PrefStore> {
 public:
  class Observer {
   public:
    virtual void OnPrefValueChanged(const std::string& key) {}
    virtual void OnInitializationCompleted(bool succeeded) {}

   protected:
    virtual ~Observer() = default;
  };

  PrefStore(const PrefStore&) = delete;
  PrefStore& operator=(const PrefStore&) = delete;

  virtual void AddObserver(Observer* observer) = 0;
  virtual void RemoveObserver(Observer* observer) = 0;
  virtual bool HasObservers() const = 0;

  // Whether the store has read its values (successfully or not).
  virtual bool IsInitializationComplete() const = 0;

  // The value at |key| in |result| (owned by the store, valid until the next
  // change). False when there is none.
  virtual bool GetValue(std::string_view key, const base::Value** result) const = 0;

  // A copy of every value.
  virtual base::Value::Dict GetValues() const = 0;

 protected:
  friend class base::RefCountedThreadSafe<PrefStore>;
  PrefStore() = default;
  virtual ~PrefStore() = default;
};

#endif  // PREFS_PREF_STORE_H_
