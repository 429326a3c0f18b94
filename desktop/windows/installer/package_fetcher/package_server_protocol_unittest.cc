#include "desktop/windows/installer/package_fetcher/package_server_protocol.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/json/json_reader.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/local_package_server.h"
#include "desktop/windows/installer/maker_domains.h"
#include "desktop/windows/installer/stats_scope.h"
#include "desktop/windows/installer/wininet/downloader.h"
#include "desktop/windows/installer/wininet/host_allow_list.h"
#include "desktop/windows/installer/wininet/test/download_test_util.h"
#include "gtest/gtest.h"
#include "product_config/product_config.h"

namespace installer {
namespace {

std::wstring Autoupdate() {
  return base::UTF8ToWide(ProductConfig::GetUrl("autoupdate"));
}

std::wstring Stream() {
  return base::ASCIIToWide(GetStreamName());
}

base::CommandLine NoSwitches() {
  return base::CommandLine(base::CommandLine::NO_PROGRAM);
}

TEST(PackageServerProtocolTest, RequestUrlOfADefaultBuild) {
  DownloadUrlRequestOptions options;
  options.architecture = 1;
  EXPECT_EQ(Autoupdate() + L"netinstaller/" + Stream() + L"/windows/x64/",
            BuildDownloadUrlRequestUrl(NoSwitches(), options));
  options.architecture = 0;
  options.sfx_package = true;
  EXPECT_EQ(Autoupdate() + L"netinstaller/v2/" + Stream(),
            BuildDownloadUrlRequestUrl(NoSwitches(), options));
}

TEST(PackageServerProtocolTest, MinimalModeAsksForTheLocalizationFile) {
  DownloadUrlRequestOptions options;
  options.architecture = 1;
  options.minimal = true;
  options.language = L"de";
  EXPECT_EQ(Autoupdate() + L"netinstaller/" + Stream() +
                L"/windows/x64/?additional_files='localization/de.pak'",
            BuildDownloadUrlRequestUrl(NoSwitches(), options));
  options.language.clear();
  EXPECT_EQ(Autoupdate() + L"netinstaller/" + Stream() + L"/windows/x64/?additional_files=''",
            BuildDownloadUrlRequestUrl(NoSwitches(), options));
}

TEST(PackageServerProtocolTest, InternalServerSwitch) {
  base::CommandLine with_url = NoSwitches();
  with_url.AppendSwitchNative(kInternalPackageServerSwitch, L"http://127.0.0.1:8000/reply?x=1");
  DownloadUrlRequestOptions options;
  options.architecture = 1;
  options.sfx_package = true;
  // The value is the whole address: no "netinstaller/", no stream, no x64.
  EXPECT_EQ(L"http://127.0.0.1:8000/reply?x=1", BuildDownloadUrlRequestUrl(with_url, options));
  options.minimal = true;
  options.language = L"pt-BR";
  EXPECT_EQ(L"http://127.0.0.1:8000/reply?x=1&additional_files='localization/pt-BR.pak'",
            BuildDownloadUrlRequestUrl(with_url, options));

  base::CommandLine without_value = NoSwitches();
  without_value.AppendSwitch(kInternalPackageServerSwitch);
  options = DownloadUrlRequestOptions();
  std::wstring url = BuildDownloadUrlRequestUrl(without_value, options);
  EXPECT_EQ(0u, url.find(L"http://"));
  EXPECT_NE(0u, url.find(Autoupdate()));
  EXPECT_EQ(url.size() - (L"netinstaller/" + Stream()).size(),
            url.find(L"netinstaller/" + Stream()));
}

TEST(PackageServerProtocolTest, KnownLocalizationFiles) {
  EXPECT_TRUE(IsKnownLocalizationFile("localization/de.pak"));
  EXPECT_TRUE(IsKnownLocalizationFile("localization/es-419.pak"));
  EXPECT_TRUE(IsKnownLocalizationFile("localization/zh-TW.pak"));
  EXPECT_FALSE(IsKnownLocalizationFile("localization/xx.pak"));
  EXPECT_FALSE(IsKnownLocalizationFile("localization/../../evil.dll"));
  // The same file with the other separator.
  EXPECT_TRUE(IsKnownLocalizationFile("localization\\de.pak"));
  EXPECT_FALSE(IsKnownLocalizationFile("localization/de.pak/"));
  EXPECT_FALSE(IsKnownLocalizationFile("/localization/de.pak"));
  EXPECT_FALSE(IsKnownLocalizationFile("localization/de.pak\r\nvelto.exe"));
  EXPECT_FALSE(IsKnownLocalizationFile(""));
}

TEST(PackageServerProtocolTest, AllowedHostsInOrder) {
  std::vector<std::wstring> hosts = GetAllowedDownloadUrlHosts();
  // The configured domain is the maker's own: not listed twice.
  EXPECT_EQ(std::vector<std::wstring>({kMakerDomainSuffix, kInternalDomainSuffix,
                                       kLoopbackHostName, kLoopbackAddress,
                                       kSecondInternalDomainSuffix, kThirdInternalDomainSuffix}),
            hosts);
  EXPECT_TRUE(IsHostAllowed(L"autoupdate.velto.example", hosts));
  EXPECT_FALSE(IsHostAllowed(L"cdn.elsewhere.example", hosts));
}

class ParseDownloadUrlReplyTest : public testing::Test {
 protected:
  bool Parse(std::string_view text, bool has_suite_folder = false, bool minimal = false) {
    reason_.clear();
    return ParseDownloadUrlReply(text, has_suite_folder, minimal, &reply_, &reason_);
  }

