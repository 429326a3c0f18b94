#include "desktop/windows/installer/detailed_download_stats_observer.h"

#include "base/strings/utf_string_conversions.h"

namespace installer {

DetailedDownloadStatsObserver::DetailedDownloadStatsObserver(
    std::unique_ptr<StatsScope> parent_scope,
    std::string list_key)
    : parent_scope_(std::move(parent_scope)),
      chunk_scope_(parent_scope_->AppendListEntry(list_key)),
      list_key_(std::move(list_key)) {}

DetailedDownloadStatsObserver::~DetailedDownloadStatsObserver() = default;

void DetailedDownloadStatsObserver::OnChunkStart(int downloaded_size) {
  chunk_scope_->SetInteger("chunk_start", downloaded_size);
  chunk_scope_->SetInteger("chunk_number", chunk_counter_);
  chunk_scope_->SetTimeAndElapsed("chunk_start_time");
}

void DetailedDownloadStatsObserver::OnServerAddress(const std::string& address) {
  chunk_scope_->SetString("ip", address);
}

void DetailedDownloadStatsObserver::OnRedirect(const std::wstring& url) {
  chunk_scope_->SetString("redirected_url", base::WideToUTF8(url));
}

void DetailedDownloadStatsObserver::OnResponseHeader(const std::wstring& name,
                                                     const std::wstring& value) {
  chunk_scope_->SetString("headers." + base::WideToUTF8(name), base::WideToUTF8(value));
}

void DetailedDownloadStatsObserver::OnWinInetError(int error) {
  chunk_scope_->SetInteger("wininet_error", error);
}

void DetailedDownloadStatsObserver::OnHttpStatus(int status) {
  chunk_scope_->SetInteger("http_status", status);
}

void DetailedDownloadStatsObserver::OnRetry(int retry_count) {
  chunk_scope_->SetInteger("retry_count", retry_count);
}

void DetailedDownloadStatsObserver::OnChunkEnd(int downloaded_size) {
  chunk_scope_->SetInteger("chunk_end", downloaded_size);
  chunk_scope_->SetTimeAndElapsed("chunk_end_time");
  ++chunk_counter_;
}

void DetailedDownloadStatsObserver::OnResponseTooLong(int excess, int expected_size) {
  chunk_scope_->SetInteger("response_too_long", excess);
}

void DetailedDownloadStatsObserver::OnProxyLoginNeeded() {
  chunk_scope_->SetInteger("proxy_login_needed", 1);
}

void DetailedDownloadStatsObserver::OnProxyLoginResult(int result) {
  chunk_scope_->SetInteger("proxy_login_result", result);
}

void DetailedDownloadStatsObserver::OnNullRequestContext() {
  chunk_scope_->Increment("null_request_context");
}

}  // namespace installer
