#include "desktop/windows/installer/stats_sender.h"

#include <memory>
#include <string>

#include "base/command_line.h"
#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/json/json_reader.h"
#include "base/message_loop/message_loop.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/process/process_handle.h"
#include "base/run_loop.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/local_package_server.h"
#include "base/test/test_environment.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/maker_domains.h"
#include "desktop/windows/installer/wininet/test/download_test_util.h"
#include "gtest/gtest.h"
#include "product_config/product_config.h"

namespace installer {
namespace {

// Where the child process of the parent-process test writes its statistics.
constexpr char kStatsOutSwitch[] = "stats-out";

class StatsSenderTest : public testing::Test {
 protected:
  // The sender records the process's own command line.
  void SetUp() override { base::CommandLine::Init(0, nullptr); }

  base::Value::Dict Stats(StatsSender* sender) {
    std::string json;
    EXPECT_TRUE(sender->GetJson(&json));
    std::optional<base::Value::Dict> stats = base::JSONReader::ReadDict(json);
    EXPECT_TRUE(stats);
    return stats ? std::move(*stats) : base::Value::Dict();
  }

  base::MessageLoop loop_;
  test::FakeUIDelegate ui_delegate_;
};

TEST_F(StatsSenderTest, RecordsTheBasicStatistics) {
  // The run's own switches, as the statistics server reads them back.
  const base::CommandLine saved = *base::CommandLine::ForCurrentProcess();
  base::CommandLine::ForCurrentProcess()->InitFromArgv(
      {L"installer.exe", L"--silent", L"--installfolder=C:\\Program Files\\Velto", L"loose"});
  StatsSender sender(&ui_delegate_);
  *base::CommandLine::ForCurrentProcess() = saved;
  base::Value::Dict stats = Stats(&sender);
  EXPECT_EQ("--silent --installfolder=\"C:\\Program Files\\Velto\" -- loose",
            *stats.FindString("command_line_args"));

  EXPECT_EQ(GetVersion(), *stats.FindString("version"));
  EXPECT_EQ(GetStreamName(), *stats.FindString("stream"));
  EXPECT_EQ("Velto", *stats.FindString("product"));
  EXPECT_EQ("windows", *stats.FindStringByDottedPath("os.name"));
  // A Windows release the installer runs on, whose build goes with its
  // version number.
  const int major = *stats.FindIntByDottedPath("os.version.major");
  const int minor = *stats.FindIntByDottedPath("os.version.minor");
  const int build = *stats.FindIntByDottedPath("os.version.build");
  if (major == 6) {
    EXPECT_TRUE((minor == 1 && (build == 7600 || build == 7601)) ||
                (minor == 2 && build == 9200) || (minor == 3 && build == 9600))
        << minor << "." << build;
  } else {
    EXPECT_EQ(10, major);
    EXPECT_EQ(0, minor);
    EXPECT_LE(10240, build);
  }
  EXPECT_TRUE(stats.FindIntByDottedPath("os.service_pack.major"));
  EXPECT_TRUE(stats.FindIntByDottedPath("os.service_pack.minor"));
  EXPECT_EQ(23u, stats.FindStringByDottedPath("installer_start_time.time")->size());
  EXPECT_LE(0, *stats.FindIntByDottedPath("installer_start_time.elapsed"));
  EXPECT_TRUE(stats.FindString("installation_start_time"));

  wchar_t user[257] = {};
  DWORD user_size = 257;
  ASSERT_TRUE(GetUserNameW(user, &user_size));
  // Wine reads the computer name from the registry, which this test process
  // has redirected away: then the name is left out.
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD computer_size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(computer, &computer_size))
    computer_size = 0;
  EXPECT_EQ(StatsSender::EndpointNameHash(user, std::wstring_view(computer, computer_size)),
            *stats.FindString("endpoint_name_hash"));
}

// Run by RecordsTheProcessThatStartedTheInstaller in a process of its own:
// writes the statistics its sender records to the file it is given.
TEST(StatsSenderChildProcess, WritesItsStatistics) {
  const base::CommandLine command_line = base::CommandLine::FromString(GetCommandLineW());
  if (!command_line.HasSwitch(kStatsOutSwitch))
    GTEST_SKIP() << "runs only as the child of RecordsTheProcessThatStartedTheInstaller";
  base::CommandLine::Init(0, nullptr);
  test::FakeUIDelegate ui_delegate;
  StatsSender sender(&ui_delegate);
  std::string json;
  ASSERT_TRUE(sender.GetJson(&json));
  ASSERT_TRUE(base::WriteFile(command_line.GetSwitchValuePath(kStatsOutSwitch), json));
}

// The installer's statistics name the process that started it: here the
// command processor, which a test starts to run the sender in a process of
// its own (neither this test process nor the sender's own).
TEST_F(StatsSenderTest, RecordsTheProcessThatStartedTheInstaller) {
  wchar_t exe[MAX_PATH];
  ASSERT_NE(0u, GetModuleFileNameW(nullptr, exe, MAX_PATH));
  const base::FilePath out =
      base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"stats"));
  base::CommandLine child(base::FilePath{std::wstring(exe)});
  child.AppendSwitchASCII("gtest_filter", "StatsSenderChildProcess.WritesItsStatistics");
  child.AppendSwitchPath(kStatsOutSwitch, out);
  base::Process parent = base::LaunchProcess(
      L"cmd.exe /s /c \"" + child.GetCommandLineString() + L"\"", base::LaunchOptions());
  ASSERT_TRUE(parent.IsValid());
  int exit_code = -1;
  ASSERT_TRUE(parent.WaitForExitWithTimeout(60000, &exit_code));
  ASSERT_EQ(0, exit_code);

  std::string json;
  ASSERT_TRUE(base::ReadFileToString(out, &json));
  std::optional<base::Value::Dict> stats = base::JSONReader::ReadDict(json);
  ASSERT_TRUE(stats);
  EXPECT_EQ(static_cast<int>(parent.Pid()), stats->FindInt("parent_process_id"));
  const std::string* name = stats->FindString("parent_process_name");
  ASSERT_TRUE(name);
  // The base name alone.
  EXPECT_TRUE(base::EqualsCaseInsensitiveASCII("cmd.exe", *name)) << *name;
}

