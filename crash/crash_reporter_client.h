// What the crash layer asks of the program it runs in: product facts, where
// dumps and metrics go, consent, and the crash-key table. The program derives
// its own client and overrides what it knows; the base answers say "nothing".

#ifndef CRASH_CRASH_REPORTER_CLIENT_H_
#define CRASH_CRASH_REPORTER_CLIENT_H_

#include <cstddef>
#include <string>

namespace crash {

class CrashReporterClient {
 public:
  CrashReporterClient() = default;
  CrashReporterClient(const CrashReporterClient&) = delete;
  CrashReporterClient& operator=(const CrashReporterClient&) = delete;
  virtual ~CrashReporterClient() = default;

  virtual void GetProductNameAndVersion(const std::wstring& exe_path, std::wstring* product_name,
                                        std::wstring* version, std::wstring* special_build,
                                        std::wstring* channel_name) {}
  virtual bool GetCrashDumpLocation(std::wstring* crash_dir) { return false; }
  virtual bool GetCrashMetricsLocation(std::wstring* metrics_dir) { return false; }
  virtual bool IsRunningUnattended() { return true; }
  virtual bool GetCollectStatsConsent() { return false; }
  virtual bool ReportingIsEnforcedByPolicy(bool* breakpad_enabled) { return false; }
  // Registers the program's crash keys; returns how many.
  virtual size_t RegisterCrashKeys() { return 0; }
};

}  // namespace crash

#endif  // CRASH_CRASH_REPORTER_CLIENT_H_
