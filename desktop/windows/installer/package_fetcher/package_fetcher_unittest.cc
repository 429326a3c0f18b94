#include "desktop/windows/installer/package_fetcher/package_fetcher.h"

#include <windows.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/json/json_reader.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/strings/string_split.h"
#include "base/strings/utf_string_conversions.h"
#include "base/synchronization/lock.h"
#include "base/test/local_package_server.h"
#include "base/test/test_environment.h"
#include "base/time/time.h"
#include "base/values.h"
#include "desktop/windows/installer/package_fetcher/checksum_checker.h"
#include "desktop/windows/installer/package_fetcher/package_fetcher_core.h"
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

// The names of the folders directly under |root|.
std::set<std::wstring> Folders(const base::FilePath& root) {
  std::set<std::wstring> folders;
  base::FileEnumerator walk(root, false, base::FileEnumerator::DIRECTORIES);
  for (base::FilePath path = walk.Next(); !path.empty(); path = walk.Next())
    folders.insert(path.BaseName().value());
  return folders;
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
    base::CommandLine::ForCurrentProcess()->RemoveSwitch(kTestDownloadableResourcesDirSwitch);
    ::SetEnvironmentVariableW(L"VELTO_STUB_RUN_LOG", nullptr);
    ::SetEnvironmentVariableW(L"VELTO_STUB_SFX_FOLDER", nullptr);
    base::DeleteFile(run_log_);
    base::DeletePathRecursively(download_folder_);
  }

  std::unique_ptr<PackageFetcher> MakeFetcher(const PayloadReader* payload,
                                              const std::wstring& language = L"en-US",
                                              bool minimal = false) {
    auto fetcher = std::make_unique<PackageFetcher>(
        download_folder_,
        std::make_unique<StatsScope>(&stats_, &stats_lock_, base::TimeTicks::Now(),
                                     std::vector<StatsScope::PathElement>()),
        &ui_delegate_, &front_end_, payload, 1, false, language, minimal);
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

  // Adds a "partner_content" record to the reply ServeComponents gives: a
  // plain file named |file_name|, or an archive when that is empty, served
  // from |file| at |route|, with its own checksum unless one is given.
  void AddComponent(const std::string& route, const base::FilePath& file,
                    const std::string& file_name, const std::string& checksum = std::string()) {
    base::Value::Dict record;
    record.Set("type", "partner_content");
    record.Set("location", "{base}" + route);
    record.Set("checksum", checksum.empty() ? FileChecksum(file) : checksum);
    record.Set("archive", file_name.empty() ? 1 : 0);
    if (!file_name.empty())
      record.Set("filename", file_name);
    components_.Append(std::move(record));
    base::Value::Dict answer;
    answer.Set("file", base::test::LocalPackageServer::ServerPath(file));
    component_routes_.Set(route, std::move(answer));
  }

  // Serves |package| with the components added so far.
  void ServeComponents(const base::FilePath& package,
                       base::Value::Dict reply = base::Value::Dict()) {
    reply.Set("components", std::move(components_));
    ServePackage(package, std::string(), 0, std::move(reply), std::move(component_routes_));
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

  size_t FetchCount() {
    base::AutoLock hold(stats_lock_);
    return stats_.FindList("fetches")->size();
  }

  std::optional<int> RootInt(const std::string& key) {
    base::AutoLock hold(stats_lock_);
    return stats_.FindInt(key);
  }

  // The package's files_list, and whether every file it names is there.
  std::string FilesList(const base::FilePath& package_folder, bool* all_present) {
    std::string list;
    EXPECT_TRUE(base::ReadFileToString(package_folder.Append(L"files_list"), &list));
    *all_present = true;
    for (const std::string& name :
         base::SplitString(list, "\r\n", base::KEEP_WHITESPACE, base::SPLIT_WANT_NONEMPTY)) {
      if (!base::PathExists(package_folder.AppendASCII(name))) {
        ADD_FAILURE() << "files_list names a missing file: " << name;
        *all_present = false;
      }
    }
    return list;
  }

  std::string FixtureFilesList() {
    std::string list;
    EXPECT_TRUE(base::ReadFileToString(FixturePackage().Append(L"files_list"), &list));
    return list;
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
  base::Value::List components_;
  base::Value::Dict component_routes_;
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
  // Byte for byte, and beside it the installer that carries the package, as
  // the package file an elevated installer takes the package from.
  // The fixture folder keeps a package file of its own, no part of the
  // package.
  auto unpacked = ReadFiles(package_folder);
  auto fixture = ReadFiles(FixturePackage());
  EXPECT_EQ(1u, unpacked.erase(L"velto_package.exe"));
  EXPECT_EQ(1u, fixture.erase(L"velto_package.exe"));
  EXPECT_EQ(fixture, unpacked);
  EXPECT_TRUE(base::ContentsEqual(DeliveryFixtures().Append(L"velto_installer_full.exe"),
                                  package_folder.Append(L"velto_package.exe")));
  EXPECT_FALSE(base::PathExists(package_folder.Append(L"velto_package.7z")));
  EXPECT_EQ("package_ready", *Fetch(0).FindString("result"));
  fetcher.reset();
  EXPECT_TRUE(base::IsDirectoryEmpty(download_folder_));
}

TEST_F(PackageFetcherTest, FolderThatCannotBeMadeAllowsSixAttemptsTheFirstRetrySixSecondsOn) {
  base::DeletePathRecursively(download_folder_);
  ASSERT_TRUE(base::WriteFile(download_folder_, "a file where the folder should be"));
  PayloadReader payload(DeliveryFixtures().Append(L"velto_installer_full.exe"));
  auto fetcher = MakeFetcher(&payload);
  fetcher->set_retry_delay(PackageFetcher::kDefaultRetryDelay);
  RunAttempt([&] { fetcher->Start(); });
  EXPECT_EQ((Statuses{STATUS_STARTED, STATUS_INITIALIZATION_FAILED}), front_end_.statuses);
  EXPECT_EQ("Could not create unpacking folder", *Fetch(0).FindString("failure_reason"));
  EXPECT_EQ("initialization_failed", *Fetch(0).FindString("result"));
  const base::TimeTicks retried = base::TimeTicks::Now();
  RunAttempt([&] { ASSERT_TRUE(fetcher->Retry()); });
  // Timers may fire a tick early.
  EXPECT_GE(base::TimeTicks::Now() - retried, base::TimeDelta::FromMilliseconds(5900));
  EXPECT_EQ((Statuses{STATUS_STARTED, STATUS_INITIALIZATION_FAILED, STATUS_STARTED,
                      STATUS_INITIALIZATION_FAILED}),
            front_end_.statuses);
  // Four more failed attempts are allowed when nothing was received.
  fetcher->set_retry_delay(base::TimeDelta());
  for (int attempt = 2; attempt < 6; ++attempt)
    RunAttempt([&] { ASSERT_TRUE(fetcher->Retry()); });
  EXPECT_FALSE(fetcher->Retry());
  EXPECT_EQ(6u, FetchCount());
  EXPECT_EQ(6, RootInt("fetcher_restarts"));
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

// A package and the stream it reports (empty: its stream was not asked).
using RefusedPackage = std::pair<const wchar_t*, const char*>;

class RefusedPackageTest : public PackageFetcherTest,
                           public testing::WithParamInterface<RefusedPackage> {};

TEST_P(RefusedPackageTest, IsRefusedBeforeAnythingIsUnpacked) {
  ServePackage(DeliveryFixtures().Append(GetParam().first));
  PayloadReader payload(base::FilePath(L"C:\\no\\such\\installer.exe"));
  auto fetcher = MakeFetcher(&payload);
  RunAttempt([&] { fetcher->Start(); });
  EXPECT_EQ(STATUS_DOWNLOAD_FAILED, front_end_.statuses.back());
  const base::Value::Dict& fetch = Fetch(0);
  EXPECT_EQ("Downloaded package failed version check", *fetch.FindString("failure_reason"));
  const std::string* stream = fetch.FindString("stream");
  EXPECT_EQ(GetParam().second, stream ? *stream : std::string());
  // The try folder holds the download alone, and there is no package folder.
  const std::set<std::wstring> folders = Folders(download_folder_);
  ASSERT_EQ(1u, folders.size());
  EXPECT_EQ((std::map<std::wstring, std::string>{
                {L"velto_package.exe", FileSummary(DeliveryFixtures().Append(GetParam().first))}}),
            ReadFiles(download_folder_.Append(*folders.begin())));
}

INSTANTIATE_TEST_SUITE_P(OlderOrOfAnotherStream, RefusedPackageTest,
                         testing::Values(RefusedPackage{L"velto_package_old.exe", ""},
                                         RefusedPackage{L"velto_package_other_stream.exe",
                                                        "fennick"}));

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

TEST_F(PackageFetcherTest, AdditionalFilesWelcomePageAndFilesList) {
  base::FilePath partner = download_folder_.DirName().Append(base::test::UniqueName(L"partner"));
  ASSERT_TRUE(base::WriteFile(partner, "partner content"));
  AddComponent("/files/partner", partner, "extra/partner.dat");
  // Never outside the package folder, never a line of its own in files_list.
  AddComponent("/files/partner", partner, "../escaped.dat");
  AddComponent("/files/partner", partner, "evil\r\nC:\\Windows\\x.dll");
  // Fails its checksum every time: retried three times, then left out.
  AddComponent("/files/partner", partner, "broken.dat", std::string(64, 'b'));
  base::Value::Dict reply;
  reply.Set("url_welcome", "https://welcome.velto.example/fetched");
  // A files list without a final line break: the names go on lines of their
  // own all the same.
  const base::FilePath package = DeliveryFixtures().Append(L"velto_package_unterminated_list.exe");
  ServeComponents(package, std::move(reply));
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
  bool all_present = false;
  const std::string list = FilesList(folder, &all_present);
  EXPECT_TRUE(all_present);
  std::string unterminated = FixtureFilesList();
  ASSERT_EQ("\r\n", unterminated.substr(unterminated.size() - 2));
  unterminated.resize(unterminated.size() - 2);
  EXPECT_EQ(unterminated + "\r\nextra/partner.dat\r\n\r\n", list);
  ASSERT_TRUE(base::ReadFileToString(folder.Append(L"installer_prefs_include.json"), &contents));
  std::optional<base::Value> prefs = base::JSONReader::Read(contents);
  ASSERT_TRUE(prefs && prefs->is_dict());
  EXPECT_EQ("https://welcome.velto.example/fetched", *prefs->GetDict().FindString("welcome-url"));

  const base::Value::List& files = *Fetch(0).FindList("additional_files");
  ASSERT_EQ(4u, files.size());
  EXPECT_EQ(1, files[0].GetDict().FindInt("download_succeeded"));
  EXPECT_EQ(0, files[3].GetDict().FindInt("download_succeeded"));
  EXPECT_EQ(4u, files[3].GetDict().FindList("download_tries")->size());
  // Every byte of the attempt counts: the reply, the package and five
  // downloads of the partner file.
  int64_t package_size = 0;
  ASSERT_TRUE(base::GetFileSize(package, &package_size));
  const int received = Fetch(0).FindInt("bytes_received").value_or(0);
  EXPECT_LT(package_size + 5 * 15, received);
  EXPECT_GT(package_size + 5 * 15 + 4000, received);
  EXPECT_EQ(received, RootInt("total_bytes_received"));
}

// Each download of an additional file records its outcome in its own entry
// of "download_tries", under the plain keys (the download-address request's
// have a prefix of their own).
TEST_F(PackageFetcherTest, AdditionalFileTriesRecordTheirStatusAndErrorUnderThePlainKeys) {
  base::FilePath partner = download_folder_.DirName().Append(base::test::UniqueName(L"partner"));
  ASSERT_TRUE(base::WriteFile(partner, "partner content"));
  AddComponent("/files/partner", partner, "partner.dat");
  AddComponent("/files/gone", partner, "gone.dat");
  base::Value::Dict gone;
  gone.Set("status", 404);
  component_routes_.Set("/files/gone", std::move(gone));
  ServeComponents(DeliveryFixtures().Append(L"velto_package_unsigned.exe"));
  PayloadReader payload(base::FilePath(L"C:\\no\\such\\installer.exe"));
  auto fetcher = MakeFetcher(&payload);
  RunAttempt([&] { fetcher->Start(); });
  ASSERT_EQ(STATUS_PACKAGE_READY, front_end_.statuses.back());

  const base::Value::List& files = *Fetch(0).FindList("additional_files");
  ASSERT_EQ(2u, files.size());
  const base::Value::List& kept = *files[0].GetDict().FindList("download_tries");
  ASSERT_EQ(1u, kept.size());
  EXPECT_EQ(200, kept[0].GetDict().FindInt("http_status"));
  EXPECT_EQ(0, kept[0].GetDict().FindInt("wininet_error"));
  // A 404 is an answer, not a network error: each of the four tries says so.
  const base::Value::List& refused = *files[1].GetDict().FindList("download_tries");
  ASSERT_EQ(4u, refused.size());
  for (const base::Value& attempt : refused) {
    EXPECT_EQ(404, attempt.GetDict().FindInt("http_status"));
    EXPECT_EQ(0, attempt.GetDict().FindInt("wininet_error"));
    EXPECT_FALSE(attempt.GetDict().Find("fetch_download_url_http_status"));
  }
  // Nothing of the tries leaks into the fetch's own entry.
  EXPECT_EQ(200, Fetch(0).FindInt("fetch_download_url_http_status"));
  EXPECT_FALSE(Fetch(0).Find("http_status"));
  EXPECT_FALSE(Fetch(0).Find("wininet_error"));
}

TEST_F(PackageFetcherTest, ComponentArchiveIsRunAndItsInstallerChecked) {
  const base::FilePath stub = DeliveryFixtures().DirName().Append(L"stubs\\package_stub.exe");
  AddComponent("/files/component", stub, std::string());
  ServeComponents(DeliveryFixtures().Append(L"velto_package_unsigned.exe"));
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

// The minimal package from /files/velto_package.exe, with the localization
// the request names: the server answers each language's request with that
// language's record alone.
base::Value::Dict MinimalRoutes(const base::FilePath& folder,
                                const std::vector<std::string>& languages) {
  base::Value::Dict routes;
  for (const std::string& language : languages) {
    const std::string pak_name = "localization/" + language + ".pak";
    const base::FilePath pak = folder.AppendASCII(language + ".pak");
    EXPECT_TRUE(base::WriteFile(pak, "strings of " + language));
    base::Value::Dict record;
    record.Set("type", "downloadable_resource");
    record.Set("location", "{base}/files/" + language + ".pak");
    record.Set("checksum", FileChecksum(pak));
    record.Set("archive", 0);
    record.Set("filename", pak_name);
    base::Value::List components;
    components.Append(std::move(record));
    base::Value::Dict reply;
    reply.Set("minimal_installer", "{base}/files/velto_package.exe");
    reply.Set("minimal_installer_checksum", "{sha256:/files/velto_package.exe}");
    reply.Set("installer", "{base}/files/not_this_one.exe");
    reply.Set("installer_checksum", std::string(64, '0'));
    reply.Set("components", std::move(components));
    base::Value::Dict address;
    address.Set("json", std::move(reply));
    routes.Set("/netinstaller/?additional_files='" + pak_name + "'", std::move(address));
    base::Value::Dict file;
    file.Set("file", base::test::LocalPackageServer::ServerPath(pak));
    routes.Set("/files/" + language + ".pak", std::move(file));
  }
  base::Value::Dict package;
  package.Set("file", base::test::LocalPackageServer::ServerPath(
                          DeliveryFixtures().Append(L"velto_package_unsigned.exe")));
  routes.Set("/files/velto_package.exe", std::move(package));
  return routes;
}

TEST_F(PackageFetcherTest, LanguageChangedOnceTheMinimalPackageIsReadyFetchesItAnew) {
  ASSERT_TRUE(server_.StartWithRoutes(MinimalRoutes(download_folder_, {"fr", "es"})));
  base::CommandLine::ForCurrentProcess()->AppendSwitchNative(kInternalPackageServerSwitch,
                                                             server_.Url(L"/netinstaller/"));
  PayloadReader payload(base::FilePath(L"C:\\no\\such\\installer.exe"));
  auto fetcher = MakeFetcher(&payload, L"fr", true);
  RunAttempt([&] { fetcher->Start(); });
  ASSERT_EQ(STATUS_PACKAGE_READY, front_end_.statuses.back());
  const base::FilePath folder = fetcher->package_folder();
  bool all_present = false;
  EXPECT_EQ(FixtureFilesList() + "localization/fr.pak\r\n\r\n", FilesList(folder, &all_present));

  front_end_.statuses.clear();
  RunAttempt([&] { fetcher->SetLanguage(L"es"); });
  EXPECT_EQ((Statuses{STATUS_STARTED, STATUS_FETCHING_DOWNLOAD_URL, STATUS_DOWNLOADING_PACKAGE,
                      STATUS_UNPACKING, STATUS_DOWNLOADING_ADDITIONAL_FILES,
                      STATUS_PACKAGE_READY}),
            front_end_.statuses);
  // A package made anew for the new language: the copy steps find every file
  // its list names.
  EXPECT_EQ(FixtureFilesList() + "localization/es.pak\r\n\r\n", FilesList(folder, &all_present));
  EXPECT_TRUE(all_present);
  EXPECT_FALSE(base::PathExists(folder.Append(L"localization\\fr.pak")));
  EXPECT_EQ("strings of es", [&] {
    std::string text;
    base::ReadFileToString(folder.Append(L"localization\\es.pak"), &text);
    return text;
  }());
  EXPECT_EQ(2u, FetchCount());
  // A language change is no failed attempt.
  EXPECT_EQ(0, Fetch(1).FindInt("try_number"));
}

TEST_F(PackageFetcherTest, RestartCancelsTheStartOfAPendingRetry) {
  // The first attempt fails at once; the next one's request is answered late,
  // long after the retry would have started it.
  base::Value::Dict quick;
  quick.Set("status", 204);
  base::Value::Dict late = quick.Clone();
  late.Set("delay_ms", 3000);
  base::Value::List answers;
  answers.Append(std::move(quick));
  answers.Append(std::move(late));
  base::Value::Dict routes;
  routes.Set("/netinstaller/", std::move(answers));
  ASSERT_TRUE(server_.StartWithRoutes(std::move(routes)));
  base::CommandLine::ForCurrentProcess()->AppendSwitchNative(kInternalPackageServerSwitch,
                                                             server_.Url(L"/netinstaller/"));
  PayloadReader payload(base::FilePath(L"C:\\no\\such\\installer.exe"));
  auto fetcher = MakeFetcher(&payload);
  fetcher->set_retry_delay(base::TimeDelta::FromMilliseconds(100));
  RunAttempt([&] { fetcher->Start(); });
  front_end_.statuses.clear();
  RunAttempt([&] {
    ASSERT_TRUE(fetcher->Retry());
    fetcher->Restart();
  });
  // One attempt, the restarted one, with nothing of a second beside it.
  EXPECT_EQ((Statuses{STATUS_STARTED, STATUS_FETCHING_DOWNLOAD_URL, STATUS_DOWNLOAD_FAILED}),
            front_end_.statuses);
  EXPECT_EQ(2u, server_.Requests().size());
  EXPECT_EQ(2u, FetchCount());
}

TEST_F(PackageFetcherTest, FailedAttemptsUseTryFoldersOfTheirOwnAndLargeOnesCutTheRetries) {
  // Every attempt receives the whole package and fails its checksum. The
  // package is sized so that three attempts bring in less than 4 MiB and
  // four more: after the fourth attempt, three failed attempts are all that
  // such a fetch is allowed. Its contents do not matter, so it is made here
  // rather than taken from the build, whose sizes vary with the build's kind.
  const base::FilePath package = download_folder_.DirName().Append(
      base::test::UniqueName(L"large_package.exe"));
  constexpr int64_t kPackageSize = 0x400000 / 7 * 2;  // 3.5 packages make 4 MiB.
  std::string contents(kPackageSize, '\0');
  for (size_t i = 0; i < contents.size(); ++i)
    contents[i] = static_cast<char>(i * 131 + i / 4096);
  ASSERT_TRUE(base::WriteFile(package, contents));
  ServePackage(package, std::string(64, 'c'));
  PayloadReader payload(base::FilePath(L"C:\\no\\such\\installer.exe"));
  auto fetcher = MakeFetcher(&payload);
  const std::wstring name = fetcher->package_folder().BaseName().value();
  for (int attempt = 0; attempt < 4; ++attempt) {
    SCOPED_TRACE(attempt);
    RunAttempt([&] {
      if (attempt == 0)
        fetcher->Start();
      else
        ASSERT_TRUE(fetcher->Retry());
    });
    ASSERT_EQ(STATUS_DOWNLOAD_FAILED, front_end_.statuses.back());
    // Only this attempt's try folder is left, named after its number, with the
    // download in it.
    const std::wstring try_name = L"velto_package" + std::to_wstring(attempt) + name.substr(13);
    EXPECT_EQ(std::set<std::wstring>{try_name}, Folders(download_folder_));
    EXPECT_EQ((std::map<std::wstring, std::string>{{L"velto_package.exe", Summary(contents)}}),
              ReadFiles(download_folder_.Append(try_name)));
  }
  EXPECT_FALSE(fetcher->Retry());
  EXPECT_EQ(4, RootInt("fetcher_restarts"));
  EXPECT_LE(4 * kPackageSize, RootInt("total_bytes_received").value_or(0));
  EXPECT_EQ("Checksum incorrect for the downloaded package",
            *Fetch(3).FindString("failure_reason"));
  EXPECT_EQ("Checksum mismatch", *Fetch(3).FindStringByDottedPath("error_details.detail"));
  // A package that fails its checksum is never run.
  EXPECT_EQ("", Runs());
  fetcher.reset();
  EXPECT_TRUE(base::IsDirectoryEmpty(download_folder_));
  base::DeleteFile(package);
}

TEST_F(PackageFetcherTest, ThreeAttemptsEndingWithNoContentAreAllowedAndNoMore) {
  // Attempts 0, 2 and 3 end with 204; attempt 1 cannot make its try folder,
  // which counts nothing of the answer before it.
  base::Value::Dict empty;
  empty.Set("status", 204);
  ServeAddressReply(std::move(empty));
  PayloadReader payload(base::FilePath(L"C:\\no\\such\\installer.exe"));
  auto fetcher = MakeFetcher(&payload);
  RunAttempt([&] { fetcher->Start(); });
  const std::wstring name = fetcher->package_folder().BaseName().value();
  ASSERT_TRUE(base::WriteFile(download_folder_.Append(L"velto_package1" + name.substr(13)),
                              "a file where the try folder should be"));
  RunAttempt([&] { ASSERT_TRUE(fetcher->Retry()); });
  EXPECT_EQ("Could not create unpacking folder", *Fetch(1).FindString("failure_reason"));
  RunAttempt([&] { ASSERT_TRUE(fetcher->Retry()); });
  RunAttempt([&] { ASSERT_TRUE(fetcher->Retry()); });
  EXPECT_EQ(STATUS_DOWNLOAD_FAILED, front_end_.statuses.back());
  EXPECT_FALSE(fetcher->Retry());
  EXPECT_EQ(4, RootInt("fetcher_restarts"));
}

TEST_F(PackageFetcherTest, TemporaryFileThatCannotBeOpenedKeepsTheFilesAlreadyFetched) {
  // The second record is a component archive that unpacks a folder where the
  // third record's temporary file must be opened.
  const base::FilePath partner = download_folder_.DirName().Append(
      base::test::UniqueName(L"partner"));
  ASSERT_TRUE(base::WriteFile(partner, "partner content"));
  const base::FilePath stub = DeliveryFixtures().DirName().Append(L"stubs\\package_stub.exe");
  ::SetEnvironmentVariableW(L"VELTO_STUB_SFX_FOLDER", L"additional_file.tmp");
  AddComponent("/files/partner", partner, "kept.dat");
  AddComponent("/files/component", stub, std::string());
  AddComponent("/files/partner", partner, "never.dat");
  ServeComponents(DeliveryFixtures().Append(L"velto_package_unsigned.exe"));
  PayloadReader payload(base::FilePath(L"C:\\no\\such\\installer.exe"));
  auto fetcher = MakeFetcher(&payload);
  RunAttempt([&] { fetcher->Start(); });
  EXPECT_EQ(STATUS_PACKAGE_READY, front_end_.statuses.back());
  bool all_present = false;
  EXPECT_EQ(FixtureFilesList() + "kept.dat\r\n\r\n",
            FilesList(fetcher->package_folder(), &all_present));
  EXPECT_TRUE(all_present);
  // The third record was not fetched, and nothing after it would have been.
  EXPECT_EQ((std::vector<std::string>{"/netinstaller/", "/files/velto_package.exe",
                                      "/files/partner", "/files/component"}),
            Targets());
}

}  // namespace
}  // namespace installer
