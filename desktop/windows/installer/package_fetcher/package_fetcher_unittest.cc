#include "desktop/windows/installer/package_fetcher/package_fetcher.h"

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/json/json_reader.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/strings/utf_string_conversions.h"
#include "base/synchronization/lock.h"
#include "base/test/local_package_server.h"
#include "base/test/test_environment.h"
#include "base/time/time.h"
#include "base/values.h"
#include "desktop/windows/installer/package_fetcher/checksum_checker.h"
#include "desktop/windows/installer/package_fetcher/package_server_protocol.h"
#include "desktop/windows/installer/package_fetcher/payload_reader.h"
#include "desktop/windows/installer/stats_scope.h"
#include "desktop/windows/installer/wininet/package_fetcher_observer.h"
#include "desktop/windows/installer/wininet/test/download_test_util.h"
#include "gtest/gtest.h"
#include "product_config/product_config.h"

namespace installer {
namespace {

using Statuses = std::vector<int>;

base::FilePath DeliveryFixtures() {
  return base::FilePath(DELIVERY_FIXTURES_DIR);
}

base::FilePath FixturePackage() {
  return base::FilePath(PACKAGE_FIXTURES_DIR);
}

// "<size> <sha256>" of |contents|, short enough to show in a failure.
std::string Summary(const std::string& contents) {
  return std::to_string(contents.size()) + " " + Sha256HexDigest(contents.data(), contents.size());
}

// Relative path -> summary of every file under |root|.
std::map<std::wstring, std::string> ReadFiles(const base::FilePath& root) {
  std::map<std::wstring, std::string> files;
  base::FileEnumerator walk(root, true, base::FileEnumerator::FILES);
  for (base::FilePath path = walk.Next(); !path.empty(); path = walk.Next()) {
    base::FilePath relative;
    EXPECT_TRUE(root.AppendRelativePath(path, &relative));
    std::string contents;
    EXPECT_TRUE(base::ReadFileToString(path, &contents));
    files[relative.value()] = Summary(contents);
  }
  return files;
}

std::string FileSummary(const base::FilePath& path) {
  std::string contents;
  EXPECT_TRUE(base::ReadFileToString(path, &contents));
  return Summary(contents);
}

std::string FileChecksum(const base::FilePath& path) {
  std::string contents;
  EXPECT_TRUE(base::ReadFileToString(path, &contents));
  return Sha256HexDigest(contents.data(), contents.size());
}

class RecordingFrontEnd : public PackageFetcherObserver {
 public:
  void SetTotalProgress(int) override {}
  void SetCurrentProgress(int) override {}
  void NotifyStalled(int) override {}
  void NotifyStatusChanged(PackageFetcherStatus status) override {
    statuses.push_back(status);
    if (status >= STATUS_PACKAGE_READY && run_loop)
      run_loop->Quit();
  }

  Statuses statuses;
  base::RunLoop* run_loop = nullptr;
};

class PackageFetcherTest : public testing::Test {
 protected:
  void SetUp() override {
    base::CommandLine::Init(0, nullptr);
    download_folder_ =
        base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"download"));
    ASSERT_TRUE(base::CreateDirectory(download_folder_));
    run_log_ = download_folder_.DirName().Append(base::test::UniqueName(L"runs.txt"));
    ::SetEnvironmentVariableW(L"VELTO_STUB_RUN_LOG", run_log_.value().c_str());
  }

  void TearDown() override {
    base::CommandLine::ForCurrentProcess()->RemoveSwitch(kInternalPackageServerSwitch);
    ::SetEnvironmentVariableW(L"VELTO_STUB_RUN_LOG", nullptr);
    base::DeleteFile(run_log_);
    base::DeletePathRecursively(download_folder_);
  }