TEST_F(StatsSenderTest, EndpointNameHashIsTheSha256OfUserAndComputerInUtf16) {
  EXPECT_EQ("4d9dc0325bfbee57d70ebb1b1eb5c256b377b91502239de96746426de00fa707",
            StatsSender::EndpointNameHash(L"root", L"BUILDHOST"));
  // Two bytes per character, low byte first; the computer name is cut to 15.
  EXPECT_EQ("e0c366ada782f20cf3be7253e9b69e47a3133356083e69d2e8c557d49d2685c2",
            StatsSender::EndpointNameHash(L"\u00C6ble", L"ABCDEFGHIJKLMNOPQ"));
  EXPECT_EQ("c9fa7c22826b62bb7d62999214c4605448f1c1518b67690f936b5ab6bb28610a",
            StatsSender::EndpointNameHash(L"root", L""));
  EXPECT_EQ("", StatsSender::EndpointNameHash(L"", L""));
}

TEST_F(StatsSenderTest, NoFetchesNoDownloadSummary) {
  StatsSender sender(&ui_delegate_);
  sender.AddDownloadSummary();
  base::Value::Dict stats = Stats(&sender);
  EXPECT_FALSE(stats.Find("wininet_retries"));
  EXPECT_FALSE(stats.Find("download_ips"));
}

TEST_F(StatsSenderTest, DownloadSummaryCountsEveryChunkOfEveryFetch) {
  StatsSender sender(&ui_delegate_);
  std::unique_ptr<StatsScope> first = sender.root_scope()->AppendListEntry("fetches");
  std::unique_ptr<StatsScope> second = sender.root_scope()->Clone()->AppendListEntry("fetches");
  first->AppendListEntry("download_chunks")->SetString("ip", "a");
  first->AppendListEntry("download_chunks");
  second->AppendListEntry("download_chunks")->SetString("ip", "b");
  second->AppendListEntry("download_chunks")->SetString("ip", "a");
  second->AppendListEntry("download_chunks")->SetInteger("ip", 7);
  sender.AddDownloadSummary();
  base::Value::Dict stats = Stats(&sender);
  EXPECT_EQ(5, *stats.FindInt("wininet_retries"));
  EXPECT_EQ("a; b; a", *stats.FindString("download_ips"));
  // The values went to the elements they were written through.
  EXPECT_EQ(2u, (*stats.FindList("fetches"))[0].GetDict().FindList("download_chunks")->size());
}

