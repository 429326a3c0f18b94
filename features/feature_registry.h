// FeatureRegistry: the named on/off features of this process and the
// overrides in force. A feature is answered only when it was registered; its
// registered default holds unless the feature is overridable and some reader
// supplied an override for it, in which case the override added last wins.
// Registrations and overrides are never removed. Filled on the main thread
// before other threads start; read-only afterwards.

#ifndef FEATURES_FEATURE_REGISTRY_H_
#define FEATURES_FEATURE_REGISTRY_H_

#include <string>
#include <string_view>
#include <vector>

#include "features/feature_reader.h"

namespace installer {

class FeatureRegistry {
 public:
  struct Feature {
    std::string name;
    bool enabled_by_default = false;
    bool overridable = false;
  };

  FeatureRegistry();
  FeatureRegistry(const FeatureRegistry&) = delete;
  FeatureRegistry& operator=(const FeatureRegistry&) = delete;
  ~FeatureRegistry();

  // Appends a feature. A second registration of the same name is kept but
  // never consulted: lookups stop at the first.
  void RegisterFeature(std::string_view name, bool enabled_by_default, bool overridable);

  // False for a feature that was never registered, whatever the overrides say.
  bool IsEnabled(std::string_view name) const;

  // Lets |reader| append its overrides after those already in force.
  void ApplyReader(const FeatureReader& reader);

  // Registered features in registration order.
  const std::vector<Feature>& features() const { return features_; }
  // Overrides in the order added.
  const std::vector<FeatureOverride>& overrides() const { return overrides_; }

 private:
  std::vector<Feature> features_;
  std::vector<FeatureOverride> overrides_;
};

}  // namespace installer

#endif  // FEATURES_FEATURE_REGISTRY_H_