  std::unique_ptr<PackageFetcher> MakeFetcher(const PayloadReader* payload) {
    auto fetcher = std::make_unique<PackageFetcher>(
        download_folder_,
        std::make_unique<StatsScope>(&stats_, &stats_lock_, base::TimeTicks::Now(),
                                     std::vector<StatsScope::PathElement>()),
        &ui_delegate_, &front_end_, payload, 1, false, L"en-US", false);
    fetcher->set_retry_delay(base::TimeDelta());
    fetcher->SetDownloadRetryDelay(base::TimeDelta::FromMilliseconds(10));
    return fetcher;
  }

  // Runs the loop until the next final status.
  void RunAttempt(const std::function<void()>& start) {
    base::RunLoop run_loop;
    front_end_.run_loop = &run_loop;
    start();
    EXPECT_TRUE(test::RunUntilQuitOrTimeout(&run_loop)) << "The attempt never ended";
    front_end_.run_loop = nullptr;
  }

  // Serves |package| as the package, with the download-address reply naming it
  // and |checksum| (its own when empty); the first package request is cut
  // after |cut_after| bytes when it is not 0.
  void ServePackage(const base::FilePath& package, const std::string& checksum = std::string(),
                    int cut_after = 0, base::Value::Dict extra_reply = base::Value::Dict(),
                    base::Value::Dict extra_routes = base::Value::Dict()) {
    base::Value::Dict reply = std::move(extra_reply);
    reply.Set("installer", "{base}/files/velto_package.exe");
    reply.Set("installer_checksum",
              checksum.empty() ? "{sha256:/files/velto_package.exe}" : checksum);
    base::Value::Dict address;
    address.Set("json", std::move(reply));
    base::Value::Dict routes = std::move(extra_routes);
    routes.Set("/netinstaller/", std::move(address));
    base::Value::Dict whole;
    whole.Set("file", base::test::LocalPackageServer::ServerPath(package));
    if (cut_after) {
      base::Value::Dict cut = whole.Clone();
      cut.Set("cut_after", cut_after);
      base::Value::List answers;
      answers.Append(std::move(cut));
      answers.Append(std::move(whole));
      routes.Set("/files/velto_package.exe", std::move(answers));
    } else {
      routes.Set("/files/velto_package.exe", std::move(whole));
    }
    ASSERT_TRUE(server_.StartWithRoutes(std::move(routes)));
    base::CommandLine::ForCurrentProcess()->AppendSwitchNative(kInternalPackageServerSwitch,
                                                               server_.Url(L"/netinstaller/"));
  }

  // Answers the download-address request with |answer| alone.
  void ServeAddressReply(base::Value::Dict answer) {
    base::Value::Dict routes;
    routes.Set("/netinstaller/", std::move(answer));
    ASSERT_TRUE(server_.StartWithRoutes(std::move(routes)));
    base::CommandLine::ForCurrentProcess()->AppendSwitchNative(kInternalPackageServerSwitch,
                                                               server_.Url(L"/netinstaller/"));
  }

  std::vector<std::string> Targets() {
    std::vector<std::string> targets;
    for (const base::Value::Dict& request : server_.Requests())
      targets.push_back(*request.FindString("target"));
    return targets;
  }

  std::string RangeOf(size_t request) {
    const std::vector<base::Value::Dict> requests = server_.Requests();
    const base::Value::List* headers = requests[request].FindList("headers");
    for (const base::Value& header : *headers) {
      const base::Value::List& pair = header.GetList();
      if (pair.size() == 2 && pair[0].GetString() == "Range")
        return pair[1].GetString();
    }
    return std::string();
  }

  const base::Value::Dict& Fetch(size_t index) {
    base::AutoLock hold(stats_lock_);
    return (*stats_.FindList("fetches"))[index].GetDict();
  }

  std::string Runs() {
    std::string runs;
    base::ReadFileToString(run_log_, &runs);
    return runs;
  }

  base::MessageLoop loop_;
  base::FilePath download_folder_;
  base::FilePath run_log_;
  base::Value::Dict stats_;
  base::Lock stats_lock_;
  test::FakeUIDelegate ui_delegate_;
  RecordingFrontEnd front_end_;
  base::test::LocalPackageServer server_;
};

