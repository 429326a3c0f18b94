#include "desktop/windows/installer/stats_sender.h"

#include <windows.h>

#include <utility>

#include "base/files/file_path.h"
#include "base/json/json_writer.h"
#include "base/logging.h"
#include "base/process/process_handle.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_handle.h"
#include "base/win/windows_version.h"
#include "crypto/sha2.h"
#include "desktop/windows/installer/maker_domains.h"
#include "desktop/windows/installer/wininet/null_download_stats_observer.h"
#include "desktop/windows/installer/wininet/response_writer.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

// Given to the installer to post to a statistics server on this machine.
constexpr char kLocalStatsServerSwitch[] = "local-stats-server";
constexpr int kLocalStatsServerPort = 3000;
constexpr char kFeedbackPath[] = "netinstaller/feedback";
constexpr int kRetriesWithoutWaiting = 2;

constexpr DWORD kMaxUserNameLength = 256;
constexpr DWORD kMaxComputerNameLength = 15;

std::wstring LocalHostName() {
  wchar_t name[256];
  DWORD size = static_cast<DWORD>(std::size(name));
  if (!GetComputerNameExW(ComputerNameDnsHostname, name, &size))
    return std::wstring();
  return std::wstring(name, size);
}

// The full image path of a process, empty when it cannot be read.
base::FilePath ProcessImagePath(base::ProcessId process_id) {
  base::win::ScopedHandle process(
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
  if (!process.IsValid())
    return base::FilePath();
  wchar_t path[MAX_PATH * 4];
  DWORD size = static_cast<DWORD>(std::size(path));
  if (!QueryFullProcessImageNameW(process.Get(), 0, path, &size))
    return base::FilePath();
  return base::FilePath(std::wstring(path, size));
}

}  // namespace

StatsSender::StatsSender(PackageFetcherUIDelegate* ui_delegate)
    : root_scope_(&stats_, &lock_, base::TimeTicks::Now(), {}), downloader_(ui_delegate, nullptr) {
  RecordBasicStats();
}

StatsSender::~StatsSender() = default;

void StatsSender::RecordBasicStats() {
  root_scope_.SetTimeAndElapsed("installer_start_time");
  root_scope_.SetTime("installation_start_time");
  root_scope_.SetString("version", GetVersion());
  root_scope_.SetString("stream", GetStreamName());
  root_scope_.SetString("product", GetProductName());

  const base::win::OSInfo* os = base::win::OSInfo::GetInstance();
  root_scope_.SetString("os.name", "windows");
  root_scope_.SetInteger("os.version.major", os->version_number().major);
  root_scope_.SetInteger("os.version.minor", os->version_number().minor);
  root_scope_.SetInteger("os.version.build", os->version_number().build);
  root_scope_.SetInteger("os.service_pack.major", os->service_pack().major);
  root_scope_.SetInteger("os.service_pack.minor", os->service_pack().minor);

  root_scope_.SetString("command_line_args",
                        base::WideToUTF8(base::CommandLine::ForCurrentProcess()->GetArgumentsString()));

  base::ProcessId parent = base::GetParentProcessId(base::GetCurrentProcId());
  root_scope_.SetString("parent_process_name",
                        base::WideToASCII(ProcessImagePath(parent).BaseName().value()));
  root_scope_.SetInteger("parent_process_id", static_cast<int>(parent));

  wchar_t user[kMaxUserNameLength + 1] = {};
  DWORD user_size = kMaxUserNameLength + 1;
  if (!GetUserNameW(user, &user_size))
    user[0] = L'\0';
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD computer_size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(computer, &computer_size))
    computer_size = 0;
  root_scope_.SetString("endpoint_name_hash",
                        EndpointNameHash(user, std::wstring_view(computer, computer_size)));
}

// static
std::string StatsSender::EndpointNameHash(std::wstring_view user, std::wstring_view computer) {
  std::wstring endpoint(user);
  endpoint += computer.substr(0, kMaxComputerNameLength);
  if (endpoint.empty())
    return std::string();
  std::string bytes;
  for (wchar_t c : endpoint) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return base::ToLowerASCII(base::HexEncode(crypto::SHA256HashString(bytes)));
}

void StatsSender::AddDownloadSummary() {
  int chunks = 0;
  std::string ips;
  {
    base::AutoLock hold(lock_);
    const base::Value::List* fetches = stats_.FindList("fetches");
    if (!fetches)
      return;
    for (const base::Value& fetch : *fetches) {
      const base::Value::List* fetch_chunks =
          fetch.is_dict() ? fetch.GetDict().FindList("download_chunks") : nullptr;
      if (!fetch_chunks)
        continue;
      chunks += static_cast<int>(fetch_chunks->size());
      for (const base::Value& chunk : *fetch_chunks) {
        const std::string* ip = chunk.is_dict() ? chunk.GetDict().FindString("ip") : nullptr;
        if (!ip)
          continue;
        if (!ips.empty())
          ips += "; ";
        ips += *ip;
      }
    }
  }
  root_scope_.SetInteger("wininet_retries", chunks);
  root_scope_.SetString("download_ips", ips);
}

// static
StatsSender::Endpoint StatsSender::GetEndpoint(const base::CommandLine& command_line) {
  Endpoint endpoint;
  const std::wstring host_name = LocalHostName();
  endpoint.allowed_hosts.push_back(kMakerDomainSuffix);
  endpoint.allowed_hosts.push_back(host_name);
  std::wstring domain = base::UTF8ToWide(ProductConfig::GetDomain());
  if (!domain.empty() && domain != kMakerDomainSuffix)
    endpoint.allowed_hosts.push_back(domain);

  std::wstring base_url;
  if (command_line.HasSwitch(kLocalStatsServerSwitch)) {
    base_url = L"http://" + host_name + L":" + base::NumberToWString(kLocalStatsServerPort) + L"/";
  } else {
    base_url = base::UTF8ToWide(ProductConfig::GetUrl("autoupdate"));
  }
  endpoint.url = base_url + base::ASCIIToWide(kFeedbackPath);
  return endpoint;
}

bool StatsSender::GetJson(std::string* json) {
  base::AutoLock hold(lock_);
  return base::JSONWriter::Write(stats_, json);
}

bool StatsSender::Send(base::OnceClosure completion, bool wait_for_network) {
  return SendTo(GetEndpoint(*base::CommandLine::ForCurrentProcess()), std::move(completion),
                wait_for_network);
}

bool StatsSender::SendTo(const Endpoint& endpoint,
                         base::OnceClosure completion,
                         bool wait_for_network) {
  AddDownloadSummary();
  root_scope_.SetTimeAndElapsed("stats_sending_time");
  downloader_.set_allowed_hosts(endpoint.allowed_hosts);
  if (!wait_for_network) {
    VLOG(1) << "Don't wait for network when sending stats";
    downloader_.set_max_retries(kRetriesWithoutWaiting);
  }
  std::string json;
  if (!GetJson(&json)) {
    LOG(ERROR) << "Failed to write stats as JSON";
    std::move(completion).Run();
    return false;
  }
  // The completion is needed again when the post does not start.
  auto shared = std::make_shared<base::OnceClosure>(std::move(completion));
  if (downloader_.StartDownload(
          endpoint.url, std::move(json),
          base::BindOnce([](std::shared_ptr<base::OnceClosure> completion) {
            std::move(*completion).Run();
          }, shared),
          std::make_unique<ResponseWriter>(), std::make_unique<NullDownloadStatsObserver>())) {
    return true;
  }
  std::move(*shared).Run();
  LOG(ERROR) << "Failed to send the stats request";
  return false;
}

}  // namespace installer
