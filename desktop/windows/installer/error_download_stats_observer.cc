#include "desktop/windows/installer/error_download_stats_observer.h"

namespace installer {

ErrorDownloadStatsObserver::ErrorDownloadStatsObserver(std::unique_ptr<StatsScope> scope,
                                                       std::string key_prefix)
    : scope_(std::move(scope)), key_prefix_(std::move(key_prefix)) {}

ErrorDownloadStatsObserver::~ErrorDownloadStatsObserver() = default;

std::string ErrorDownloadStatsObserver::Key(std::string_view name) const {
  return key_prefix_ + std::string(name);
}

void ErrorDownloadStatsObserver::OnWinInetError(int error) {
  scope_->SetInteger(Key("wininet_error"), error);
}

void ErrorDownloadStatsObserver::OnHttpStatus(int status) {
  scope_->SetInteger(Key("http_status"), status);
}

void ErrorDownloadStatsObserver::OnProxyLoginNeeded() {
  scope_->SetInteger(Key("proxy_login_needed"), 1);
}

void ErrorDownloadStatsObserver::OnProxyLoginResult(int result) {
  scope_->SetInteger(Key("proxy_login_result"), result);
}

void ErrorDownloadStatsObserver::OnNullRequestContext() {
  scope_->Increment(Key("null_request_context"));
}

}  // namespace installer
