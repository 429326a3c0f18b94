#include "features/feature_registry.h"

#include <vector>

#include "gtest/gtest.h"

namespace installer {
namespace {

// Appends a fixed list of overrides, like any real source would.
class FixedReader : public FeatureReader {
 public:
  explicit FixedReader(std::vector<FeatureOverride> overrides) : overrides_(overrides) {}
  void ReadOverrides(std::vector<FeatureOverride>* overrides) const override {
    overrides->insert(overrides->end(), overrides_.begin(), overrides_.end());
  }

 private:
  std::vector<FeatureOverride> overrides_;
};

TEST(FeatureRegistryTest, DefaultsHoldWithoutOverrides) {
  FeatureRegistry registry;
  registry.RegisterFeature("on-feature", true, true);
  registry.RegisterFeature("off-feature", false, true);
  EXPECT_TRUE(registry.IsEnabled("on-feature"));
  EXPECT_FALSE(registry.IsEnabled("off-feature"));
  EXPECT_FALSE(registry.IsEnabled("On-Feature"));  // names are compared exactly
}

TEST(FeatureRegistryTest, UnregisteredFeatureIsOffWhateverTheOverrides) {
  FeatureRegistry registry;
  registry.ApplyReader(FixedReader({{"never-registered", true}}));
  EXPECT_FALSE(registry.IsEnabled("never-registered"));
}

TEST(FeatureRegistryTest, LastOverrideWinsAcrossReaders) {
  FeatureRegistry registry;
  registry.RegisterFeature("feature", false, true);
  registry.ApplyReader(FixedReader({{"feature", true}, {"other", false}}));
  EXPECT_TRUE(registry.IsEnabled("feature"));
  // A later reader (switches after stored experiments) wins.
  registry.ApplyReader(FixedReader({{"feature", false}}));
  EXPECT_FALSE(registry.IsEnabled("feature"));
  ASSERT_EQ(3u, registry.overrides().size());
  EXPECT_EQ((FeatureOverride{"other", false}), registry.overrides()[1]);
}

TEST(FeatureRegistryTest, OverridesOfAFixedFeatureAreRefused) {
  FeatureRegistry registry;
  registry.RegisterFeature("fixed-off", false, false);
  registry.RegisterFeature("fixed-on", true, false);
  registry.ApplyReader(FixedReader({{"fixed-off", true}, {"fixed-on", false}}));
  EXPECT_FALSE(registry.IsEnabled("fixed-off"));
  EXPECT_TRUE(registry.IsEnabled("fixed-on"));
}

TEST(FeatureRegistryTest, FirstRegistrationOfANameDecides) {
  FeatureRegistry registry;
  registry.RegisterFeature("twice", true, false);
  registry.RegisterFeature("twice", false, true);
  registry.ApplyReader(FixedReader({{"twice", false}}));
  EXPECT_TRUE(registry.IsEnabled("twice"));
  EXPECT_EQ(2u, registry.features().size());
}

}  // namespace
}  // namespace installer
