#include "crash_reporting/crash_upload.h"

#include "base/environment.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "crash_reporting/crash_reporter_names.h"
#include "crash_reporting/reporter_activity.h"
#include "net/http_multipart_builder.h"
#include "product_config/product_config.h"

namespace crash_reporting {

namespace {

constexpr int64_t kFileTimeUnitsPerDay = 864000000000LL;

std::wstring g_upload_url;
HttpTransportFactory g_transport_factory = nullptr;

std::wstring ProductKeyPath() {
  return L"Software\\" + base::UTF8ToWide(installer::ProductConfig::GetCompanyName());
}

int64_t FileTimeToInt64(const FILETIME& time) {
  return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                              time.dwLowDateTime);
}

DWORD WINAPI UploadCrashReportTask(void* parameter) {
  std::unique_ptr<CrashReport> report(static_cast<CrashReport*>(parameter));
  UploadCrashReport(*report);
  report.reset();
  ReleaseReporterActivity();
  return 0;
}

}  // namespace

CrashReport::CrashReport() = default;

CrashReport::~CrashReport() {
  if (delete_dump && !dump_path.empty())
    DeleteFileW(dump_path.value().c_str());
}

void ResolveCrashUploadUrl() {
  std::string url;
  if (base::Environment::Create()->GetVar(kAlternativeCrashServerUrlVar, &url) && !url.empty())
    g_upload_url = base::UTF8ToWide(url);
  else
    g_upload_url = base::UTF8ToWide(installer::ProductConfig::GetUrl("crashstats_collector"));
}

const std::wstring& GetCrashUploadUrl() {
  return g_upload_url;
}

void SetHttpTransportFactoryForTesting(HttpTransportFactory factory) {
  g_transport_factory = factory;
}

bool UploadCrashReport(CrashReport& report) {
  net::HttpMultipartBuilder builder;
  builder.SetGzipEnabled(report.gzip);
  for (const auto& [key, value] : report.annotations)
    builder.SetFormData(base::WideToUTF8(key), base::WideToUTF8(value));
  builder.SetFileAttachment(kMinidumpFieldName,
                            base::WideToUTF8(report.dump_path.BaseName().value()),
                            report.dump_path, "application/octet-stream");
  std::optional<std::string> body = builder.GetBodyStream();
  std::unique_ptr<net::HttpTransport> transport =
      g_transport_factory ? g_transport_factory() : net::HttpTransport::Create();
  if (!body || !transport)
    return false;
  transport->SetMethod("POST");
  transport->SetURL(base::WideToUTF8(g_upload_url));
  for (const auto& [name, value] : builder.GetContentHeaders())
    transport->SetHeader(name, value);
  transport->SetBody(std::move(*body));
  bool uploaded = transport->ExecuteSynchronously(nullptr);
  LOG(INFO) << "Crash report " << report.dump_path << (uploaded ? " uploaded" : " not uploaded");
  return uploaded;
}

bool UploadCrashReportAsync(const base::FilePath& dump_path, Annotations annotations,
                            bool delete_dump) {
  auto report = std::make_unique<CrashReport>();
  report->annotations = std::move(annotations);
  report->dump_path = dump_path;
  report->gzip = true;
  report->delete_dump = delete_dump;
  AddReporterActivity();
  if (!QueueUserWorkItem(&UploadCrashReportTask, report.get(), WT_EXECUTELONGFUNCTION)) {
    report.reset();
    ReleaseReporterActivity();
    return false;
  }
  report.release();
  return true;
}

bool UploadCrashReportNow(const base::FilePath& dump_path, Annotations annotations, bool gzip) {
  CrashReport report;
  report.annotations = std::move(annotations);
  report.dump_path = dump_path;
  report.gzip = gzip;
  report.delete_dump = true;
  return UploadCrashReport(report);
}

bool DaysSinceLastReporterCrash(const FILETIME& now, int64_t* days) {
  base::win::RegKey key;
  if (key.Create(HKEY_CURRENT_USER, ProductKeyPath().c_str(), KEY_QUERY_VALUE | KEY_SET_VALUE) !=
      ERROR_SUCCESS) {
    return false;
  }
  int64_t stored = 0;
  DWORD type = REG_NONE;
  DWORD size = sizeof(stored);
  LONG result = key.ReadValue(kLastReporterCrashValue, &stored, &size, &type);
  int64_t current = FileTimeToInt64(now);
  // A value of another form, or a time after now (a clock set back, a value
  // planted), would silence the reports for good: both count as never.
  if (result != ERROR_SUCCESS || type != REG_QWORD || size != sizeof(stored) || stored < 0 ||
      stored > current) {
    stored = 0;
    if (key.WriteValue(kLastReporterCrashValue, &stored, sizeof(stored), REG_QWORD) !=
        ERROR_SUCCESS) {
      return false;
    }
  }
  *days = (current - stored) / kFileTimeUnitsPerDay;
  return true;
}

bool DaysSinceLastReporterCrash(int64_t* days) {
  FILETIME now = {};
  GetSystemTimeAsFileTime(&now);
  return DaysSinceLastReporterCrash(now, days);
}

void StoreLastReporterCrashTime(const SYSTEMTIME& time) {
  FILETIME file_time = {};
  if (!SystemTimeToFileTime(&time, &file_time))
    return;
  int64_t value = FileTimeToInt64(file_time);
  base::win::RegKey key;
  if (key.Create(HKEY_CURRENT_USER, ProductKeyPath().c_str(), KEY_QUERY_VALUE | KEY_SET_VALUE) ==
      ERROR_SUCCESS) {
    key.WriteValue(kLastReporterCrashValue, &value, sizeof(value), REG_QWORD);
  }
}

}  // namespace crash_reporting