TEST_F(PackageFetcherTest, FullPackagePayloadIsUnpackedWithoutARequest) {
  PayloadReader payload(DeliveryFixtures().Append(L"velto_installer_full.exe"));
  ASSERT_EQ(PayloadType::full_package, payload.type());
  auto fetcher = MakeFetcher(&payload);
  const base::FilePath package_folder = fetcher->package_folder();
  EXPECT_EQ(download_folder_, package_folder.DirName());
  EXPECT_EQ(0u, package_folder.BaseName().value().find(L"velto_package.exe_"));
  EXPECT_EQ(std::wstring(L"velto_package.exe_").size() + 14,
            package_folder.BaseName().value().size());
  RunAttempt([&] { fetcher->Start(); });
  EXPECT_EQ((Statuses{STATUS_STARTED, STATUS_UNPACKING, STATUS_PACKAGE_READY}),
            front_end_.statuses);
  // Byte for byte.
  EXPECT_EQ(ReadFiles(FixturePackage()), ReadFiles(package_folder));
  EXPECT_EQ("package_ready", *Fetch(0).FindString("result"));
  fetcher.reset();
  EXPECT_TRUE(base::IsDirectoryEmpty(download_folder_));
}

TEST_F(PackageFetcherTest, FolderThatCannotBeMadeEndsTheAttemptAndAllowsSixTries) {
  base::DeletePathRecursively(download_folder_);
  ASSERT_TRUE(base::WriteFile(download_folder_, "a file where the folder should be"));
  PayloadReader payload(DeliveryFixtures().Append(L"velto_installer_full.exe"));
  auto fetcher = MakeFetcher(&payload);
  RunAttempt([&] { fetcher->Start(); });
  EXPECT_EQ((Statuses{STATUS_STARTED, STATUS_INITIALIZATION_FAILED}), front_end_.statuses);
  EXPECT_EQ("Could not create unpacking folder", *Fetch(0).FindString("failure_reason"));
  EXPECT_EQ("initialization_failed", *Fetch(0).FindString("result"));
  // Five more failed attempts are allowed when nothing was received.
  for (int attempt = 1; attempt < 6; ++attempt)
    RunAttempt([&] { ASSERT_TRUE(fetcher->Retry()); });
  EXPECT_FALSE(fetcher->Retry());
  base::AutoLock hold(stats_lock_);
  EXPECT_EQ(6u, stats_.FindList("fetches")->size());
  EXPECT_EQ(6, stats_.FindInt("fetcher_restarts"));
}

TEST_F(PackageFetcherTest, RetryStartsTheNextAttemptAfterSixSeconds) {
  base::DeletePathRecursively(download_folder_);
  ASSERT_TRUE(base::WriteFile(download_folder_, "a file where the folder should be"));
  PayloadReader payload(DeliveryFixtures().Append(L"velto_installer_full.exe"));
  auto fetcher = MakeFetcher(&payload);
  fetcher->set_retry_delay(PackageFetcher::kDefaultRetryDelay);
  RunAttempt([&] { fetcher->Start(); });
  const base::TimeTicks retried = base::TimeTicks::Now();
  RunAttempt([&] { ASSERT_TRUE(fetcher->Retry()); });
  // Timers may fire a tick early.
  EXPECT_GE(base::TimeTicks::Now() - retried, base::TimeDelta::FromMilliseconds(5900));
  EXPECT_EQ((Statuses{STATUS_STARTED, STATUS_INITIALIZATION_FAILED, STATUS_STARTED,
                      STATUS_INITIALIZATION_FAILED}),
            front_end_.statuses);
}

