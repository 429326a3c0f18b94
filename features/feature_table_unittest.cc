#include "features/feature_table.h"

#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(FeatureTableTest, EditionMasksByCodeAndChannel) {
  EXPECT_EQ((EditionMasks{0x7, 0x7}), FindEditionMasks("VLO", 1));
  EXPECT_EQ((EditionMasks{0x6, 0x6}), FindEditionMasks("VLO", 2));
  EXPECT_EQ((EditionMasks{0x4, 0x4}), FindEditionMasks("VLO", 3));
  EXPECT_EQ((EditionMasks{0x4, 0x4}), FindEditionMasks("VLO", 4));
  for (int channel = 1; channel <= 4; ++channel)
    EXPECT_EQ((EditionMasks{0x8, 0x8}), FindEditionMasks("TRQ", channel));
  EXPECT_EQ(8u, GetEditionTable().size());
}

TEST(FeatureTableTest, UnknownEditionGetsNoMasks) {
  EXPECT_EQ(EditionMasks{}, FindEditionMasks("VLO", 5));
  EXPECT_EQ(EditionMasks{}, FindEditionMasks("vlo", 3));
  EXPECT_EQ(EditionMasks{}, FindEditionMasks("", 3));
}

TEST(FeatureTableTest, ShippedProductUsesItsEditionAndChannel) {
  EXPECT_EQ((EditionMasks{0x4, 0x4}), GetEditionMasks());
}

TEST(FeatureTableTest, RowMasksMeetEditionMasks) {
  const FeatureTableRow row{"row", 0x3, 0x8, "", "", ""};
  EXPECT_TRUE(IsFeatureEnabledByDefault(row, {0x2, 0x0}));
  EXPECT_FALSE(IsFeatureEnabledByDefault(row, {0x4, 0xFF}));
  EXPECT_TRUE(IsFeatureOverridable(row, {0x0, 0x8}));
  EXPECT_FALSE(IsFeatureOverridable(row, {0xFF, 0x7}));
  // No edition: nothing is on and nothing may be overridden.
  const FeatureTableRow all{"all", 0xFFFFFFFF, 0xFFFFFFFF, "", "", ""};
  EXPECT_FALSE(IsFeatureEnabledByDefault(all, {}));
  EXPECT_FALSE(IsFeatureOverridable(all, {}));
}

}  // namespace
}  // namespace installer
