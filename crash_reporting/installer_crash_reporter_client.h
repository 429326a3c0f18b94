// The installer's answers to the crash layer (crash/crash_reporter_client.h),
// one per process.

#ifndef CRASH_REPORTING_INSTALLER_CRASH_REPORTER_CLIENT_H_
#define CRASH_REPORTING_INSTALLER_CRASH_REPORTER_CLIENT_H_

#include "crash/crash_reporter_client.h"

namespace crash_reporting {

class InstallerCrashReporterClient : public crash::CrashReporterClient {
 public:
  InstallerCrashReporterClient();
  ~InstallerCrashReporterClient() override;

  // The process's client, made on first use.
  static InstallerCrashReporterClient* GetInstance();

  // Product: the configuration's crash product name; version: the build
  // version; no special build; channel: the stream name.
  void GetProductNameAndVersion(const std::wstring& exe_path, std::wstring* product_name,
                                std::wstring* version, std::wstring* special_build,
                                std::wstring* channel_name) override;
  // VELTO_CRASH_LOG_DIR when set; no other location exists here.
  bool GetCrashDumpLocation(std::wstring* crash_dir) override;
  bool GetCrashMetricsLocation(std::wstring* metrics_dir) override;
  // Answers from a flag that is set at construction.
  bool IsRunningUnattended() override;
  // Registers the installer's crash-key table in chunks of 63 bytes.
  size_t RegisterCrashKeys() override;

 private:
  const bool running_unattended_;
};

}  // namespace crash_reporting

#endif  // CRASH_REPORTING_INSTALLER_CRASH_REPORTER_CLIENT_H_
