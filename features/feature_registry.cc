#include "features/feature_registry.h"

namespace installer {

FeatureRegistry::FeatureRegistry() = default;
FeatureRegistry::~FeatureRegistry() = default;

void FeatureRegistry::RegisterFeature(std::string_view name, bool enabled_by_default,
                                      bool overridable) {
  features_.push_back(Feature{std::string(name), enabled_by_default, overridable});
}

bool FeatureRegistry::IsEnabled(std::string_view name) const {
  for (const Feature& feature : features_) {
    if (feature.name != name)
      continue;
    if (feature.overridable) {
      for (auto it = overrides_.rbegin(); it != overrides_.rend(); ++it) {
        if (it->name == name)
          return it->enabled;
      }
    }
    return feature.enabled_by_default;
  }
  return false;
}

void FeatureRegistry::ApplyReader(const FeatureReader& reader) {
  reader.ReadOverrides(&overrides_);
}

}  // namespace installer
