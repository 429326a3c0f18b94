#include "desktop/windows/installer/package_fetcher/downloaded_item_version.h"

#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/synchronization/lock.h"
#include "base/time/time.h"
#include "base/values.h"
#include "desktop/windows/installer/stats_scope.h"
#include "gtest/gtest.h"
#include "product_config/product_config.h"

namespace installer {
namespace {

class DownloadedItemVersionTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.CreateUniqueTempDir()); }

  // A program (a batch file) that answers the two switches as given; an empty
  // answer prints nothing.
  base::FilePath Item(const std::string& version, const std::string& stream) {
    std::string script = "@echo off\r\n";
    if (!version.empty())
      script += "if \"%1\"==\"--internal-version\" echo " + version + "\r\n";
    if (!stream.empty())
      script += "if \"%1\"==\"--stream\" echo " + stream + "\r\n";
    base::FilePath path = dir_.GetPath().Append(L"item " + std::to_wstring(++items_) + L".bat");
    EXPECT_TRUE(base::WriteFile(path, script));
    return path;
  }

  bool Check(const base::FilePath& item, bool check_stream) {
    stats_ = base::Value::Dict();
    StatsScope scope(&stats_, &lock_, base::TimeTicks::Now(), {});
    return CheckDownloadedItemVersion(item, check_stream, &scope);
  }

  base::ScopedTempDir dir_;
  base::Value::Dict stats_;
  base::Lock lock_;
  int items_ = 0;
};

TEST_F(DownloadedItemVersionTest, SameBuildAndStreamPass) {
  EXPECT_TRUE(Check(Item(GetBuildNumberString(), GetStreamName()), true));
  EXPECT_EQ(GetBuildNumberString(), *stats_.FindString("internal_version"));
  EXPECT_EQ(GetStreamName(), *stats_.FindString("stream"));
}

TEST_F(DownloadedItemVersionTest, NewerBuildPasses) {
  EXPECT_TRUE(Check(Item("2632.1", GetStreamName()), true));
  EXPECT_TRUE(Check(Item("9999.0.0.1", ""), false));
  EXPECT_FALSE(stats_.contains("stream"));
}

TEST_F(DownloadedItemVersionTest, OlderBuildIsRefusedBeforeTheStreamIsAsked) {
  EXPECT_FALSE(Check(Item("2631.22", GetStreamName()), true));
  EXPECT_EQ("2631.22", *stats_.FindString("internal_version"));
  EXPECT_FALSE(stats_.contains("stream"));
}

TEST_F(DownloadedItemVersionTest, OtherStreamIsRefusedOnlyWhenChecked) {
  const base::FilePath item = Item(GetBuildNumberString(), "fennick");
  EXPECT_FALSE(Check(item, true));
  EXPECT_EQ("fennick", *stats_.FindString("stream"));
  EXPECT_TRUE(Check(item, false));
}

TEST_F(DownloadedItemVersionTest, SilentOrGarbledItemCountsAsOlder) {
  EXPECT_FALSE(Check(Item("", GetStreamName()), true));
  EXPECT_EQ("", *stats_.FindString("internal_version"));
  EXPECT_FALSE(Check(Item("not-a-version", GetStreamName()), true));
  EXPECT_FALSE(Check(dir_.GetPath().Append(L"missing.exe"), true));
}

}  // namespace
}  // namespace installer