  DownloadUrlReply reply_;
  std::string reason_;
};

TEST_F(ParseDownloadUrlReplyTest, FailureReasons) {
  EXPECT_FALSE(Parse("{not json"));
  EXPECT_EQ("Invalid JSON", reason_);
  EXPECT_FALSE(Parse("[1, 2]"));
  EXPECT_EQ("Content is not a dictionary", reason_);
  EXPECT_FALSE(Parse("{}"));
  EXPECT_EQ("Missing full package url", reason_);
  EXPECT_FALSE(Parse(R"({"installer": 5})"));
  EXPECT_EQ("Full package url is not a string", reason_);
  EXPECT_FALSE(Parse(R"({"installer": "http://a/p.exe"})"));
  EXPECT_EQ("Missing full package checksum", reason_);
  EXPECT_FALSE(Parse(R"({"installer": "http://a/p.exe", "installer_checksum": []})"));
  EXPECT_EQ("Full package checksum is not a string", reason_);
}

TEST_F(ParseDownloadUrlReplyTest, FullPackage) {
  ASSERT_TRUE(Parse(R"({"installer": "http://a/p.exe", "installer_checksum": "abc",
                        "minimal_installer": "http://a/m.exe",
                        "minimal_installer_checksum": "def", "url_welcome": "http://w/"})"));
  EXPECT_EQ("http://a/p.exe", reply_.package_url);
  EXPECT_EQ("abc", reply_.package_checksum);
  EXPECT_FALSE(reply_.minimal_used);
  EXPECT_TRUE(reply_.additional.empty());
  EXPECT_EQ("http://w/", *reply_.value.GetDict().FindString(kWelcomeUrlKey));
}

TEST_F(ParseDownloadUrlReplyTest, MinimalPackageWhenAskedAndOffered) {
  constexpr char kReply[] = R"({"installer": "http://a/p.exe", "installer_checksum": "abc",
      "minimal_installer": "http://a/m.exe", "minimal_installer_checksum": "def",
      "components": [{"type": "downloadable_resource", "filename": "localization/de.pak",
                      "location": "http://a/de.pak", "checksum": "11", "archive": 0}]})";
  ASSERT_TRUE(Parse(kReply, false, true));
  EXPECT_TRUE(reply_.minimal_used);
  EXPECT_EQ("http://a/m.exe", reply_.package_url);
  EXPECT_EQ("def", reply_.package_checksum);
  ASSERT_EQ(1u, reply_.additional.size());

  // An empty minimal package falls back to the full one.
  ASSERT_TRUE(Parse(R"({"installer": "http://a/p.exe", "installer_checksum": "abc",
                        "minimal_installer": "", "minimal_installer_checksum": "def"})",
                    false, true));
  EXPECT_FALSE(reply_.minimal_used);
  EXPECT_EQ("http://a/p.exe", reply_.package_url);
}

TEST_F(ParseDownloadUrlReplyTest, UnexpectedResourceForcesTheFullPackage) {
  ASSERT_TRUE(Parse(R"({"installer": "http://a/p.exe", "installer_checksum": "abc",
      "minimal_installer": "http://a/m.exe", "minimal_installer_checksum": "def",
      "components": [
        {"type": "downloadable_resource", "filename": "localization/de.pak"},
        {"type": "downloadable_resource", "filename": "..\\..\\velto.exe"}]})",
                    false, true));
  EXPECT_FALSE(reply_.minimal_used);
  EXPECT_EQ("http://a/p.exe", reply_.package_url);
  // The known one is kept, the other never.
  ASSERT_EQ(1u, reply_.additional.size());
  EXPECT_EQ("localization/de.pak",
            *reply_.additional[0].GetDict().FindString(kComponentFileNameKey));
}

