#include "product_config/product_config.h"

#include "gtest/gtest.h"

namespace installer {

// The test executables carry the same resources as installer.exe.
TEST(ProductConfigTest, ShippedConfigurationFromExecutable) {
  ASSERT_NE(nullptr, ProductConfig::GetInstance());
  EXPECT_EQ("47.0.2631.23", GetVersion());
  EXPECT_EQ("Velto", GetProductName());
  EXPECT_EQ("Velto quenn", GetProductDisplayName());
  EXPECT_EQ("velto", ProductConfig::GetFileNameBase());
  EXPECT_EQ("Velto Software", ProductConfig::GetCompanyName());
  EXPECT_EQ("Velto Software AS", ProductConfig::GetExpectedSigner());
  EXPECT_EQ("VLO", GetUserAgentName());
  EXPECT_TRUE(ProductConfig::ShouldScheduleAutoupdateTask());
  EXPECT_EQ(5, ProductConfig::GetScheduledAutoupdateDelayMin());
  EXPECT_EQ("", ProductConfig::GetShortcutSuffix());
  EXPECT_FALSE(ProductConfig::IsWhiteLabeled());
  // Callers append paths directly: the trailing slash is part of the value.
  std::string autoupdate = ProductConfig::GetUrl("autoupdate");
  ASSERT_FALSE(autoupdate.empty());
  EXPECT_EQ('/', autoupdate.back());
  EXPECT_EQ(0u, autoupdate.find("https://"));
  EXPECT_EQ("", ProductConfig::GetUrl("no_such_entry"));
}

TEST(ProductConfigTest, BuildConstants) {
  EXPECT_EQ(60, GetChromiumMajorVersion());
  EXPECT_EQ("2631.23", GetBuildNumberString());
  EXPECT_EQ("quenn", GetStreamName());
  EXPECT_EQ("20170712_170001", GetBuildStamp());
  EXPECT_EQ(882101, GetUniqueBuildNumber());
  EXPECT_EQ(306433, GetBuildIdNumber());
  EXPECT_EQ(3, GetChannelNumber());
}

TEST(ProductConfigTest, VersionFollowsDeltaAndMinorFlag) {
  auto config = ProductConfig::Parse(R"({"major_delta": 3, "use_chromium_major_for_minor": true})");
  ASSERT_TRUE(config);
  EXPECT_EQ("50.60.2631.23", GetVersionString(&*config));
  EXPECT_EQ("47.0.2631.23", GetVersionString(nullptr));
}

TEST(ProductConfigTest, TypedGettersToleratesMissingAndMistypedKeys) {
  auto config = ProductConfig::Parse(R"({"a": {"b": "text", "n": 7, "f": true}, "s": 1})");
  ASSERT_TRUE(config);
  EXPECT_EQ("text", ProductConfig::GetString(&*config, "a.b"));
  EXPECT_EQ("", ProductConfig::GetString(&*config, "s"));
  EXPECT_EQ("", ProductConfig::GetString(&*config, "a.missing"));
  EXPECT_EQ(7, ProductConfig::GetInt(&*config, "a.n"));
  EXPECT_EQ(0, ProductConfig::GetInt(&*config, "a.b"));
  EXPECT_TRUE(ProductConfig::GetBool(&*config, "a.f"));
  EXPECT_FALSE(ProductConfig::GetBool(&*config, "a.n"));
}

TEST(ProductConfigTest, OnlyAnObjectIsAConfiguration) {
  EXPECT_FALSE(ProductConfig::Parse("[1, 2]"));
  EXPECT_FALSE(ProductConfig::Parse(""));
  EXPECT_FALSE(ProductConfig::Parse("{\"a\": 1,}"));
  EXPECT_TRUE(ProductConfig::Parse("{}"));
}

}  // namespace installer
