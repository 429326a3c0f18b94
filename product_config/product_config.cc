#include "product_config/product_config.h"

#include <windows.h>

#include <cstdio>

#include "base/base_paths.h"
#include "base/files/file_path.h"
#include "base/json/json_reader.h"
#include "base/path_service.h"
#include "base/strings/stringprintf.h"
#include "base/win/resource_util.h"

namespace installer {

namespace {

constexpr int kConfigResourceId = 133;
constexpr wchar_t kConfigResourceType[] = L"TXT";
constexpr wchar_t kCompanionLibrary[] = L"_vlautolib.pyd";

constexpr char kChromiumVersion[] = "60.0.3112.50";
constexpr char kBuildStamp[] = "20170712_170001";
constexpr char kStreamName[] = "quenn";
constexpr int kBuildNumber = 2631;
constexpr int kPatchNumber = 23;
constexpr int kUniqueBuildNumber = 882101;
constexpr int kBuildIdNumber = 306433;
constexpr int kChannelNumber = 3;
constexpr int kBaseMajorVersion = 47;

bool ReadResource(HMODULE module, std::string* text) {
  const void* data = nullptr;
  size_t length = 0;
  if (!base::win::GetResourceFromModule(module, kConfigResourceId, kConfigResourceType, &data,
                                        &length)) {
    return false;
  }
  text->assign(static_cast<const char*>(data), length);
  return true;
}

}  // namespace

std::string ProductConfig::LoadText() {
  std::string text;
  // The executable's resources, never this library's own copy: a rebranded
  // build only replaces the executable.
  if (ReadResource(nullptr, &text))
    return text;
  // The companion library beside the executable, mapped as data: only its
  // resource is read and none of its code runs. It stays mapped: the
  // configuration is read once.
  base::FilePath folder;
  if (!base::PathService::Get(base::DIR_EXE, &folder))
    return std::string();
  HMODULE companion =
      ::LoadLibraryExW(folder.Append(kCompanionLibrary).value().c_str(), nullptr,
                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (companion && ReadResource(companion, &text))
    return text;
  return std::string();
}

std::optional<base::Value::Dict> ProductConfig::Parse(std::string_view text) {
  std::optional<base::Value> value = base::JSONReader::Read(text);
  if (!value || !value->is_dict())
    return std::nullopt;
  return std::move(value->GetDict());
}

const base::Value::Dict* ProductConfig::GetInstance() {
  static const std::optional<base::Value::Dict> config = Parse(LoadText());
  return config ? &*config : nullptr;
}

std::string ProductConfig::GetString(const base::Value::Dict* config, std::string_view path) {
  if (!config)
    return std::string();
  const std::string* value = config->FindStringByDottedPath(path);
  return value ? *value : std::string();
}

bool ProductConfig::GetBool(const base::Value::Dict* config, std::string_view path) {
  if (!config)
    return false;
  return config->FindBoolByDottedPath(path).value_or(false);
}

int ProductConfig::GetInt(const base::Value::Dict* config, std::string_view path) {
  if (!config)
    return 0;
  return config->FindIntByDottedPath(path).value_or(0);
}

std::string ProductConfig::GetCompanyName() {
  return GetString(GetInstance(), "company_name");
}

std::string ProductConfig::GetCrashUploadProductName() {
  return GetString(GetInstance(), "crash_upload_socorro_product_name");
}

std::string ProductConfig::GetDefaultProfilePathTemplate() {
  return GetString(GetInstance(), "default_profile_path_template");
}

std::string ProductConfig::GetDomain() {
  return GetString(GetInstance(), "domain");
}

std::string ProductConfig::GetExpectedSigner() {
  return GetString(GetInstance(), "expected_signer");
}

std::string ProductConfig::GetFileNameBase() {
  return GetString(GetInstance(), "file_name_base");
}

int ProductConfig::GetMajorDelta() {
  return GetInt(GetInstance(), "major_delta");
}

std::string ProductConfig::GetProductName() {
  return GetString(GetInstance(), "product_name");
}

bool ProductConfig::ShouldScheduleAutoupdateTask() {
  return GetBool(GetInstance(), "schedule_autoupdate_task");
}

int ProductConfig::GetScheduledAutoupdateDelayMin() {
  return GetInt(GetInstance(), "scheduled_autoupdate_delay_min");
}

std::string ProductConfig::GetShortcutSuffix() {
  return GetString(GetInstance(), "shortcut_suffix");
}

std::string ProductConfig::GetUrl(std::string_view name) {
  std::string path = base::StringPrintf("%s.%.*s", "urls", static_cast<int>(name.size()),
                                        name.data());
  return GetString(GetInstance(), path);
}

bool ProductConfig::ShouldUseChromiumMajorForMinor() {
  return GetBool(GetInstance(), "use_chromium_major_for_minor");
}

std::string ProductConfig::GetUserAgentName() {
  return GetString(GetInstance(), "user_agent_name");
}

std::string ProductConfig::GetVisibleProductName() {
  return GetString(GetInstance(), "visible_product_name");
}

bool ProductConfig::IsWhiteLabeled() {
  return GetBool(GetInstance(), "white_labeled");
}

std::string GetVersionString(const base::Value::Dict* config) {
  int major = ProductConfig::GetInt(config, "major_delta") + kBaseMajorVersion;
  int minor = ProductConfig::GetBool(config, "use_chromium_major_for_minor")
                  ? GetChromiumMajorVersion()
                  : 0;
  return base::StringPrintf("%d.%d.%d.%d", major, minor, kBuildNumber, kPatchNumber);
}

std::string GetVersion() {
  return GetVersionString(ProductConfig::GetInstance());
}

std::string GetProductName() {
  return ProductConfig::GetProductName();
}

std::string GetUserAgentName() {
  return ProductConfig::GetUserAgentName();
}

std::string GetProductDisplayName() {
  return ProductConfig::GetVisibleProductName() + " " + GetStreamName();
}

int GetChromiumMajorVersion() {
  int major = 0;
  for (const char* p = kChromiumVersion; *p >= '0' && *p <= '9'; ++p)
    major = major * 10 + (*p - '0');
  return major;
}

std::string GetBuildStamp() {
  return kBuildStamp;
}

std::string GetStreamName() {
  return kStreamName;
}

std::string GetBuildNumberString() {
  return base::StringPrintf("%d.%d", kBuildNumber, kPatchNumber);
}

int GetUniqueBuildNumber() {
  return kUniqueBuildNumber;
}

int GetBuildIdNumber() {
  return kBuildIdNumber;
}

int GetChannelNumber() {
  return kChannelNumber;
}

}  // namespace installer
