// A view of the run's statistics object at a path through nested lists, so
// that one part of the installer (a package fetch, one download attempt)
// writes its own sub-object without knowing where it sits. Keys are dotted
// paths ("os.version.major"); intermediate objects are created on write.
// Every operation holds the statistics lock for its own duration, so scopes
// may be used from any thread. A scope never owns the object or the lock.

#ifndef DESKTOP_WINDOWS_INSTALLER_STATS_SCOPE_H_
#define DESKTOP_WINDOWS_INSTALLER_STATS_SCOPE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/synchronization/lock.h"
#include "base/time/time.h"
#include "base/values.h"

namespace installer {

class StatsScope {
 public:
  // One step of a path: the dictionary at |index| of the list under |key|.
  struct PathElement {
    std::string key;
    int64_t index;
  };

  StatsScope(base::Value::Dict* stats, base::Lock* lock, base::TimeTicks start_time,
             std::vector<PathElement> path);
  StatsScope(const StatsScope&) = delete;
  StatsScope& operator=(const StatsScope&) = delete;
  ~StatsScope();

  std::unique_ptr<StatsScope> Clone() const;
  // Appends an empty object to the list under |key| (made when missing) and
  // returns the scope of that object, with this scope's start time.
  std::unique_ptr<StatsScope> AppendListEntry(std::string_view key);

  void SetString(std::string_view key, std::string_view value);
  void SetInteger(std::string_view key, int value);
  void SetValue(std::string_view key, base::Value value);
  // Missing or non-integer values count as 0.
  void Increment(std::string_view key);
  // The current UTC time as "YYYY-MM-DD hh:mm:ss.mmm".
  void SetTime(std::string_view key);
  // SetTime under |key| + ".time" and the milliseconds since the scope's start
  // time under |key| + ".elapsed".
  void SetTimeAndElapsed(std::string_view key);
  void Remove(std::string_view key);

  // The time text of SetTime for |time|.
  static std::string FormatTime(const base::Time& time);

 private:
  // The scope's object; null when the path no longer resolves (something
  // replaced a list or an element on the way). Call under the lock.
  base::Value::Dict* Resolve() const;

  base::Value::Dict* const stats_;
  base::Lock* const lock_;
  const base::TimeTicks start_time_;
  const std::vector<PathElement> path_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STATS_SCOPE_H_
