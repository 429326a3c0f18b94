#include "desktop/windows/installer/package_fetcher/package_server_protocol.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "base/base64.h"
#include "base/json/json_reader.h"
#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/error_download_stats_observer.h"
#include "desktop/windows/installer/maker_domains.h"
#include "desktop/windows/installer/package_fetcher/safe_relative_path.h"
#include "desktop/windows/installer/stats_scope.h"
#include "desktop/windows/installer/steps/localization_digests.h"
#include "desktop/windows/installer/wininet/downloader.h"
#include "desktop/windows/installer/wininet/string_response_writer.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

// The maker's internal package server, asked with the switch and no value.
constexpr wchar_t kInternalPackageServerUrl[] = L"http://packages.velto.internal/";
constexpr wchar_t kNetInstallerPath[] = L"netinstaller/";
constexpr wchar_t kSfxPackagePath[] = L"v2/";
constexpr wchar_t kX64Path[] = L"/windows/x64/";
constexpr uint32_t kX64Architecture = 1;

constexpr char kStatsPrefix[] = "fetch_download_url_";

}  // namespace

std::wstring BuildDownloadUrlRequestUrl(const base::CommandLine& command_line,
                                        const DownloadUrlRequestOptions& options) {
  std::wstring url;
  const std::wstring server = command_line.GetSwitchValueNative(kInternalPackageServerSwitch);
  if (!server.empty()) {
    url = server;
  } else {
    url = command_line.HasSwitch(kInternalPackageServerSwitch)
              ? kInternalPackageServerUrl
              : base::UTF8ToWide(ProductConfig::GetUrl("autoupdate"));
    url += kNetInstallerPath;
    if (options.sfx_package)
      url += kSfxPackagePath;
    url += base::ASCIIToWide(GetStreamName());
    if (options.architecture == kX64Architecture)
      url += kX64Path;
  }
  if (options.minimal)
    url = AppendAdditionalFilesQuery(url, options.language);
  return url;
}

std::wstring AppendAdditionalFilesQuery(const std::wstring& url, const std::wstring& language) {
  std::wstring result = url;
  result += url.find(L'?') == std::wstring::npos ? L"?" : L"&";
  result += L"additional_files='";
  if (!language.empty())
    result += L"localization/" + language + L".pak";
  result += L"'";
  return result;
}

bool IsKnownLocalizationFile(std::string_view file_name) {
  // The table of the localization check keeps its paths Base64-encoded, with
  // Windows separators; the server names the files with "/".
  std::string path(file_name);
  std::replace(path.begin(), path.end(), '/', '\\');
  const std::string encoded = base::Base64Encode(path);
  for (const LocalizationDigest& row : GetLocalizationDigests()) {
    if (encoded == row.path)
      return true;
  }
  return false;
}

std::vector<std::wstring> GetAllowedDownloadUrlHosts() {
  std::vector<std::wstring> hosts;
  const std::wstring domain = base::UTF8ToWide(ProductConfig::GetDomain());
  if (!domain.empty() && domain != kMakerDomainSuffix)
    hosts.push_back(domain);
  hosts.push_back(kMakerDomainSuffix);
  hosts.push_back(kInternalDomainSuffix);
  hosts.push_back(kLoopbackHostName);
  hosts.push_back(kLoopbackAddress);
  hosts.push_back(kSecondInternalDomainSuffix);
  hosts.push_back(kThirdInternalDomainSuffix);
  return hosts;
}

bool StartDownloadUrlRequest(Downloader* downloader,
                             const std::wstring& url,
                             std::string body,
                             std::string* reply_text,
                             std::unique_ptr<StatsScope> fetch_scope,
                             base::OnceClosure done) {
  downloader->set_allowed_hosts(GetAllowedDownloadUrlHosts());
  LOG(INFO) << "Fetching the download URL";
  fetch_scope->SetTimeAndElapsed("fetch_download_url_start_time");
  return downloader->StartDownload(
      url, std::move(body), std::move(done), std::make_unique<StringResponseWriter>(reply_text),
      std::make_unique<ErrorDownloadStatsObserver>(std::move(fetch_scope), kStatsPrefix));
}