TEST_F(ParseDownloadUrlReplyTest, ComponentsByType) {
  constexpr char kReply[] = R"({"installer": "u", "installer_checksum": "c",
      "components": [{"type": "suite", "location": "s"}, "not a record",
                     {"type": "partner_content", "location": "p"},
                     {"type": "something_new", "location": "n"}, {"location": "no type"}]})";
  ASSERT_TRUE(Parse(kReply, /*has_suite_folder=*/false));
  ASSERT_EQ(1u, reply_.additional.size());
  EXPECT_EQ("p", *reply_.additional[0].GetDict().FindString(kComponentLocationKey));

  ASSERT_TRUE(Parse(kReply, /*has_suite_folder=*/true));
  ASSERT_EQ(2u, reply_.additional.size());
  EXPECT_EQ("s", *reply_.additional[0].GetDict().FindString(kComponentLocationKey));
}

base::Value Record(std::string_view json) {
  std::optional<base::Value> value = base::JSONReader::Read(json);
  return value ? std::move(*value) : base::Value();
}

TEST(AdditionalFileRecordTest, ArchiveAndPlainFile) {
  AdditionalFileRecord record;
  ASSERT_TRUE(ParseAdditionalFileRecord(
      Record(R"({"type": "suite", "location": "http://x/s", "archive": 1, "checksum": "c"})"),
      &record));
  EXPECT_EQ("suite", record.type);
  EXPECT_EQ("http://x/s", record.location);
  EXPECT_EQ("c", record.checksum);
  EXPECT_TRUE(record.archive);
  EXPECT_EQ("", record.file_name);

  ASSERT_TRUE(ParseAdditionalFileRecord(
      Record(R"({"type": "downloadable_resource", "location": "l", "archive": 0,
                 "checksum": "c", "filename": "localization/de.pak"})"),
      &record));
  EXPECT_FALSE(record.archive);
  EXPECT_EQ("localization/de.pak", record.file_name);
}

TEST(AdditionalFileRecordTest, IncompleteRecordsAreRefused) {
  AdditionalFileRecord record;
  for (const char* json : {
           R"("not a record")",
           R"({"location": "l", "archive": 1, "checksum": "c"})",
           R"({"type": "suite", "archive": 1, "checksum": "c"})",
           R"({"type": "suite", "location": "l", "checksum": "c"})",
           R"({"type": "suite", "location": "l", "archive": 1})",
           R"({"type": "suite", "location": "l", "archive": 1, "checksum": "é"})",
           R"({"type": "partner_content", "location": "l", "archive": 0, "checksum": "c"})",
           R"({"type": "partner_content", "location": "l", "archive": 0, "checksum": "c",
               "filename": "..\\outside.exe"})",
       }) {
    EXPECT_FALSE(ParseAdditionalFileRecord(Record(json), &record)) << json;
  }
}

// The type names the files an archive component unpacks to and runs
// ("<type>_sfx.exe"): a type that could name a file elsewhere is refused.
TEST(AdditionalFileRecordTest, TypeMustBeAPlainName) {
  // |type| as JSON string text.
  auto with_type = [](std::string_view type) {
    return Record(std::string(R"({"location": "l", "archive": 1, "checksum": "c", "type": ")") +
                  std::string(type) + "\"}");
  };
  AdditionalFileRecord record;
  for (const char* type : {"suite", "partner_content", "downloadable_resource", "a-b_c9"})
    EXPECT_TRUE(ParseAdditionalFileRecord(with_type(type), &record)) << type;
  for (const char* type : {R"(..\\..\\evil)", "../evil", R"(C:\\evil)", "sub/dir", "Suite", "",
                           "a b", "a.b", R"(x\u0000y)", R"(\u00e9)"}) {
    EXPECT_FALSE(ParseAdditionalFileRecord(with_type(type), &record)) << type;
  }
}

