// ListValueFeatureReader: overrides from a stored experiment list, a list of
// strings "name@1" (on) or "name@2" (off), white space around either piece
// allowed. Elements that are not strings, or not of that form, are skipped
// silently: the list comes from a file that other versions may have written.

#ifndef FEATURES_LIST_VALUE_FEATURE_READER_H_
#define FEATURES_LIST_VALUE_FEATURE_READER_H_

#include <vector>

#include "base/values.h"
#include "features/feature_reader.h"

namespace installer {

class ListValueFeatureReader : public FeatureReader {
 public:
  // |list| must outlive the reader.
  explicit ListValueFeatureReader(const base::Value::List& list);
  ~ListValueFeatureReader() override;

  void ReadOverrides(std::vector<FeatureOverride>* overrides) const override;

 private:
  const base::Value::List& list_;
};

}  // namespace installer

#endif  // FEATURES_LIST_VALUE_FEATURE_READER_H_