TEST_F(PackageFetcherTest, DownloadCutOnceIsResumedCheckedAndUnpacked) {
  const base::FilePath package = DeliveryFixtures().Append(L"velto_package_unsigned.exe");
  ServePackage(package, std::string(), 200000);
  PayloadReader payload(base::FilePath(L"C:\\no\\such\\installer.exe"));
  auto fetcher = MakeFetcher(&payload);
  RunAttempt([&] { fetcher->Start(); });
  EXPECT_EQ((Statuses{STATUS_STARTED, STATUS_FETCHING_DOWNLOAD_URL, STATUS_DOWNLOADING_PACKAGE,
                      STATUS_UNPACKING, STATUS_PACKAGE_READY}),
            front_end_.statuses);
  // The address, the package, and the rest of the package from where the cut
  // left it.
  EXPECT_EQ((std::vector<std::string>{"/netinstaller/", "/files/velto_package.exe",
                                      "/files/velto_package.exe"}),
            Targets());
  EXPECT_EQ("", RangeOf(1));
  EXPECT_EQ("bytes=200000-", RangeOf(2));
  auto expected = ReadFiles(FixturePackage());
  // The downloaded package stays beside what it held.
  expected[L"velto_package.exe"] = FileSummary(package);
  EXPECT_EQ(expected, ReadFiles(fetcher->package_folder()));
  // The package was asked for its version and stream.
  EXPECT_NE(std::string::npos, Runs().find("--internal-version"));
  EXPECT_NE(std::string::npos, Runs().find("--stream"));
  const base::Value::Dict& fetch = Fetch(0);
  EXPECT_EQ("package_ready", *fetch.FindString("result"));
  EXPECT_EQ(GetBuildNumberString(), *fetch.FindString("internal_version"));
  EXPECT_EQ(1u, fetch.FindList("download_chunks")->size());
}

TEST_F(PackageFetcherTest, ChecksumMismatchFailsWithDetailsAndRunsNothing) {
  ServePackage(DeliveryFixtures().Append(L"velto_package_unsigned.exe"), std::string(64, 'a'));
  PayloadReader payload(base::FilePath(L"C:\\no\\such\\installer.exe"));
  auto fetcher = MakeFetcher(&payload);
  RunAttempt([&] { fetcher->Start(); });
  EXPECT_EQ(STATUS_DOWNLOAD_FAILED, front_end_.statuses.back());
  const base::Value::Dict& fetch = Fetch(0);
  EXPECT_EQ("Checksum incorrect for the downloaded package", *fetch.FindString("failure_reason"));
  EXPECT_EQ("Checksum mismatch", *fetch.FindStringByDottedPath("error_details.detail"));
  EXPECT_EQ(std::string(64, 'a'), *fetch.FindStringByDottedPath("error_details.expected_checksum"));
  EXPECT_FALSE(fetch.contains("internal_version"));
  EXPECT_EQ("", Runs());
}

TEST_F(PackageFetcherTest, OlderPackageIsRefused) {
  ServePackage(DeliveryFixtures().Append(L"velto_package_old.exe"));
  PayloadReader payload(base::FilePath(L"C:\\no\\such\\installer.exe"));
  auto fetcher = MakeFetcher(&payload);
  RunAttempt([&] { fetcher->Start(); });
  EXPECT_EQ(STATUS_DOWNLOAD_FAILED, front_end_.statuses.back());
  EXPECT_EQ("Downloaded package failed version check", *Fetch(0).FindString("failure_reason"));
  EXPECT_TRUE(base::IsDirectoryEmpty(download_folder_) ||
              !base::PathExists(fetcher->package_folder()));
}

TEST_F(PackageFetcherTest, PackageOfAnotherStreamIsRefused) {
  ServePackage(DeliveryFixtures().Append(L"velto_package_other_stream.exe"));
  PayloadReader payload(base::FilePath(L"C:\\no\\such\\installer.exe"));
  auto fetcher = MakeFetcher(&payload);
  RunAttempt([&] { fetcher->Start(); });
  EXPECT_EQ(STATUS_DOWNLOAD_FAILED, front_end_.statuses.back());
  EXPECT_EQ("Downloaded package failed version check", *Fetch(0).FindString("failure_reason"));
  EXPECT_EQ("fennick", *Fetch(0).FindString("stream"));
}

