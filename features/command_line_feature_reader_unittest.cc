#include "features/command_line_feature_reader.h"

#include <vector>

#include "base/command_line.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

std::vector<FeatureOverride> Read(const wchar_t* command_line) {
  base::CommandLine parsed = base::CommandLine::FromString(command_line);
  std::vector<FeatureOverride> overrides;
  CommandLineFeatureReader(parsed).ReadOverrides(&overrides);
  return overrides;
}

TEST(CommandLineFeatureReaderTest, OnOffAndNoValue) {
  // Read in switch-name order, not in the order written.
  EXPECT_EQ((std::vector<FeatureOverride>{{"b-feature", true},
                                          {"c-feature", false},
                                          {"installer-download-sfx-package", true}}),
            Read(L"installer.exe --with-feature:installer-download-sfx-package "
                 L"--with-feature:c-feature=off --with-feature:b-feature=on"));
}

TEST(CommandLineFeatureReaderTest, OtherSwitchesAndArgumentsAreIgnored) {
  EXPECT_EQ((std::vector<FeatureOverride>{{"x", true}}),
            Read(L"installer.exe --silent --with-featurex=on --feature:y=on "
                 L"--With-Feature:X -- --with-feature:z=on"));
}

TEST(CommandLineFeatureReaderTest, UnknownValuesLeaveTheDefault) {
  EXPECT_TRUE(Read(L"installer.exe --with-feature:a=yes --with-feature:b=ON "
                   L"--with-feature:c=1").empty());
}

TEST(CommandLineFeatureReaderTest, NonAsciiValueReadsAsEmptyAndTurnsTheFeatureOn) {
  EXPECT_EQ((std::vector<FeatureOverride>{{"a", true}, {"b", true}}),
            Read(L"installer.exe --with-feature:a=\u00f6ff --with-feature:b=of\u00df"));
}

}  // namespace
}  // namespace installer
