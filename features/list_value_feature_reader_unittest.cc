#include "features/list_value_feature_reader.h"

#include <vector>

#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(ListValueFeatureReaderTest, ReadsStatesInOrder) {
  base::Value::List list;
  list.Append("installer-experiment-test@1");
  list.Append("installer-use-minimal-package@2");
  list.Append(" installer-download-sfx-package @ 1 ");
  std::vector<FeatureOverride> overrides;
  ListValueFeatureReader(list).ReadOverrides(&overrides);
  EXPECT_EQ((std::vector<FeatureOverride>{{"installer-experiment-test", true},
                                          {"installer-use-minimal-package", false},
                                          {"installer-download-sfx-package", true}}),
            overrides);
}

TEST(ListValueFeatureReaderTest, BadEntriesAreSkipped) {
  base::Value::List list;
  list.Append("installer-experiment-test@3");
  list.Append("installer-experiment-test@0");
  list.Append("installer-experiment-test");
  list.Append("a@1@2");
  list.Append("a@");
  list.Append("a@x");
  list.Append("a@1.0");
  list.Append(1);
  list.Append(true);
  list.Append(base::Value::List());
  list.Append("kept@2");
  std::vector<FeatureOverride> overrides{{"earlier", true}};
  ListValueFeatureReader(list).ReadOverrides(&overrides);
  EXPECT_EQ((std::vector<FeatureOverride>{{"earlier", true}, {"kept", false}}), overrides);
}

}  // namespace
}  // namespace installer