DownloadUrlReply::DownloadUrlReply() = default;
DownloadUrlReply::DownloadUrlReply(DownloadUrlReply&&) = default;
DownloadUrlReply& DownloadUrlReply::operator=(DownloadUrlReply&&) = default;
DownloadUrlReply::~DownloadUrlReply() = default;

namespace {

// A component type names the files of an archive component in the folder it
// is unpacked into ("<type>_sfx.exe", "<type>_installer.exe"), which are run.
bool IsComponentType(std::string_view type) {
  return !type.empty() && std::all_of(type.begin(), type.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
  });
}

}  // namespace

bool ParseAdditionalFileRecord(const base::Value& value, AdditionalFileRecord* parsed) {
  const base::Value::Dict* record = value.GetIfDict();
  if (!record)
    return false;
  const std::string* location = record->FindString(kComponentLocationKey);
  const std::string* type = record->FindString(kComponentTypeKey);
  const std::optional<int> archive = record->FindInt(kComponentArchiveKey);
  const std::string* checksum = record->FindString(kComponentChecksumKey);
  if (!location || !type || !IsComponentType(*type) || !archive || !checksum ||
      !base::IsStringASCII(*checksum)) {
    return false;
  }
  const std::string* file_name = *archive == 0 ? record->FindString(kComponentFileNameKey) : nullptr;
  if (*archive == 0 && (!file_name || !IsSafeRelativePath(std::string_view(*file_name))))
    return false;
  parsed->location = *location;
  parsed->type = *type;
  parsed->checksum = *checksum;
  parsed->archive = *archive != 0;
  parsed->file_name = file_name ? *file_name : std::string();
  return true;
}

bool ParseDownloadUrlReply(std::string_view text,
                           bool has_suite_folder,
                           bool minimal,
                           DownloadUrlReply* reply,
                           std::string* failure_reason) {
  std::optional<base::Value> value = base::JSONReader::Read(text);
  if (!value) {
    *failure_reason = "Invalid JSON";
    return false;
  }
  if (!value->is_dict()) {
    *failure_reason = "Content is not a dictionary";
    return false;
  }
  const base::Value::Dict& dict = value->GetDict();

  reply->additional = base::Value::List();
  bool unexpected_component = false;
  if (const base::Value::List* components = dict.FindList(kComponentsKey)) {
    for (const base::Value& component : *components) {
      if (!component.is_dict())
        continue;
      const base::Value::Dict& record = component.GetDict();
      const std::string* type = record.FindString(kComponentTypeKey);
      if (!type)
        continue;
      if (*type == kSuiteComponentType) {
        if (has_suite_folder)
          reply->additional.Append(record.Clone());
      } else if (*type == kPartnerContentComponentType) {
        reply->additional.Append(record.Clone());
      } else if (*type == kDownloadableResourceComponentType) {
        const std::string* file_name = record.FindString(kComponentFileNameKey);
        if (file_name && IsKnownLocalizationFile(*file_name)) {
          reply->additional.Append(record.Clone());
        } else {
          LOG(INFO) << "Unexpected component received from the server "
                    << (file_name ? *file_name : std::string());
          unexpected_component = true;
        }
      }
    }
  }

  reply->minimal_used = false;
  if (minimal && !unexpected_component) {
    const std::string* url = dict.FindString("minimal_installer");
    const std::string* checksum = dict.FindString("minimal_installer_checksum");
    if (url && checksum && !url->empty() && !checksum->empty()) {
      reply->minimal_used = true;
      reply->package_url = *url;
      reply->package_checksum = *checksum;
    }
  }
  if (!reply->minimal_used) {
    const base::Value* url = dict.Find("installer");
    if (!url) {
      *failure_reason = "Missing full package url";
      return false;
    }
    if (!url->is_string()) {
      *failure_reason = "Full package url is not a string";
      return false;
    }
    const base::Value* checksum = dict.Find("installer_checksum");
    if (!checksum) {
      *failure_reason = "Missing full package checksum";
      return false;
    }
    if (!checksum->is_string()) {
      *failure_reason = "Full package checksum is not a string";
      return false;
    }
    reply->package_url = url->GetString();
    reply->package_checksum = checksum->GetString();
  }
  reply->value = std::move(*value);
  return true;
}

}  // namespace installer
