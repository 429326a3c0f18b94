// FeatureReader: a source of feature overrides (the command line, a stored
// experiment list). A reader only appends; it never removes or reorders what
// earlier readers contributed, so the override added last for a name wins.

#ifndef FEATURES_FEATURE_READER_H_
#define FEATURES_FEATURE_READER_H_

#include <string>
#include <vector>

namespace installer {

// One override in force: feature |name| (UTF-8) switched on or off.
struct FeatureOverride {
  std::string name;
  bool enabled = false;

  bool operator==(const FeatureOverride& other) const = default;
};

class FeatureReader {
 public:
  virtual ~FeatureReader() = default;

  // Appends this source's overrides to |overrides|, in the source's order.
  virtual void ReadOverrides(std::vector<FeatureOverride>* overrides) const = 0;
};

}  // namespace installer

#endif  // FEATURES_FEATURE_READER_H_
