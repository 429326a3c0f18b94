// The installer's crash keys: the table of every key a dump may carry, the
// rule for which names may be set here, the values the installer computes,
// and InstallerCrashKeys, the process's store of them.

#ifndef CRASH_REPORTING_INSTALLER_CRASH_KEYS_H_
#define CRASH_REPORTING_INSTALLER_CRASH_KEYS_H_

#include <set>
#include <string>
#include <vector>

#include "base/debug/crash_logging.h"
#include "base/files/file_path.h"
#include "crash/crash_keys_win.h"

namespace crash_reporting {

class InstallerCrashReporterClient;

// Keys are stored in chunks of at most this many bytes.
inline constexpr size_t kCrashKeyChunkLength = 63;

struct InstallerCrashKey {
  base::debug::CrashKey key;
  int group;  // 1 to 4; only groups 1 to 3 may be set here.
};

// The 98 keys, in table order.
const std::vector<InstallerCrashKey>& GetInstallerCrashKeys();
// The registration form of the table (same order).
const std::vector<base::debug::CrashKey>& GetInstallerCrashKeyTable();
// Every key of groups 1 to 3 of at most one chunk, and the chunk names of
// the longer ones.
std::set<std::string> GetSettableCrashKeyNames();

// "BuildID": the stamp cut or right-padded with "0" to 8 characters, then the
// id's last 6 digits, left-padded with "0".
std::string BuildIdValue(const std::string& build_stamp, int build_id);
// "ReleaseChannel" by the channel kind.
std::string ReleaseChannelValue(int channel_kind, const std::string& stream_name);
// "symbols-package" for the program at |program|.
std::string SymbolsPackageValue(const base::FilePath& program);

class InstallerCrashKeys {
 public:
  // The store for a process of |process_type|; its fixed entries come from
  // the running executable, the command line and |client|.
  InstallerCrashKeys(const std::string& process_type, InstallerCrashReporterClient* client);
  InstallerCrashKeys(const InstallerCrashKeys&) = delete;
  InstallerCrashKeys& operator=(const InstallerCrashKeys&) = delete;
  ~InstallerCrashKeys();

  // The block the exception handler registers with the reporter.
  const crash::CustomClientInfo* custom_info() const { return store_.custom_info(); }
  bool IsSettable(const std::string& name) const { return settable_.count(name) != 0; }

  // Stores the key when its name is settable; ignores it otherwise.
  void Set(const std::string& key, const std::string& value);
  void Clear(const std::string& key);
  // The value of |key| (UTF-8), empty when unset.
  std::string Get(const std::string& key);

 private:
  crash::CrashKeysWin store_;
  const std::set<std::string> settable_;
};

}  // namespace crash_reporting

#endif  // CRASH_REPORTING_INSTALLER_CRASH_KEYS_H_