TEST_F(StatsSenderTest, EndpointIsTheMakersFeedbackAddress) {
  StatsSender::Endpoint endpoint =
      StatsSender::GetEndpoint(base::CommandLine(base::CommandLine::NO_PROGRAM));
  EXPECT_EQ(base::UTF8ToWide(ProductConfig::GetUrl("autoupdate")) + L"netinstaller/feedback",
            endpoint.url);
  ASSERT_LE(2u, endpoint.allowed_hosts.size());
  EXPECT_EQ(kMakerDomainSuffix, endpoint.allowed_hosts[0]);

  base::CommandLine local(base::CommandLine::NO_PROGRAM);
  local.AppendSwitchASCII("local-stats-server", "ignored");
  endpoint = StatsSender::GetEndpoint(local);
  EXPECT_EQ(L"http://" + endpoint.allowed_hosts[1] + L":3000/netinstaller/feedback", endpoint.url);
}

TEST_F(StatsSenderTest, ServerReceivesExactlyTheStatistics) {
  base::Value::Dict routes;
  routes.Set("/netinstaller/feedback", base::Value::Dict());
  base::test::LocalPackageServer server;
  ASSERT_TRUE(server.StartWithRoutes(std::move(routes)));

  StatsSender sender(&ui_delegate_);
  std::unique_ptr<StatsScope> fetch = sender.root_scope()->AppendListEntry("fetches");
  fetch->SetString("result", "package_ready");
  fetch->AppendListEntry("download_chunks")->SetString("ip", "127.0.0.1");
  fetch->SetString("failure_reason", "quote \" backslash \\ line\n unicode \xC3\xA6");

  base::RunLoop run_loop;
  ASSERT_TRUE(sender.SendTo({server.Url(L"/netinstaller/feedback"), {L"127.0.0.1"}},
                            run_loop.QuitClosure(), true));
  ASSERT_TRUE(test::RunUntilQuitOrTimeout(&run_loop));
  EXPECT_EQ(Downloader::STATE_COMPLETED, sender.downloader()->state());

  std::vector<base::Value::Dict> requests = server.Requests();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("POST", *requests[0].FindString("method"));
  std::string json;
  ASSERT_TRUE(sender.GetJson(&json));
  EXPECT_EQ(json, *requests[0].FindString("body"));
  base::Value::Dict received = *base::JSONReader::ReadDict(*requests[0].FindString("body"));
  EXPECT_EQ(1, *received.FindInt("wininet_retries"));
  EXPECT_EQ("127.0.0.1", *received.FindString("download_ips"));
  EXPECT_TRUE(received.FindIntByDottedPath("stats_sending_time.elapsed"));
  EXPECT_EQ("quote \" backslash \\ line\n unicode \xC3\xA6",
            *(*received.FindList("fetches"))[0].GetDict().FindString("failure_reason"));
}

TEST_F(StatsSenderTest, WithoutWaitingForNetworkGivesUpAfterTwoRetries) {
  base::Value::Dict unavailable;
  unavailable.Set("status", 503);
  base::Value::Dict routes;
  routes.Set("/netinstaller/feedback", std::move(unavailable));
  base::test::LocalPackageServer server;
  ASSERT_TRUE(server.StartWithRoutes(std::move(routes)));

  StatsSender sender(&ui_delegate_);
  sender.downloader()->set_retry_delay(base::TimeDelta::FromMilliseconds(10));
  // The count is what is tested: the limit on the run's time would follow the
  // short delay down to less than the attempts take.
  sender.downloader()->set_retry_time_limit(test::kDownloadTimeout);
  base::RunLoop run_loop;
  ASSERT_TRUE(sender.SendTo({server.Url(L"/netinstaller/feedback"), {L"127.0.0.1"}},
                            run_loop.QuitClosure(), false));
  ASSERT_TRUE(test::RunUntilQuitOrTimeout(&run_loop));
  EXPECT_EQ(Downloader::STATE_FAILED, sender.downloader()->state());
  // The post and three retries, every one with the whole body.
  std::vector<base::Value::Dict> requests = server.Requests();
  ASSERT_EQ(4u, requests.size());
  EXPECT_EQ(*requests[0].FindString("body"), *requests[3].FindString("body"));
}

TEST_F(StatsSenderTest, RefusedPostRunsTheCompletionAtOnce) {
  StatsSender sender(&ui_delegate_);
  bool completed = false;
  EXPECT_FALSE(sender.SendTo({L"http://elsewhere.example/feedback", {L".velto.example"}},
                             base::BindOnce([](bool* completed) { *completed = true; }, &completed),
                             true));
  EXPECT_TRUE(completed);
}

}  // namespace
}  // namespace installer
