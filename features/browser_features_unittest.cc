#include "features/browser_features.h"

#include <set>
#include <string>

#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(BrowserFeaturesTest, TableHoldsEveryRowOnce) {
  std::set<std::string> names;
  for (const FeatureTableRow& row : GetBrowserFeatureTable())
    names.insert(row.switch_name);
  EXPECT_EQ(125u, names.size());
  EXPECT_STREQ("disable-password-manager-by-default",
               GetBrowserFeatureTable().front().switch_name);
  EXPECT_STREQ("improved-adblocking-popup", GetBrowserFeatureTable().back().switch_name);
}

TEST(BrowserFeaturesTest, FindsRowsByExactName) {
  const FeatureTableRow* row = FindBrowserFeature("relaunch-elevated-process");
  ASSERT_NE(nullptr, row);
  EXPECT_EQ(0xFFFFu, row->default_mask);
  EXPECT_EQ(0x1000Fu, row->overridable_mask);

  row = FindBrowserFeature("zephra");
  ASSERT_NE(nullptr, row);
  EXPECT_STREQ("Velto Zephra", row->title);
  EXPECT_FALSE(IsFeatureOverridable(*row, {0xFFFF, 0xFFFF}));
  EXPECT_TRUE(IsFeatureEnabledByDefault(*row, {0x4, 0x4}));
  EXPECT_FALSE(IsFeatureEnabledByDefault(*row, {0x8, 0x8}));

  row = FindBrowserFeature("improved-adblocking-popup");
  ASSERT_NE(nullptr, row);
  EXPECT_TRUE(IsFeatureOverridable(*row, {0x0, 0x6}));
  EXPECT_FALSE(IsFeatureOverridable(*row, {0x4, 0x4}));

  EXPECT_EQ(nullptr, FindBrowserFeature("Zephra"));
  EXPECT_EQ(nullptr, FindBrowserFeature("installer-experiment-test"));
  EXPECT_EQ(nullptr, FindBrowserFeature(""));
}

}  // namespace
}  // namespace installer