class DownloadUrlRequestTest : public testing::Test {
 protected:
  std::unique_ptr<StatsScope> FetchScope() {
    return std::make_unique<StatsScope>(&stats_, &lock_, base::TimeTicks::Now(),
                                        std::vector<StatsScope::PathElement>());
  }

  base::MessageLoop loop_;
  test::FakeUIDelegate ui_delegate_;
  base::Value::Dict stats_;
  base::Lock lock_;
  base::test::LocalPackageServer server_;
};

TEST_F(DownloadUrlRequestTest, PostsTheTrackingDataAndKeepsTheReply) {
  base::Value::Dict reply;
  reply.Set("installer", "{base}/package/velto_package.exe");
  reply.Set("installer_checksum", "00ff");
  base::Value::Dict address;
  address.Set("json", std::move(reply));
  base::Value::Dict routes;
  routes.Set("/netinstaller/quenn/windows/x64/", std::move(address));
  ASSERT_TRUE(server_.StartWithRoutes(std::move(routes)));

  Downloader downloader(&ui_delegate_, nullptr);
  std::string reply_text;
  base::RunLoop run_loop;
  ASSERT_TRUE(StartDownloadUrlRequest(&downloader, server_.Url(L"/netinstaller/quenn/windows/x64/"),
                                      "tracking=1&partner=x", &reply_text, FetchScope(),
                                      run_loop.QuitClosure()));
  ASSERT_TRUE(test::RunUntilQuitOrTimeout(&run_loop));
  ASSERT_EQ(Downloader::STATE_COMPLETED, downloader.state()) << downloader.GetStateText();

  DownloadUrlReply parsed;
  std::string reason;
  ASSERT_TRUE(ParseDownloadUrlReply(reply_text, false, false, &parsed, &reason)) << reason;
  EXPECT_EQ(server_.UrlUTF8("/package/velto_package.exe"), parsed.package_url);
  EXPECT_EQ(200, *stats_.FindInt("fetch_download_url_http_status"));
  EXPECT_EQ(0, *stats_.FindInt("fetch_download_url_wininet_error"));
  EXPECT_TRUE(stats_.FindIntByDottedPath("fetch_download_url_start_time.elapsed"));

  std::vector<base::Value::Dict> requests = server_.Requests();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("POST", *requests[0].FindString("method"));
  EXPECT_EQ("tracking=1&partner=x", *requests[0].FindString("body"));
}

TEST_F(DownloadUrlRequestTest, RedirectOutsideTheAllowedHostsFails) {
  base::Value::Dict redirect;
  redirect.Set("redirect", "http://elsewhere.example:{port}/reply");
  base::Value::Dict routes;
  routes.Set("/address", std::move(redirect));
  ASSERT_TRUE(server_.StartWithRoutes(std::move(routes)));

  Downloader downloader(&ui_delegate_, nullptr);
  std::string reply_text;
  int completions = 0;
  base::RunLoop run_loop;
  ASSERT_TRUE(StartDownloadUrlRequest(&downloader, server_.Url(L"/address"), std::string(),
                                      &reply_text, FetchScope(),
                                      base::BindOnce(
                                          [](int* completions, base::RunLoop* run_loop) {
                                            ++*completions;
                                            run_loop->Quit();
                                          },
                                          &completions, &run_loop)));
  ASSERT_TRUE(test::RunUntilQuitOrTimeout(&run_loop));
  base::RunLoop().RunUntilIdle();
  EXPECT_EQ(1, completions);
  EXPECT_EQ(Downloader::STATE_FAILED, downloader.state());
  EXPECT_EQ(0u, downloader.GetStateText().find("Redirect URL is disallowed http://elsewhere"));
  EXPECT_EQ("GET", *server_.Requests()[0].FindString("method"));
}

}  // namespace
}  // namespace installer
