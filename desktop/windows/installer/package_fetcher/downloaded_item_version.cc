#include "desktop/windows/installer/package_fetcher/downloaded_item_version.h"

#include <string>

#include "base/command_line.h"
#include "base/logging.h"
#include "base/process/launch.h"
#include "base/strings/string_util.h"
#include "base/synchronization/lock.h"
#include "base/version.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/stats_scope.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

// A build may accept items up to 50 major numbers below this version; empty
// in this build.
constexpr char kAllowedVersionOverride[] = "";
constexpr int kOverrideReach = 50;

// A version or stream name is short; a program that prints more is not one
// of ours.
constexpr size_t kMaxAnswer = 4096;
// Generous for a loaded machine, short enough that a hanging item does not
// stall the installation.
constexpr DWORD kAnswerTimeoutMs = 60 * 1000;

base::Lock& RunLock() {
  static base::Lock* lock = new base::Lock();
  return *lock;
}

// What |path| prints for |switch_name|, trimmed; empty when it could not be
// run, failed or did not answer in time.
std::string Ask(const base::FilePath& path, const char* switch_name) {
  base::CommandLine command(path);
  command.AppendSwitch(switch_name);
  std::string output;
  int exit_code = 0;
  base::AutoLock hold(RunLock());
  if (!base::GetAppOutputWithTimeout(command.GetCommandLineString(), kMaxAnswer,
                                     kAnswerTimeoutMs, &output, &exit_code)) {
    return std::string();
  }
  return std::string(base::TrimWhitespaceASCII(output, base::TRIM_ALL));
}

base::Version ReferenceVersion() {
  base::Version reference(GetBuildNumberString());
  const base::Version override_version{std::string_view(kAllowedVersionOverride)};
  if (override_version.IsValid() && reference.IsValid() &&
      reference.components()[0] <= override_version.components()[0] + kOverrideReach) {
    VLOG(1) << "Using allowed version override " << kAllowedVersionOverride;
    reference = override_version;
  }
  return reference;
}

}  // namespace

bool CheckDownloadedItemVersion(const base::FilePath& path, bool check_stream,
                                StatsScope* scope) {
  const std::string version_text = Ask(path, switches::kInternalVersion);
  VLOG(1) << "Downloaded item version: " << version_text;
  if (scope)
    scope->SetString("internal_version", version_text);
  const base::Version version(version_text);
  if (!version.IsValid() || version < ReferenceVersion()) {
    LOG(ERROR) << "Downloaded item is older than the installer";
    return false;
  }
  if (check_stream) {
    const std::string stream = Ask(path, switches::kStream);
    VLOG(1) << "Downloaded item stream: " << stream;
    if (scope)
      scope->SetString("stream", stream);
    if (stream != GetStreamName()) {
      LOG(ERROR) << "Downloaded item is of a different stream than the installer";
      return false;
    }
  }
  return true;
}

}  // namespace installer
