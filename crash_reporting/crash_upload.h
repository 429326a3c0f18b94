// Sending a minidump with its annotations to the crash collector as one
// multipart POST, and the throttle of the one-crash mode (one report every
// three days, kept in the registry).

#ifndef CRASH_REPORTING_CRASH_UPLOAD_H_
#define CRASH_REPORTING_CRASH_UPLOAD_H_

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "base/files/file_path.h"
#include "net/http_transport.h"

namespace crash_reporting {

using Annotations = std::map<std::wstring, std::wstring>;

// The form field of the dump.
inline constexpr char kMinidumpFieldName[] = "upload_file_minidump";
// The throttle value under HKCU\Software\<company>.
inline constexpr wchar_t kLastReporterCrashValue[] = L"Last crash in crash reporter";
// The one-crash mode reports at most once in this many days.
inline constexpr int64_t kReporterCrashThrottleDays = 3;

// One report; destroying it deletes the dump when |delete_dump| is set.
struct CrashReport {
  CrashReport();
  CrashReport(const CrashReport&) = delete;
  CrashReport& operator=(const CrashReport&) = delete;
  ~CrashReport();

  Annotations annotations;
  base::FilePath dump_path;
  bool gzip = false;
  bool delete_dump = false;
};

// Resolves the collector URL once: VELTO_ALTERNATIVE_CRASH_SERVER_URL when
// set and not empty, else the configuration's "crashstats_collector".
void ResolveCrashUploadUrl();
const std::wstring& GetCrashUploadUrl();

// Sends |report|; true when the collector accepted it.
bool UploadCrashReport(CrashReport& report);
// Queues a gzip report on a system pool thread holding an activity count;
// false (and the report discarded) when it cannot be queued.
bool UploadCrashReportAsync(const base::FilePath& dump_path, Annotations annotations,
                            bool delete_dump);
// Sends a report now, deleting the dump afterwards.
bool UploadCrashReportNow(const base::FilePath& dump_path, Annotations annotations, bool gzip);

// Whole days since the last one-crash report, as of |now| (UTC). A missing,
// malformed or future value is taken as "never" and stored as 0. False on a
// registry failure.
bool DaysSinceLastReporterCrash(const FILETIME& now, int64_t* days);
bool DaysSinceLastReporterCrash(int64_t* days);
void StoreLastReporterCrashTime(const SYSTEMTIME& time);

// The transports uploads use; the real one unless a test set another.
using HttpTransportFactory = std::unique_ptr<net::HttpTransport> (*)();
void SetHttpTransportFactoryForTesting(HttpTransportFactory factory);

}  // namespace crash_reporting

#endif  // CRASH_REPORTING_CRASH_UPLOAD_H_
