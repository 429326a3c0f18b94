#include "crash_reporting/installer_crash_reporter_client.h"

#include "base/environment.h"
#include "base/strings/utf_string_conversions.h"
#include "crash_reporting/crash_reporter_names.h"
#include "crash_reporting/installer_crash_keys.h"
#include "product_config/product_config.h"

namespace crash_reporting {

InstallerCrashReporterClient::InstallerCrashReporterClient() : running_unattended_(true) {}
InstallerCrashReporterClient::~InstallerCrashReporterClient() = default;

// static
InstallerCrashReporterClient* InstallerCrashReporterClient::GetInstance() {
  // Never destroyed: a crash may come at any time until the process ends.
  static InstallerCrashReporterClient* client = new InstallerCrashReporterClient();
  return client;
}

void InstallerCrashReporterClient::GetProductNameAndVersion(const std::wstring& exe_path,
                                                            std::wstring* product_name,
                                                            std::wstring* version,
                                                            std::wstring* special_build,
                                                            std::wstring* channel_name) {
  *product_name = base::UTF8ToWide(installer::ProductConfig::GetCrashUploadProductName());
  *version = base::UTF8ToWide(installer::GetVersion());
  special_build->clear();
  *channel_name = base::UTF8ToWide(installer::GetStreamName());
}

bool InstallerCrashReporterClient::GetCrashDumpLocation(std::wstring* crash_dir) {
  std::string folder;
  if (!base::Environment::Create()->GetVar(kCrashLogDirVar, &folder))
    return false;
  *crash_dir = base::UTF8ToWide(folder);
  return true;
}

bool InstallerCrashReporterClient::GetCrashMetricsLocation(std::wstring* metrics_dir) {
  return false;
}

bool InstallerCrashReporterClient::IsRunningUnattended() {
  return running_unattended_;
}

size_t InstallerCrashReporterClient::RegisterCrashKeys() {
  const std::vector<base::debug::CrashKey>& table = GetInstallerCrashKeyTable();
  return base::debug::InitCrashKeys(table.data(), table.size(), kCrashKeyChunkLength);
}

}  // namespace crash_reporting