TEST_F(PackageFetcherTest, ReplyThatIsNotJsonFailsTheDownload) {
  base::Value::Dict address;
  address.Set("body", "{not json");
  ServeAddressReply(std::move(address));
  PayloadReader payload(base::FilePath(L"C:\\no\\such\\installer.exe"));
  auto fetcher = MakeFetcher(&payload);
  RunAttempt([&] { fetcher->Start(); });
  EXPECT_EQ((Statuses{STATUS_STARTED, STATUS_FETCHING_DOWNLOAD_URL, STATUS_DOWNLOADING_PACKAGE,
                      STATUS_DOWNLOAD_FAILED}),
            front_end_.statuses);
  EXPECT_EQ("Failed parsing json reply: Invalid JSON", *Fetch(0).FindString("failure_reason"));
  EXPECT_EQ("{not json", *Fetch(0).FindString("corrupted_json_content"));
}

TEST_F(PackageFetcherTest, ServerThatKeepsAnsweringNoContentGetsThreeAttempts) {
  base::Value::Dict empty;
  empty.Set("status", 204);
  ServeAddressReply(std::move(empty));
  PayloadReader payload(base::FilePath(L"C:\\no\\such\\installer.exe"));
  auto fetcher = MakeFetcher(&payload);
  RunAttempt([&] { fetcher->Start(); });
  RunAttempt([&] { ASSERT_TRUE(fetcher->Retry()); });
  RunAttempt([&] { ASSERT_TRUE(fetcher->Retry()); });
  EXPECT_FALSE(fetcher->Retry());
  EXPECT_EQ(STATUS_DOWNLOAD_FAILED, front_end_.statuses.back());
}

TEST_F(PackageFetcherTest, AdditionalFilesWelcomePageAndFilesList) {
  base::FilePath partner = download_folder_.DirName().Append(base::test::UniqueName(L"partner"));
  ASSERT_TRUE(base::WriteFile(partner, "partner content"));
  const std::string partner_sum = FileChecksum(partner);
  base::Value::List components;
  auto component = [&](const std::string& name, const std::string& checksum) {
    base::Value::Dict record;
    record.Set("type", "partner_content");
    record.Set("location", "{base}/files/partner");
    record.Set("checksum", checksum);
    record.Set("archive", 0);
    record.Set("filename", name);
    components.Append(std::move(record));
  };
  component("extra/partner.dat", partner_sum);
  // Never outside the package folder, never a line of its own in files_list.
  component("../escaped.dat", partner_sum);
  component("evil\r\nC:\\Windows\\x.dll", partner_sum);
  // Fails its checksum every time: retried three times, then left out.
  component("broken.dat", std::string(64, 'b'));
  base::Value::Dict reply;
  reply.Set("url_welcome", "https://welcome.velto.example/fetched");
  reply.Set("components", std::move(components));
  base::Value::Dict routes;
  base::Value::Dict partner_route;
  partner_route.Set("file", base::test::LocalPackageServer::ServerPath(partner));
  routes.Set("/files/partner", std::move(partner_route));
  ServePackage(DeliveryFixtures().Append(L"velto_package_unsigned.exe"), std::string(), 0,
               std::move(reply), std::move(routes));
  PayloadReader payload(base::FilePath(L"C:\\no\\such\\installer.exe"));
  auto fetcher = MakeFetcher(&payload);
  RunAttempt([&] { fetcher->Start(); });
  EXPECT_EQ((Statuses{STATUS_STARTED, STATUS_FETCHING_DOWNLOAD_URL, STATUS_DOWNLOADING_PACKAGE,
                      STATUS_UNPACKING, STATUS_DOWNLOADING_ADDITIONAL_FILES,
                      STATUS_PACKAGE_READY}),
            front_end_.statuses);
  const base::FilePath folder = fetcher->package_folder();
  std::string contents;
  ASSERT_TRUE(base::ReadFileToString(folder.Append(L"extra\\partner.dat"), &contents));
  EXPECT_EQ("partner content", contents);
  EXPECT_FALSE(base::PathExists(folder.DirName().Append(L"escaped.dat")));
  EXPECT_FALSE(base::PathExists(folder.Append(L"broken.dat")));
  EXPECT_FALSE(base::PathExists(folder.Append(L"additional_file.tmp")));
  std::string original_list;
  ASSERT_TRUE(base::ReadFileToString(FixturePackage().Append(L"files_list"), &original_list));
  ASSERT_TRUE(base::ReadFileToString(folder.Append(L"files_list"), &contents));
  EXPECT_EQ(original_list + "extra/partner.dat\r\n\r\n", contents);
  ASSERT_TRUE(base::ReadFileToString(folder.Append(L"installer_prefs_include.json"), &contents));
  std::optional<base::Value> prefs = base::JSONReader::Read(contents);
  ASSERT_TRUE(prefs && prefs->is_dict());
  EXPECT_EQ("https://welcome.velto.example/fetched", *prefs->GetDict().FindString("welcome-url"));

  const base::Value::List& files = *Fetch(0).FindList("additional_files");
  ASSERT_EQ(4u, files.size());
  EXPECT_EQ(1, files[0].GetDict().FindInt("download_succeeded"));
  EXPECT_EQ(0, files[3].GetDict().FindInt("download_succeeded"));
  EXPECT_EQ(4u, files[3].GetDict().FindList("download_tries")->size());
}

