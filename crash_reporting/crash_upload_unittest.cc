#include "crash_reporting/crash_upload.h"

#include "base/environment.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/win/registry.h"
#include "crash_reporting/crash_reporter_names.h"
#include "gtest/gtest.h"
#include "net/gzip_compress.h"

namespace crash_reporting {
namespace {

constexpr wchar_t kProductKey[] = L"Software\\Velto Software";
constexpr int64_t kDay = 864000000000LL;

// Records what would have been sent.
struct SentRequest {
  std::string method, url, body;
  std::map<std::string, std::string> headers;
};
SentRequest g_sent;
bool g_transport_succeeds = true;

class RecordingTransport : public net::HttpTransport {
 public:
  bool ExecuteSynchronously(std::string*) override {
    g_sent = {method_, url_, body_, headers_};
    return g_transport_succeeds;
  }
};

std::unique_ptr<net::HttpTransport> MakeRecordingTransport() {
  return std::make_unique<RecordingTransport>();
}

FILETIME FromInt64(int64_t value) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(value);
  time.dwHighDateTime = static_cast<DWORD>(value >> 32);
  return time;
}

class CrashUploadTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.CreateUniqueTempDir());
    dump_ = folder_.GetPath().AppendASCII("velto-crashlog-1-1.dmp");
    ASSERT_TRUE(base::WriteFile(dump_, "MDMPdata"));
    SetHttpTransportFactoryForTesting(&MakeRecordingTransport);
    g_sent = {};
    g_transport_succeeds = true;
    base::win::RegKey key(HKEY_CURRENT_USER, kProductKey, KEY_SET_VALUE);
    if (key.Valid())
      RegDeleteValueW(key.Handle(), kLastReporterCrashValue);
  }
  void TearDown() override {
    SetHttpTransportFactoryForTesting(nullptr);
    base::Environment::Create()->UnSetVar(kAlternativeCrashServerUrlVar);
  }

  int64_t StoredThrottle() {
    base::win::RegKey key(HKEY_CURRENT_USER, kProductKey, KEY_QUERY_VALUE);
    int64_t value = -1;
    key.ReadInt64(kLastReporterCrashValue, &value);
    return value;
  }

  base::ScopedTempDir folder_;
  base::FilePath dump_;
};

TEST_F(CrashUploadTest, UrlFromTheEnvironmentUnlessEmpty) {
  auto environment = base::Environment::Create();
  environment->SetVar(kAlternativeCrashServerUrlVar, "http://127.0.0.1:1/x");
  ResolveCrashUploadUrl();
  EXPECT_EQ(L"http://127.0.0.1:1/x", GetCrashUploadUrl());
  environment->SetVar(kAlternativeCrashServerUrlVar, "");
  ResolveCrashUploadUrl();
  EXPECT_EQ(L"https://crashstats-collector.velto.example/collector/submit", GetCrashUploadUrl());
}

TEST_F(CrashUploadTest, SendsTheAnnotationsAndTheDumpAsAGzipForm) {
  ResolveCrashUploadUrl();
  CrashReport report;
  report.annotations = {{L"ptype", L"installer"}, {L"prod", L"VeltoDesktop"}};
  report.dump_path = dump_;
  report.gzip = true;
  EXPECT_TRUE(UploadCrashReport(report));
  EXPECT_EQ("POST", g_sent.method);
  EXPECT_EQ("https://crashstats-collector.velto.example/collector/submit", g_sent.url);
  EXPECT_EQ("gzip", g_sent.headers["Content-Encoding"]);
  std::optional<std::string> body = net::GzipUncompress(g_sent.body);
  ASSERT_TRUE(body);
  EXPECT_NE(std::string::npos, body->find("name=\"prod\"\r\n\r\nVeltoDesktop\r\n"));
  EXPECT_NE(std::string::npos, body->find("name=\"ptype\"\r\n\r\ninstaller\r\n"));
  EXPECT_NE(std::string::npos,
            body->find("name=\"upload_file_minidump\"; filename=\"velto-crashlog-1-1.dmp\"\r\n"
                       "Content-Type: application/octet-stream\r\n\r\nMDMPdata\r\n"));
}

TEST_F(CrashUploadTest, ReportWithoutAnnotationsStillCarriesTheFile) {
  EXPECT_TRUE(UploadCrashReportNow(dump_, {}, false));
  EXPECT_EQ(0u, g_sent.headers.count("Content-Encoding"));
  EXPECT_NE(std::string::npos, g_sent.body.find("upload_file_minidump"));
  // Sent now: the dump goes afterwards.
  EXPECT_FALSE(base::PathExists(dump_));
}

TEST_F(CrashUploadTest, FailedUploadIsReportedAndTheDumpStillGoes) {
  g_transport_succeeds = false;
  EXPECT_FALSE(UploadCrashReportNow(dump_, {{L"a", L"b"}}, true));
  EXPECT_FALSE(base::PathExists(dump_));
}

TEST_F(CrashUploadTest, ReportKeepsItsDumpUnlessAskedToDeleteIt) {
  { CrashReport report; report.dump_path = dump_; }
  EXPECT_TRUE(base::PathExists(dump_));
  { CrashReport report; report.dump_path = dump_; report.delete_dump = true; }
  EXPECT_FALSE(base::PathExists(dump_));
}

TEST_F(CrashUploadTest, MissingThrottleIsCreatedAsZeroAndDoesNotThrottle) {
  int64_t days = 0;
  ASSERT_TRUE(DaysSinceLastReporterCrash(FromInt64(1000 * kDay), &days));
  EXPECT_EQ(1000, days);
  EXPECT_EQ(0, StoredThrottle());
}

TEST_F(CrashUploadTest, WholeDaysSinceTheStoredTime) {
  SYSTEMTIME stored = {2020, 1, 0, 10, 12, 0, 0, 0};
  StoreLastReporterCrashTime(stored);
  FILETIME stored_time;
  ASSERT_TRUE(SystemTimeToFileTime(&stored, &stored_time));
  int64_t base = (static_cast<int64_t>(stored_time.dwHighDateTime) << 32) | stored_time.dwLowDateTime;
  EXPECT_EQ(base, StoredThrottle());
  int64_t days = -1;
  ASSERT_TRUE(DaysSinceLastReporterCrash(FromInt64(base + 3 * kDay - 1), &days));
  EXPECT_EQ(2, days);
  ASSERT_TRUE(DaysSinceLastReporterCrash(FromInt64(base + 3 * kDay), &days));
  EXPECT_EQ(3, days);
}

TEST_F(CrashUploadTest, FutureOrMalformedThrottleCountsAsMissing) {
  SYSTEMTIME future = {2099, 1, 0, 1, 0, 0, 0, 0};
  StoreLastReporterCrashTime(future);
  int64_t days = -1;
  ASSERT_TRUE(DaysSinceLastReporterCrash(FromInt64(1000 * kDay), &days));
  EXPECT_EQ(1000, days);
  EXPECT_EQ(0, StoredThrottle());

  base::win::RegKey key(HKEY_CURRENT_USER, kProductKey, KEY_SET_VALUE);
  ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(kLastReporterCrashValue, L"yesterday"));
  ASSERT_TRUE(DaysSinceLastReporterCrash(FromInt64(5 * kDay), &days));
  EXPECT_EQ(5, days);
  EXPECT_EQ(0, StoredThrottle());
}

}  // namespace
}  // namespace crash_reporting
