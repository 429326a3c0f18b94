#include "desktop/windows/installer/pref_default_overrides_fetcher.h"

#include <memory>
#include <string>

#include "base/files/file_util.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/local_package_server.h"
#include "base/test/test_environment.h"
#include "desktop/windows/installer/wininet/test/download_test_util.h"
#include "features/feature_registry.h"
#include "features/installer_features.h"
#include "gtest/gtest.h"
#include "product_config/product_config.h"

namespace installer {
namespace {

using Fetcher = PrefDefaultOverridesFetcher;

class PrefDefaultOverridesFetcherTest : public testing::Test {
 protected:
  void SetUp() override {
    base::CommandLine::Init(0, nullptr);
    folder_ = base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"pkg"));
    ASSERT_TRUE(base::CreateDirectory(folder_));
    enabled_.RegisterFeature(kInstallerPrefDefaultOverridesSupportFeature, true, true);
    disabled_.RegisterFeature(kInstallerPrefDefaultOverridesSupportFeature, false, true);
  }
  void TearDown() override {
    base::CommandLine::ForCurrentProcess()->RemoveSwitch(Fetcher::kLocalServerSwitch);
  }

  // Points the process's requests at |path| of the local server.
  void UseServer(std::wstring_view path) {
    base::CommandLine::ForCurrentProcess()->AppendSwitchNative(Fetcher::kLocalServerSwitch,
                                                               server_.Url(path));
  }

  // Runs a fetch to its completion; returns how often the completion ran.
  int Fetch(Fetcher* fetcher, const std::string& tracking_data) {
    int completions = 0;
    base::RunLoop run_loop;
    fetcher->Start(tracking_data, base::BindOnce(
                                      [](int* completions, base::RunLoop* run_loop) {
                                        ++*completions;
                                        run_loop->Quit();
                                      },
                                      &completions, &run_loop));
    if (completions == 0) {
      EXPECT_TRUE(test::RunUntilQuitOrTimeout(&run_loop));
    }
    base::RunLoop().RunUntilIdle();
    return completions;
  }

  base::MessageLoop loop_;
  base::FilePath folder_;
  FeatureRegistry enabled_;
  FeatureRegistry disabled_;
  test::FakeUIDelegate ui_delegate_;
  base::test::LocalPackageServer server_;
};

TEST_F(PrefDefaultOverridesFetcherTest, RequestUrl) {
  base::CommandLine command_line(base::CommandLine::NO_PROGRAM);
  EXPECT_EQ(base::UTF8ToWide(ProductConfig::GetUrl("autoupdate") + "api/prefs/?product=Velto&version=" +
                             GetVersion()),
            Fetcher::BuildRequestUrl(command_line));
  command_line.AppendSwitch(Fetcher::kLocalServerSwitch);
  EXPECT_EQ(0u, Fetcher::BuildRequestUrl(command_line).find(L"http://127.0.0.1:"));
  command_line.AppendSwitchNative(Fetcher::kLocalServerSwitch, L"http://127.0.0.1:5/x?y=%2B");
  EXPECT_EQ(L"http://127.0.0.1:5/x?y=%2B", Fetcher::BuildRequestUrl(command_line));
}

TEST_F(PrefDefaultOverridesFetcherTest, FeatureOffCompletesAtOnce) {
  ASSERT_TRUE(server_.StartWithRoutes(base::Value::Dict()));
  UseServer(L"/api/prefs/");
  Fetcher fetcher(folder_, &ui_delegate_, &disabled_);
  EXPECT_EQ(1, Fetch(&fetcher, "tracking"));
  EXPECT_FALSE(base::PathExists(fetcher.target_path()));
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(PrefDefaultOverridesFetcherTest, StoresTheAnswer) {
  base::Value::Dict prefs;
  prefs.Set("body", R"({"show_bookmark_bar": true})");
  base::Value::Dict routes;
  routes.Set("/api/prefs/", std::move(prefs));
  ASSERT_TRUE(server_.StartWithRoutes(std::move(routes)));
  UseServer(L"/api/prefs/");

  Fetcher fetcher(folder_, &ui_delegate_, &enabled_);
  EXPECT_EQ(1, Fetch(&fetcher, "partner=ab&campaign=c%2B"));
  std::string content;
  ASSERT_TRUE(base::ReadFileToString(folder_.Append(L"pref_default_overrides"), &content));
  EXPECT_EQ(R"({"show_bookmark_bar": true})", content);
  std::vector<base::Value::Dict> requests = server_.Requests();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("POST", *requests[0].FindString("method"));
  EXPECT_EQ("partner=ab&campaign=c%2B", *requests[0].FindString("body"));
}

TEST_F(PrefDefaultOverridesFetcherTest, FailedAnswerLeavesNoFile) {
  base::Value::Dict failing;
  failing.Set("status", 500);
  failing.Set("body", "partial answer");
  base::Value::Dict routes;
  routes.Set("/api/prefs/", std::move(failing));
  ASSERT_TRUE(server_.StartWithRoutes(std::move(routes)));
  UseServer(L"/api/prefs/");

  Fetcher fetcher(folder_, &ui_delegate_, &enabled_);
  EXPECT_EQ(1, Fetch(&fetcher, std::string()));
  EXPECT_FALSE(base::PathExists(fetcher.target_path()));
  ASSERT_EQ(1u, server_.Requests().size()) << fetcher.downloader()->GetStateText();
  EXPECT_EQ("GET", *server_.Requests()[0].FindString("method"));
}

TEST_F(PrefDefaultOverridesFetcherTest, UnavailableServerIsAskedTwiceAtMost) {
  base::Value::Dict cut;
  cut.Set("body", std::string(4000, 'p'));
  cut.Set("cut_after", 1000);
  base::Value::Dict routes;
  routes.Set("/api/prefs/", std::move(cut));
  ASSERT_TRUE(server_.StartWithRoutes(std::move(routes)));
  UseServer(L"/api/prefs/");

  Fetcher fetcher(folder_, &ui_delegate_, &enabled_);
  fetcher.downloader()->set_retry_delay(base::TimeDelta::FromMilliseconds(10));
  EXPECT_EQ(1, Fetch(&fetcher, "t"));
  EXPECT_FALSE(base::PathExists(fetcher.target_path()));
  EXPECT_EQ(Downloader::STATE_FAILED, fetcher.downloader()->state());
  // The cut answer and one resumption, which brings nothing new.
  EXPECT_EQ(2u, server_.Requests().size());
}

TEST_F(PrefDefaultOverridesFetcherTest, DisallowedHostCompletesAtOnce) {
  base::CommandLine::ForCurrentProcess()->AppendSwitchNative(Fetcher::kLocalServerSwitch,
                                                             L"http://prefs.elsewhere.example/");
  Fetcher fetcher(folder_, &ui_delegate_, &enabled_);
  EXPECT_EQ(1, Fetch(&fetcher, "t"));
  EXPECT_FALSE(base::PathExists(fetcher.target_path()));
}

}  // namespace
}  // namespace installer
