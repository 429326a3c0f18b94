#include "features/features.h"

#include <thread>
#include <vector>

#include "base/command_line.h"
#include "base/test/test_environment.h"
#include "base/values.h"
#include "base/strings/utf_string_conversions.h"
#include "features/command_line_feature_reader.h"
#include "features/feature_registry.h"
#include "features/list_value_feature_reader.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(FeaturesTest, SwitchName) {
  EXPECT_EQ("with-feature:installer-experiment-test",
            GetFeatureSwitchName("installer-experiment-test"));
}

TEST(FeaturesTest, ProcessWideRegistryIsCreatedOnce) {
  std::vector<FeatureRegistry*> seen(8, nullptr);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i)
    threads.emplace_back([&seen, i] { seen[i] = GetFeatureRegistry(); });
  for (std::thread& thread : threads)
    thread.join();
  for (FeatureRegistry* registry : seen)
    EXPECT_EQ(GetFeatureRegistry(), registry);
  ASSERT_NE(nullptr, GetFeatureRegistry());
}

TEST(FeaturesTest, IsFeatureEnabledAsksTheProcessWideRegistry) {
  const std::string name = base::WideToUTF8(base::test::UniqueName(L"feature"));
  EXPECT_FALSE(IsFeatureEnabled(name));
  GetFeatureRegistry()->RegisterFeature(name, true, true);
  EXPECT_TRUE(IsFeatureEnabled(name));
}

TEST(FeaturesTest, RegisteredDefaultsAreNotWrittenForChildren) {
  ResetFeatureRegistryForTesting();
  base::CommandLine child(base::CommandLine::NO_PROGRAM);
  AppendFeatureSwitches(&child);
  EXPECT_TRUE(child.GetSwitches().empty());

  FeatureRegistry registry;
  registry.RegisterFeature("on-by-default", true, true);
  AppendFeatureSwitches(registry, &child);
  EXPECT_TRUE(child.GetSwitches().empty());
}

// A child process started with the written switches must come to the same
// answers as its parent, also where a later override replaced an earlier one.
TEST(FeaturesTest, ChildCommandLineCarriesTheOverridesInForce) {
  FeatureRegistry parent;
  parent.RegisterFeature("a", false, true);
  parent.RegisterFeature("b", true, true);
  parent.RegisterFeature("c", false, true);
  base::Value::List stored;
  stored.Append("a@1");
  stored.Append("b@2");
  parent.ApplyReader(ListValueFeatureReader(stored));
  base::CommandLine own = base::CommandLine::FromString(L"installer.exe --with-feature:a=off");
  parent.ApplyReader(CommandLineFeatureReader(own));

  base::CommandLine child(base::FilePath(L"C:\\dir\\installer.exe"));
  child.AppendSwitch("backend");
  AppendFeatureSwitches(parent, &child);
  EXPECT_EQ(L"off", child.GetSwitchValueNative("with-feature:a"));
  EXPECT_EQ(L"off", child.GetSwitchValueNative("with-feature:b"));
  EXPECT_FALSE(child.HasSwitch("with-feature:c"));

  base::CommandLine reparsed = base::CommandLine::FromString(child.GetCommandLineString());
  FeatureRegistry child_registry;
  child_registry.RegisterFeature("a", false, true);
  child_registry.RegisterFeature("b", true, true);
  child_registry.RegisterFeature("c", false, true);
  child_registry.ApplyReader(CommandLineFeatureReader(reparsed));
  for (const char* name : {"a", "b", "c"})
    EXPECT_EQ(parent.IsEnabled(name), child_registry.IsEnabled(name)) << name;
}

}  // namespace
}  // namespace installer
