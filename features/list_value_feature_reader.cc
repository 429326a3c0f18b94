#include "features/list_value_feature_reader.h"

#include <string>

#include "base/strings/string_number_conversions.h"
#include "base/strings/string_split.h"

namespace installer {

namespace {

// The state numbers of a stored experiment entry.
constexpr int kStateEnabled = 1;
constexpr int kStateDisabled = 2;

}  // namespace

ListValueFeatureReader::ListValueFeatureReader(const base::Value::List& list) : list_(list) {}

ListValueFeatureReader::~ListValueFeatureReader() = default;

void ListValueFeatureReader::ReadOverrides(std::vector<FeatureOverride>* overrides) const {
  for (const base::Value& element : list_) {
    const std::string* entry = element.GetIfString();
    if (!entry)
      continue;
    std::vector<std::string> pieces =
        base::SplitString(*entry, "@", base::TRIM_WHITESPACE, base::SPLIT_WANT_ALL);
    int state = 0;
    if (pieces.size() != 2 || !base::StringToInt(pieces[1], &state))
      continue;
    if (state != kStateEnabled && state != kStateDisabled)
      continue;
    overrides->push_back(FeatureOverride{std::move(pieces[0]), state == kStateEnabled});
  }
}

}  // namespace installer
