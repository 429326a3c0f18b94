#include "desktop/windows/installer/pref_default_overrides_fetcher.h"

#include <memory>
#include <utility>

#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/maker_domains.h"
#include "desktop/windows/installer/wininet/file_response_writer.h"
#include "desktop/windows/installer/wininet/null_download_stats_observer.h"
#include "features/feature_registry.h"
#include "features/features.h"
#include "features/installer_features.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

constexpr wchar_t kLocalServerUrl[] = L"http://127.0.0.1:3001/api/prefs/";

}  // namespace

PrefDefaultOverridesFetcher::PrefDefaultOverridesFetcher(const base::FilePath& folder,
                                                         PackageFetcherUIDelegate* ui_delegate,
                                                         const FeatureRegistry* features)
    : target_path_(folder.Append(kFileName)),
      downloader_(ui_delegate, nullptr),
      features_(features ? features : GetFeatureRegistry()) {}

PrefDefaultOverridesFetcher::~PrefDefaultOverridesFetcher() {
  // Nothing may reach a fetcher that is gone.
  completion_.Reset();
}

// static
std::wstring PrefDefaultOverridesFetcher::BuildRequestUrl(const base::CommandLine& command_line) {
  const std::wstring value = command_line.GetSwitchValueNative(kLocalServerSwitch);
  if (!value.empty())
    return value;
  if (command_line.HasSwitch(kLocalServerSwitch))
    return kLocalServerUrl;
  return base::UTF8ToWide(ProductConfig::GetUrl("autoupdate") + "api/prefs/?product=" +
                          GetProductName() + "&version=" + GetVersion());
}

// static
std::vector<std::wstring> PrefDefaultOverridesFetcher::GetAllowedHosts() {
  std::vector<std::wstring> hosts = {kMakerDomainSuffix, kInternalDomainSuffix,
                                     kLoopbackHostName,  kLoopbackAddress,
                                     kSecondInternalDomainSuffix, kThirdInternalDomainSuffix};
  const std::wstring domain = base::UTF8ToWide(ProductConfig::GetDomain());
  if (!domain.empty() && domain != kMakerDomainSuffix)
    hosts.push_back(domain);
  return hosts;
}

void PrefDefaultOverridesFetcher::Start(const std::string& tracking_data,
                                        base::OnceClosure completion) {
  if (!features_->IsEnabled(kInstallerPrefDefaultOverridesSupportFeature)) {
    std::move(completion).Run();
    return;
  }
  LOG(INFO) << "Fetching default prefs overrides to " << target_path_ << " with tracking data "
            << tracking_data;
  downloader_.set_allowed_hosts(GetAllowedHosts());
  downloader_.set_max_retries(0);

  auto writer = std::make_unique<FileResponseWriter>();
  if (!writer->Open(target_path_) ||
      !downloader_.StartDownload(
          BuildRequestUrl(*base::CommandLine::ForCurrentProcess()), tracking_data,
          base::BindOnce(&PrefDefaultOverridesFetcher::OnFetchComplete, base::Unretained(this)),
          std::move(writer), std::make_unique<NullDownloadStatsObserver>())) {
    LOG(ERROR) << "Failed sending request for default prefs overrides";
    base::DeleteFile(target_path_);
    std::move(completion).Run();
    return;
  }
  completion_ = std::move(completion);
}

void PrefDefaultOverridesFetcher::OnFetchComplete() {
  if (downloader_.state() == Downloader::STATE_COMPLETED) {
    LOG(INFO) << "Default prefs overrides fetched successfully";
  } else {
    base::DeleteFile(target_path_);
    LOG(ERROR) << "Failed fetching default prefs overrides";
  }
  if (completion_)
    std::move(completion_).Run();
}

}  // namespace installer