TEST_F(PackageFetcherTest, ComponentArchiveIsRunAndItsInstallerChecked) {
  const base::FilePath stub = DeliveryFixtures().DirName().Append(L"stubs\\package_stub.exe");
  base::Value::Dict record;
  record.Set("type", "partner_content");
  record.Set("location", "{base}/files/component");
  record.Set("checksum", FileChecksum(stub));
  record.Set("archive", 1);
  base::Value::List components;
  components.Append(std::move(record));
  base::Value::Dict reply;
  reply.Set("components", std::move(components));
  base::Value::Dict routes;
  base::Value::Dict component_route;
  component_route.Set("file", base::test::LocalPackageServer::ServerPath(stub));
  routes.Set("/files/component", std::move(component_route));
  ServePackage(DeliveryFixtures().Append(L"velto_package_unsigned.exe"), std::string(), 0,
               std::move(reply), std::move(routes));
  PayloadReader payload(base::FilePath(L"C:\\no\\such\\installer.exe"));
  auto fetcher = MakeFetcher(&payload);
  RunAttempt([&] { fetcher->Start(); });
  EXPECT_EQ(STATUS_PACKAGE_READY, front_end_.statuses.back());
  const base::FilePath folder = fetcher->package_folder();
  // The archive ran under its own name and yielded the component's installer,
  // which was asked for its version.
  EXPECT_EQ(FileSummary(stub), FileSummary(folder.Append(L"partner_content_sfx.exe")));
  EXPECT_EQ(FileSummary(stub), FileSummary(folder.Append(L"partner_content_installer.exe")));
  EXPECT_FALSE(base::PathExists(folder.Append(L"additional_file.tmp")));
  const base::Value::Dict& file = (*Fetch(0).FindList("additional_files"))[0].GetDict();
  EXPECT_EQ(1, file.FindInt("download_succeeded"));
  EXPECT_EQ(GetBuildNumberString(), *file.FindString("internal_version"));
  // An archive adds no name of its own to the files list.
  std::string original_list;
  std::string list;
  ASSERT_TRUE(base::ReadFileToString(FixturePackage().Append(L"files_list"), &original_list));
  ASSERT_TRUE(base::ReadFileToString(folder.Append(L"files_list"), &list));
  EXPECT_EQ(original_list + "\r\n", list);
}

}  // namespace
}  // namespace installer
