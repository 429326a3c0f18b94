#include "desktop/windows/installer/package_fetcher/package_fetcher.h"

#include <utility>

#include "base/functional/bind.h"
#include "base/location.h"
#include "base/logging.h"
#include "desktop/windows/installer/package_fetcher/package_fetcher_core.h"
#include "desktop/windows/installer/package_fetcher/package_folder_lock.h"
#include "desktop/windows/installer/stats_scope.h"

namespace installer {

namespace {

constexpr char kWorkerName[] = "Package fetcher worker";

}  // namespace

PackageFetcher::PackageFetcher(const base::FilePath& download_folder,
                               std::unique_ptr<StatsScope> root_scope,
                               PackageFetcherUIDelegate* ui_delegate,
                               PackageFetcherObserver* observer,
                               const PayloadReader* payload_reader, uint32_t architecture,
                               bool install_companion, const std::wstring& language,
                               bool minimal)
    : folder_lock_(download_folder, base::Time::Now()), worker_(kWorkerName) {
  CHECK(ui_delegate);
  package_folder_ = folder_lock_.package_folder();
  if (install_companion)
    suite_folder_ = folder_lock_.suite_folder();
  LOG(INFO) << "Package folder: " << package_folder_;
  PackageFetcherParams params;
  params.package_folder = package_folder_;
  params.suite_folder = suite_folder_;
  params.root_scope = std::move(root_scope);
  params.payload_reader = payload_reader;
  params.architecture = architecture;
  params.language = language;
  params.minimal = minimal;
  core_ = new PackageFetcherCore(std::move(params), ui_delegate, observer);
  worker_.Start();
  if (folder_lock_.is_held()) {
    worker_.task_runner()->PostTask(
        FROM_HERE_WITH_EXPLICIT_FUNCTION("RemoveFoldersOfEndedRuns"),
        base::BindOnce(&PackageFolderLock::RemoveFoldersOfEndedRuns, download_folder,
                       base::Time::Now()));
  }
}

PackageFetcher::~PackageFetcher() {
  // The core goes on its own thread; stopping the worker runs that first.
  worker_.task_runner()->PostTask(
      FROM_HERE_WITH_EXPLICIT_FUNCTION("~PackageFetcher"),
      base::BindOnce([](PackageFetcherCore* core) { delete core; }, core_));
  worker_.Stop();
}

void PackageFetcher::Start() {
  Restart();
}

void PackageFetcher::Restart() {
  worker_.task_runner()->PostTask(
      FROM_HERE_WITH_EXPLICIT_FUNCTION("Restart"),
      base::BindOnce(&PackageFetcherCore::Restart, base::Unretained(core_)));
}

bool PackageFetcher::Retry() {
  if (!core_->CanRetry())
    return false;
  LOG(INFO) << "Retrying a fetch attempt";
  // The core schedules the start itself, so that Restart and the core's end
  // cancel it.
  worker_.task_runner()->PostTask(
      FROM_HERE_WITH_EXPLICIT_FUNCTION("Retry"),
      base::BindOnce(&PackageFetcherCore::StartAfter, base::Unretained(core_), retry_delay_));
  return true;
}

void PackageFetcher::SetLanguage(const std::wstring& language) {
  worker_.task_runner()->PostTask(
      FROM_HERE_WITH_EXPLICIT_FUNCTION("SetLanguage"),
      base::BindOnce(&PackageFetcherCore::SetLanguage, base::Unretained(core_), language));
}

void PackageFetcher::SetDownloadRetryDelay(base::TimeDelta delay) {
  worker_.task_runner()->PostTask(
      FROM_HERE, base::BindOnce(&PackageFetcherCore::SetDownloadRetryDelay,
                                base::Unretained(core_), delay));
}

void PackageFetcher::SetDownloadStallLimits(base::TimeDelta window, int64_t floor) {
  worker_.task_runner()->PostTask(
      FROM_HERE, base::BindOnce(&PackageFetcherCore::SetDownloadStallLimits,
                                base::Unretained(core_), window, floor));
}

}  // namespace installer
