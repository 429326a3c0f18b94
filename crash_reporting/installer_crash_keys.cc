#include "crash_reporting/installer_crash_keys.h"

#include <windows.h>

#include <map>

#include "base/strings/string_util.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "crash_reporting/installer_crash_reporter_client.h"

namespace crash_reporting {

namespace {

constexpr size_t kSmall = 63;
constexpr size_t kMedium = 252;
constexpr size_t kLarge = 1008;

// The 50 family keys: seven of the first two families, six of the others.
// The table points at these names: they are made once and never move.
const std::vector<std::string>& FamilyKeyNames() {
  static const std::vector<std::string> names = [] {
    static const char* const kFamilies[] = {"commit_",  "initrf_",   "newproxy_",
                                            "rvinit_",  "swapout_",  "newframe_",
                                            "origin_mismatch_",      "swdh_"};
    static const char* const kMembers[] = {"frame_id",      "proxy_id",      "view_id",
                                           "main_frame_id", "is_main_frame", "parent_id",
                                           "routing_id"};
    std::vector<std::string> result;
    for (size_t family = 0; family < std::size(kFamilies); ++family) {
      size_t members = family < 2 ? 7 : 6;
      for (size_t member = 0; member < members; ++member)
        result.push_back(std::string(kFamilies[family]) + kMembers[member]);
    }
    return result;
  }();
  return names;
}

std::vector<InstallerCrashKey> MakeTable() {
  std::vector<InstallerCrashKey> table;
  auto add = [&table](int group, const char* name, size_t length = kSmall) {
    table.push_back({{name, length}, group});
  };
  // Group 1.
  add(1, "URL", kLarge);
  add(1, "ab_tests", kMedium);
  for (const char* name : {"aux_system_string", "crash_guid", "gpu_vendor_id", "gpu_device_id",
                           "gpu_driver_version", "gpu_pixel_shader_version",
                           "gpu_vertex_shader_version"}) {
    add(1, name);
  }
  for (const char* name : {"enabled_extensions", "disabled_extensions", "blacklisted_extensions",
                           "terminated_extensions", "third_party_installs"}) {
    add(1, name, kLarge);
  }
  // Group 2: the installer's own.
  for (const char* name : {"BuildID", "ReleaseChannel", "prod", "symbols-package", "UBN", "ver",
                           "Email", "exception_policy", "is_wow64", "ptype", "CrashTime",
                           "InstallTime", "StartupTime"}) {
    add(2, name);
  }
  add(2, "vlauto_test", kLarge);
  for (const char* name : {"Origin", "os_build_number", "os_service_pack_version", "os_version"})
    add(2, name);
  // Group 3.
  for (const char* name : {"channel", "plat", "ptime", "discardable-memory-allocated",
                           "discardable-memory-free", "total-discardable-memory-allocated",
                           "bad_message_reason", "is-enterprise-managed", "font_key_name",
                           "input-event-filter-send-failure"}) {
    add(3, name);
  }
  add(3, "ppapi_path", kMedium);
  add(3, "subresource_url", kLarge);
  // Group 4: the browser's renderer and navigation diagnostics.
  add(4, "num-experiments");
  add(4, "variations", kLarge);
  add(4, "v8-ignition");
  add(4, "url-chunk", kLarge);
  for (const std::string& name : FamilyKeyNames())
    add(4, name.c_str());
  return table;
}

}  // namespace

const std::vector<InstallerCrashKey>& GetInstallerCrashKeys() {
  static const std::vector<InstallerCrashKey> table = MakeTable();
  return table;
}

const std::vector<base::debug::CrashKey>& GetInstallerCrashKeyTable() {
  static const std::vector<base::debug::CrashKey> keys = [] {
    std::vector<base::debug::CrashKey> result;
    for (const InstallerCrashKey& entry : GetInstallerCrashKeys())
      result.push_back(entry.key);
    return result;
  }();
  return keys;
}

std::set<std::string> GetSettableCrashKeyNames() {
  std::set<std::string> names;
  for (const InstallerCrashKey& entry : GetInstallerCrashKeys()) {
    if (entry.group > 3)
      continue;
    if (entry.key.max_length <= kCrashKeyChunkLength) {
      names.insert(entry.key.key_name);
      continue;
    }
    size_t chunks = (entry.key.max_length + kCrashKeyChunkLength - 1) / kCrashKeyChunkLength;
    for (size_t chunk = 1; chunk <= chunks; ++chunk)
      names.insert(base::StringPrintf("%s-%zu", entry.key.key_name, chunk));
  }
  return names;
}

std::string BuildIdValue(const std::string& build_stamp, int build_id) {
  std::string stamp = build_stamp.substr(0, 8);
  stamp.append(8 - stamp.size(), '0');
  std::string id = base::StringPrintf("%d", build_id < 0 ? -build_id : build_id);
  if (id.size() > 6)
    id = id.substr(id.size() - 6);
  return stamp + std::string(6 - id.size(), '0') + id;
}

std::string ReleaseChannelValue(int channel_kind, const std::string& stream_name) {
  if (channel_kind == 2)
    return "ulvane";
  if (channel_kind == 4)
    return "release";
  return stream_name;
}

std::string SymbolsPackageValue(const base::FilePath& program) {
  std::wstring name = program.BaseName().RemoveExtension().value();
  return base::EndsWith(name, L"_browsertests") ? "tests-syms" : "browser-syms";
}

InstallerCrashKeys::InstallerCrashKeys(const std::string& process_type,
                                       InstallerCrashReporterClient* client)
    : settable_(GetSettableCrashKeyNames()) {
  wchar_t exe_path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe_path, MAX_PATH);
  std::wstring product, version, special_build, channel;
  client->GetProductNameAndVersion(exe_path, &product, &version, &special_build, &channel);
  std::map<std::wstring, std::wstring> fixed = {
      {L"prod", product},
      {L"ver", version},
      {L"channel", channel},
      {L"plat", L"Win64"},
      {L"ptype", base::UTF8ToWide(process_type)},
      {L"pid", std::to_wstring(GetCurrentProcessId())},
  };
  if (!special_build.empty())
    fixed[L"special"] = special_build;
  // The command line helps tell the process modes apart.
  std::wstring command_line = GetCommandLineW();
  for (size_t i = 0, chunk = 1; i < command_line.size() && chunk <= 4;
       i += crash::CustomInfoEntry::kValueMaxLength - 1, ++chunk) {
    fixed[L"cmdline-" + std::to_wstring(chunk)] =
        command_line.substr(i, crash::CustomInfoEntry::kValueMaxLength - 1);
  }
  store_.GetCustomInfo(fixed);
}

InstallerCrashKeys::~InstallerCrashKeys() = default;

void InstallerCrashKeys::Set(const std::string& key, const std::string& value) {
  if (!IsSettable(key))
    return;
  store_.SetCrashKeyValue(base::UTF8ToWide(key), base::UTF8ToWide(value));
}

void InstallerCrashKeys::Clear(const std::string& key) {
  store_.ClearCrashKeyValue(base::UTF8ToWide(key));
}

std::string InstallerCrashKeys::Get(const std::string& key) {
  return base::WideToUTF8(store_.GetCrashKeyValue(base::UTF8ToWide(key)));
}

}  // namespace crash_reporting
