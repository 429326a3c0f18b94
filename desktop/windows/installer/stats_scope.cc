#include "desktop/windows/installer/stats_scope.h"

#include "base/strings/stringprintf.h"

namespace installer {

namespace {

constexpr char kTimeSuffix[] = ".time";
constexpr char kElapsedSuffix[] = ".elapsed";

std::string Joined(std::string_view key, const char* suffix) {
  return std::string(key) + suffix;
}

}  // namespace

StatsScope::StatsScope(base::Value::Dict* stats, base::Lock* lock, base::TimeTicks start_time,
                       std::vector<PathElement> path)
    : stats_(stats), lock_(lock), start_time_(start_time), path_(std::move(path)) {}

StatsScope::~StatsScope() = default;

base::Value::Dict* StatsScope::Resolve() const {
  base::Value::Dict* current = stats_;
  for (const PathElement& element : path_) {
    base::Value::List* list = current->FindList(element.key);
    if (!list || element.index < 0 || static_cast<size_t>(element.index) >= list->size())
      return nullptr;
    base::Value& entry = (*list)[static_cast<size_t>(element.index)];
    if (!entry.is_dict())
      return nullptr;
    current = &entry.GetDict();
  }
  return current;
}

std::unique_ptr<StatsScope> StatsScope::Clone() const {
  return std::make_unique<StatsScope>(stats_, lock_, start_time_, path_);
}

std::unique_ptr<StatsScope> StatsScope::AppendListEntry(std::string_view key) {
  std::vector<PathElement> path = path_;
  {
    base::AutoLock hold(*lock_);
    base::Value::Dict* scope = Resolve();
    int64_t index = 0;
    if (scope) {
      base::Value::List* list = scope->FindList(key);
      if (!list)
        list = &scope->Set(key, base::Value::List())->GetList();
      list->Append(base::Value::Dict());
      index = static_cast<int64_t>(list->size()) - 1;
    }
    path.push_back({std::string(key), index});
  }
  return std::make_unique<StatsScope>(stats_, lock_, start_time_, std::move(path));
}

void StatsScope::SetString(std::string_view key, std::string_view value) {
  SetValue(key, base::Value(value));
}

void StatsScope::SetInteger(std::string_view key, int value) {
  SetValue(key, base::Value(value));
}

void StatsScope::SetValue(std::string_view key, base::Value value) {
  base::AutoLock hold(*lock_);
  if (base::Value::Dict* scope = Resolve())
    scope->SetByDottedPath(key, std::move(value));
}

void StatsScope::Increment(std::string_view key) {
  base::AutoLock hold(*lock_);
  base::Value::Dict* scope = Resolve();
  if (!scope)
    return;
  int count = scope->FindIntByDottedPath(key).value_or(0);
  scope->SetByDottedPath(key, count + 1);
}

void StatsScope::SetTime(std::string_view key) {
  SetString(key, FormatTime(base::Time::Now()));
}

void StatsScope::SetTimeAndElapsed(std::string_view key) {
  SetTime(Joined(key, kTimeSuffix));
  int elapsed = static_cast<int>((base::TimeTicks::Now() - start_time_).InMilliseconds());
  SetInteger(Joined(key, kElapsedSuffix), elapsed);
}

void StatsScope::Remove(std::string_view key) {
  base::AutoLock hold(*lock_);
  if (base::Value::Dict* scope = Resolve())
    scope->RemoveByDottedPath(key);
}

std::string StatsScope::FormatTime(const base::Time& time) {
  base::Time::Exploded utc;
  time.UTCExplode(&utc);
  return base::StringPrintf("%02d-%02d-%02d %02d:%02d:%02d.%03d", utc.year, utc.month,
                            utc.day_of_month, utc.hour, utc.minute, utc.second,
                            utc.millisecond);
}

}  // namespace installer
