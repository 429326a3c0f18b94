#include "desktop/windows/installer/package_fetcher/package_fetcher_core.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <limits>
#include <utility>

#include "base/command_line.h"
#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/logging.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/strings/string_util.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "base/task/single_thread_task_runner.h"
#include "desktop/windows/installer/detailed_download_stats_observer.h"
#include "desktop/windows/installer/installation_folder_details_impl.h"
#include "desktop/windows/installer/installer.h"
#include "desktop/windows/installer/installer_paths.h"
#include "desktop/windows/installer/error_download_stats_observer.h"
#include "desktop/windows/installer/package_fetcher/checksum_checker.h"
#include "desktop/windows/installer/package_fetcher/downloaded_item_version.h"
#include "desktop/windows/installer/package_fetcher/package_fetcher_delegate_proxy.h"
#include "desktop/windows/installer/package_fetcher/package_fetcher_status.h"
#include "desktop/windows/installer/package_fetcher/package_folder_lock.h"
#include "desktop/windows/installer/package_fetcher/payload_reader.h"
#include "desktop/windows/installer/package_fetcher/seven_zip_archive_reader.h"
#include "desktop/windows/installer/service/prefs_task_pool_holder.h"
#include "desktop/windows/installer/service/signature_verification.h"
#include "desktop/windows/installer/stats_scope.h"
#include "desktop/windows/installer/wininet/cracked_url.h"
#include "desktop/windows/installer/wininet/downloader.h"
#include "desktop/windows/installer/wininet/file_response_writer.h"
#include "features/features.h"
#include "features/installer_features.h"

namespace installer {

namespace {

constexpr char kWelcomeUrlPref[] = "welcome-url";
constexpr wchar_t kAdditionalFileTempName[] = L"additional_file.tmp";
constexpr wchar_t kCompanionInstallerFileName[] = L"pomrel_installer.exe";
constexpr char kDownloadChunksKey[] = "download_chunks";
constexpr char kFileUrlPrefix[] = "file:///";

// Retry rule: failed attempts allowed while little was received and the
// server did not keep answering "no content".
constexpr int64_t kLargeTransfer = 0x400000;
constexpr int kMaxNoContent = 3;
constexpr int kMaxTries = 6;
constexpr int kMaxTriesAfterLargeTransfer = 3;
constexpr int kHttpNoContent = 204;
constexpr int kMaxAdditionalFileRetries = 3;

// A component's self-extracting archive gets this long to unpack.
constexpr DWORD kSfxTimeoutMs = 10 * 60 * 1000;

// Statistics keys.
constexpr char kFetchesKey[] = "fetches";
constexpr char kAdditionalFilesKey[] = "additional_files";
constexpr char kDownloadTriesKey[] = "download_tries";
constexpr char kFailureReasonKey[] = "failure_reason";

int ClampToInt(int64_t value) {
  return static_cast<int>(std::min<int64_t>(value, std::numeric_limits<int>::max()));
}

// The local path of a "file:///" URL.
base::FilePath LocalPathOfFileUrl(const std::string& location) {
  std::wstring path = base::UTF8ToWide(std::string_view(location).substr(
      std::min(location.size(), sizeof(kFileUrlPrefix) - 1)));
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return base::FilePath(path);
}

}  // namespace

PackageFetcherParams::PackageFetcherParams() = default;
PackageFetcherParams::PackageFetcherParams(PackageFetcherParams&&) = default;
PackageFetcherParams& PackageFetcherParams::operator=(PackageFetcherParams&&) = default;
PackageFetcherParams::~PackageFetcherParams() = default;

PackageFetcherCore::PackageFetcherCore(PackageFetcherParams params,
                                       PackageFetcherUIDelegate* ui_delegate,
                                       PackageFetcherObserver* observer)
    : proxy_(base::MakeRefCounted<PackageFetcherDelegateProxy>(ui_delegate, observer)),
      payload_reader_(params.payload_reader),
      package_folder_(params.package_folder),
      suite_folder_(params.suite_folder),
      downloader_(std::make_unique<Downloader>(proxy_.get(), proxy_.get())),
      root_scope_(std::move(params.root_scope)),
      architecture_(params.architecture),
      language_(std::move(params.language)),
      minimal_requested_(params.minimal) {
  try_folders_.reserve(kMaxTries);
}

PackageFetcherCore::~PackageFetcherCore() {
  LOG(INFO) << "Terminating the package fetcher";
  proxy_->Clear();
  if (downloader_->state() != Downloader::STATE_FAILED)
    downloader_->Stop();
  for (const base::FilePath& folder : try_folders_)
    base::DeletePathRecursively(folder);
  base::DeletePathRecursively(package_folder_);
  if (!suite_folder_.empty())
    base::DeletePathRecursively(suite_folder_);
  weak_factory_.InvalidateWeakPtrs();
  task_tracker_.reset();
  try_scope_.reset();
  file_scope_.reset();
  fetch_scope_.reset();
  root_scope_.reset();
  downloader_.reset();
}

void PackageFetcherCore::SetDownloadRetryDelay(base::TimeDelta delay) {
  downloader_->set_retry_delay(delay);
}

void PackageFetcherCore::SetDownloadStallLimits(base::TimeDelta window, int64_t floor) {
  downloader_->set_stall_window(window);
  downloader_->set_stall_floor(floor);
}

bool PackageFetcherCore::CanRetry() {
  base::AutoLock hold(lock_);
  if (byte_total_ < kLargeTransfer && no_content_count_ < kMaxNoContent)
    return try_count_ < kMaxTries;
  return try_count_ < kMaxTriesAfterLargeTransfer;
}

void PackageFetcherCore::Restart() {
  if (task_tracker_)
    task_tracker_->TryCancelAll();
  // Also the start of a retry still waiting for its time.
  weak_factory_.InvalidateWeakPtrs();
  downloader_->Stop();
  Start();
}

void PackageFetcherCore::StartAfter(base::TimeDelta delay) {
  base::SingleThreadTaskRunner::GetCurrentDefault()->PostDelayedTask(
      FROM_HERE_WITH_EXPLICIT_FUNCTION("Retry"),
      base::BindOnce(&PackageFetcherCore::Start, weak_factory_.GetWeakPtr()), delay);
}

void PackageFetcherCore::SetLanguage(const std::wstring& language) {
  language_ = language;
  Restart();
}

void PackageFetcherCore::PostToSelf(const base::Location& from_here, base::OnceClosure task) {
  task_tracker_->PostTask(base::SingleThreadTaskRunner::GetCurrentDefault().get(), from_here,
                          std::move(task));
}

base::FilePath PackageFetcherCore::PackageFile() const {
  return try_folder_.Append(kPackageFileName);
}

base::FilePath PackageFetcherCore::AdditionalFileTemp() const {
  return package_folder_.Append(kAdditionalFileTempName);
}

void PackageFetcherCore::Start() {
  if (!task_tracker_)
    task_tracker_ = std::make_unique<base::CancelableTaskTracker>();
  LOG(INFO) << "Starting the package fetcher";
  fetch_scope_ = root_scope_->AppendListEntry(kFetchesKey);
  int try_count;
  {
    base::AutoLock hold(lock_);
    try_count = try_count_;
  }
  fetch_scope_->SetInteger("try_number", try_count);
  fetch_scope_->SetTimeAndElapsed("start_time");
  proxy_->NotifyStatusChanged(STATUS_STARTED);
  // Nothing of an earlier attempt counts in this one.
  attempt_bytes_ = 0;
  last_http_status_ = 0;
  additional_list_ = base::Value::List();
  additional_cursor_ = 0;
  file_names_.clear();

  if (!try_folder_.empty() && !base::DeletePathRecursively(try_folder_))
    LOG(WARNING) << "Unable to delete " << try_folder_;
  if (!base::DeletePathRecursively(package_folder_)) {
    FinishWithReason("Unable to remove the package folder", STATUS_INITIALIZATION_FAILED);
    return;
  }
  try_folder_ = PackageFolderLock::TryFolder(package_folder_, try_count);
  if (!base::CreateDirectory(try_folder_)) {
    FinishWithReason("Could not create unpacking folder", STATUS_INITIALIZATION_FAILED);
    return;
  }
  if (std::find(try_folders_.begin(), try_folders_.end(), try_folder_) == try_folders_.end())
    try_folders_.push_back(try_folder_);

  if (payload_reader_->type() == PayloadType::full_package) {
    proxy_->NotifyStatusChanged(STATUS_UNPACKING);
    // The installer that carries the package stays beside it as the package
    // file, signature and all, as a downloaded package does: an elevated
    // installer takes the package from there, not from the unpacked files.
    // Its payload is unpacked where it lies in that file.
    if (!base::CopyFile(payload_reader_->path(), PackageFile())) {
      FinishWithReason("Could not write out 7z archive from full package",
                       STATUS_UNPACKING_FAILED);
      return;
    }
    PostToSelf(FROM_HERE_WITH_EXPLICIT_FUNCTION("Start"),
               base::BindOnce(&PackageFetcherCore::UnpackArchive, weak_factory_.GetWeakPtr(),
                              PackageFile(), payload_reader_->payload_offset()));
    return;
  }
  PostToSelf(FROM_HERE_WITH_EXPLICIT_FUNCTION("Start"),
             base::BindOnce(&PackageFetcherCore::FetchDownloadUrl, weak_factory_.GetWeakPtr()));
}

void PackageFetcherCore::FetchDownloadUrl() {
  LOG(INFO) << "Preparing to fetch the download URL";
  proxy_->NotifyStatusChanged(STATUS_FETCHING_DOWNLOAD_URL);
  downloader_->set_allowed_hosts(GetAllowedDownloadUrlHosts());
  DownloadUrlRequestOptions options;
  options.sfx_package = IsFeatureEnabled(kInstallerDownloadSfxPackageFeature);
  options.architecture = architecture_;
  options.minimal = minimal_requested_;
  options.language = language_;
  const std::wstring url =
      BuildDownloadUrlRequestUrl(*base::CommandLine::ForCurrentProcess(), options);
  LOG(INFO) << "Fetching the download URL";
  if (!StartDownloadUrlRequest(downloader_.get(), url, payload_reader_->GetPayloadData(),
                               &reply_text_, fetch_scope_->Clone(),
                               base::BindOnce(&PackageFetcherCore::OnDownloadUrlFetched,
                                              weak_factory_.GetWeakPtr()))) {
    Fail("Failed starting fetching the download URL");
  }
}

void PackageFetcherCore::CountDownload() {
  attempt_bytes_ += downloader_->bytes_received();
  last_http_status_ = downloader_->http_status();
}

void PackageFetcherCore::OnDownloadUrlFetched() {
  CountDownload();
  fetch_scope_->SetTimeAndElapsed("fetch_download_url_end_time");
  if (downloader_->state() != Downloader::STATE_COMPLETED) {
    Fail(base::StringPrintf("Failed fetching the download URL with state %d",
                            static_cast<int>(downloader_->state())));
    return;
  }
  proxy_->NotifyStatusChanged(STATUS_DOWNLOADING_PACKAGE);
  VLOG(1) << "Parsing the fetched URL";
  reply_ = DownloadUrlReply();
  std::string reason;
  if (!ParseDownloadUrlReply(reply_text_, !suite_folder_.empty(), minimal_requested_, &reply_,
                             &reason)) {
    FailJsonReply(reason);
    return;
  }
  additional_list_ = std::move(reply_.additional);
  additional_cursor_ = 0;
  minimal_used_ = reply_.minimal_used;
  fetch_scope_->SetString("download_url", reply_.package_url);
  root_scope_->SetString("download_url", reply_.package_url);
  LOG(INFO) << "Preparing to fetch the installer";
  StartPackageDownload(reply_.package_url, reply_.package_checksum);
}

void PackageFetcherCore::FailJsonReply(const std::string& reason) {
  const std::string text = "Failed parsing json reply: " + reason;
  LOG(ERROR) << text;
  fetch_scope_->SetString(kFailureReasonKey, text);
  fetch_scope_->SetString("corrupted_json_content", reply_text_);
  Finish(STATUS_DOWNLOAD_FAILED);
}

void PackageFetcherCore::StartPackageDownload(const std::string& url,
                                              const std::string& checksum) {
  auto writer = std::make_unique<FileResponseWriter>();
  if (!writer->Open(PackageFile())) {
    FinishWithReason("Failed initializing the file to use as download destination",
                     STATUS_DOWNLOAD_FAILED);
    return;
  }
  fetch_scope_->SetTimeAndElapsed("download_start_time");
  AddTestDownloadableResources();
  root_scope_->SetTime("installation_start_download_time");
  // The package and the additional files may come from any host.
  downloader_->set_allowed_hosts({});
  if (!downloader_->StartDownload(
          base::UTF8ToWide(url), std::string(),
          base::BindOnce(&PackageFetcherCore::ExtractArchive, weak_factory_.GetWeakPtr(),
                         checksum),
          std::move(writer),
          std::make_unique<DetailedDownloadStatsObserver>(fetch_scope_->Clone(),
                                                          kDownloadChunksKey))) {
    Fail("Failed starting downloading the Velto package");
  }
}

void PackageFetcherCore::ExtractArchive(const std::string& expected_checksum) {
  CountDownload();
  fetch_scope_->SetTimeAndElapsed("download_end_time");
  if (downloader_->state() != Downloader::STATE_COMPLETED) {
    Fail(base::StringPrintf("Failed downloading the Velto package with state %d",
                            static_cast<int>(downloader_->state())));
    return;
  }
  const base::FilePath package = PackageFile();
  base::Value::Dict details;
  if (!ChecksumChecker::Check(package, expected_checksum, &details)) {
    fetch_scope_->SetValue("error_details", base::Value(std::move(details)));
    FinishWithReason("Checksum incorrect for the downloaded package", STATUS_DOWNLOAD_FAILED);
    return;
  }
  if (!IsRunningExecutableUnsigned()) {
    std::string error;
    if (!VerifyFileSignature(package, &error)) {
      fetch_scope_->SetString("signature_check_error", error);
      FinishWithReason("Signature incorrect for the downloaded package", STATUS_DOWNLOAD_FAILED);
      return;
    }
  }
  const bool sfx_package = IsFeatureEnabled(kInstallerDownloadSfxPackageFeature);
  if (!sfx_package && !CheckDownloadedItemVersion(package, true, fetch_scope_.get())) {
    FinishWithReason("Downloaded package failed version check", STATUS_DOWNLOAD_FAILED);
    return;
  }
  fetch_scope_->SetTimeAndElapsed("extract_start_time");
  proxy_->NotifyStatusChanged(STATUS_UNPACKING);

  // A full package's archive is its payload, unpacked where it lies; a
  // self-extracting package is the archive itself, behind its program.
  uint64_t start = 0;
  if (!sfx_package) {
    PayloadReader package_reader(package);
    if (package_reader.type() != PayloadType::full_package) {
      FinishWithReason("Could not find 7z payload in full package", STATUS_DOWNLOAD_FAILED);
      return;
    }
    start = package_reader.payload_offset();
  }
  PostToSelf(FROM_HERE_WITH_EXPLICIT_FUNCTION("ExtractArchive"),
             base::BindOnce(&PackageFetcherCore::UnpackArchive, weak_factory_.GetWeakPtr(),
                            package, start));
}

void PackageFetcherCore::UnpackArchive(const base::FilePath& archive, uint64_t start) {
  LOG(INFO) << "Unpacking files from archive";
  fetch_scope_->SetTimeAndElapsed("unpack_start_time");
  root_scope_->SetTime("installation_start_unpacking_time");
  {
    SevenZipArchiveReader reader;
    const SevenZipOpenResult opened = reader.Open(archive, start);
    if (opened != SEVEN_ZIP_OPEN_OK) {
      FinishWithReason(base::StringPrintf("Archive opening failed with error %d", opened),
                       STATUS_UNPACKING_FAILED);
      return;
    }
    reader.set_observer(proxy_.get());
    const SevenZipExtractResult extracted = ExtractSevenZipArchive(&reader, try_folder_, nullptr);
    if (extracted != SEVEN_ZIP_OK) {
      FinishWithReason(
          base::StringPrintf("Archive unpacking failed failed with error %d", extracted),
          STATUS_UNPACKING_FAILED);
      return;
    }
  }
  if (payload_reader_->type() != PayloadType::full_package) {
    if (payload_reader_->type() == PayloadType::tracking_data ||
        payload_reader_->type() == PayloadType::external_tracking_data) {
      if (!payload_reader_->WriteToFile(try_folder_.Append(InstallationFolderDetailsImpl::kTrackingDataFileName)))
        LOG(WARNING) << "Failed saving tracking data to unpacked installer.";
    }
    if (IsFeatureEnabled(kInstallerDownloadSfxPackageFeature) &&
        !CheckDownloadedItemVersion(try_folder_.Append(kPackageInstallerName), true,
                                    fetch_scope_.get())) {
      FinishWithReason("Downloaded SFX package failed version check", STATUS_UNPACKING_FAILED);
      return;
    }
  }
  if (!base::Move(try_folder_, package_folder_)) {
    FinishWithReason("Cannot move the prepared package to the final destination",
                     STATUS_UNPACKING_FAILED);
    return;
  }
  PostToSelf(FROM_HERE_WITH_EXPLICIT_FUNCTION("UnpackArchive"),
             base::BindOnce(&PackageFetcherCore::OnArchiveUnpacked, weak_factory_.GetWeakPtr()));
}

void PackageFetcherCore::OnArchiveUnpacked() {
  fetch_scope_->SetTimeAndElapsed("unpack_end_time");
  root_scope_->SetTime("installation_unpack_complete_time");
  if (const base::Value::Dict* reply = reply_.value.GetIfDict()) {
    if (const std::string* welcome = reply->FindString(kWelcomeUrlKey)) {
      VLOG(1) << "Writing welcome page url pref";
      scoped_refptr<JsonPrefStore> store =
          GetPrefsTaskPool()->CreateJsonPrefStore(package_folder_.Append(kInstallerPrefsIncludeFileName));
      store->SetValue(kWelcomeUrlPref, base::Value(*welcome));
      // The back end may copy the package folder at once.
      store->CommitPendingWrite();
    }
  }
  if (additional_cursor_ < additional_list_.size()) {
    LOG(INFO) << "We have additional content";
    additional_file_retry_count_ = 0;
    file_scope_ = fetch_scope_->AppendListEntry(kAdditionalFilesKey);
    proxy_->NotifyStatusChanged(STATUS_DOWNLOADING_ADDITIONAL_FILES);
    DownloadAdditionalFile();
    return;
  }
  OnPackageReady();
}

void PackageFetcherCore::AddTestDownloadableResources() {
  const base::CommandLine& command_line = *base::CommandLine::ForCurrentProcess();
  if (!command_line.HasSwitch(kTestDownloadableResourcesDirSwitch))
    return;
  const base::FilePath folder = command_line.GetSwitchValuePath(kTestDownloadableResourcesDirSwitch);
  if (folder.empty())
    return;
  base::FileEnumerator files(folder, true, base::FileEnumerator::FILES);
  for (base::FilePath path = files.Next(); !path.empty(); path = files.Next()) {
    std::string contents;
    if (!base::ReadFileToString(path, &contents))
      continue;
    base::FilePath relative;
    if (!folder.AppendRelativePath(path, &relative))
      continue;
    std::string file_name = relative.AsUTF8Unsafe();
    if (!file_name.empty() && (file_name[0] == '\\' || file_name[0] == '/'))
      file_name.erase(0, 1);
    std::wstring location = path.value();
    std::replace(location.begin(), location.end(), L'\\', L'/');
    base::Value::Dict record;
    record.Set(kComponentChecksumKey, Sha256HexDigest(contents.data(), contents.size()));
    record.Set(kComponentFileNameKey, file_name);
    record.Set(kComponentLocationKey, kFileUrlPrefix + base::WideToUTF8(location));
    record.Set(kComponentTypeKey, kDownloadableResourceComponentType);
    record.Set(kComponentArchiveKey, 0);
    additional_list_.Append(std::move(record));
  }
}

void PackageFetcherCore::DownloadAdditionalFile() {
  LOG(INFO) << "Preparing to download an additional file";
  AdditionalFileRecord record;
  if (!ParseAdditionalFileRecord(additional_list_[additional_cursor_], &record)) {
    LOG(ERROR) << "Failed parsing additional file part of JSON reply";
    NextAdditionalFile();
    return;
  }
  if (!minimal_used_ && record.type == kDownloadableResourceComponentType) {
    NextAdditionalFile();
    return;
  }
  file_scope_->SetString("download_url", record.location);
  file_scope_->SetInteger("download_succeeded", 0);
  try_scope_ = file_scope_->AppendListEntry(kDownloadTriesKey);
  try_scope_->SetTimeAndElapsed("download_start_time");
  try_scope_->SetInteger("try_number", additional_file_retry_count_);

  const std::wstring url = base::UTF8ToWide(record.location);
  CrackedUrl cracked;
  if (!CrackUrl(url, &cracked)) {
    NextAdditionalFile();
    return;
  }
  const base::FilePath temp = AdditionalFileTemp();
  const base::CommandLine& command_line = *base::CommandLine::ForCurrentProcess();
  if (cracked.scheme == INTERNET_SCHEME_FILE &&
      command_line.HasSwitch(kTestDownloadableResourcesDirSwitch)) {
    const base::FilePath source = LocalPathOfFileUrl(record.location);
    const bool copied = base::CopyFile(source, temp);
    LOG(INFO) << "Copying test additional file " << source << " "
              << (copied ? "succeeded" : "failed");
    PostToSelf(FROM_HERE_WITH_EXPLICIT_FUNCTION("DownloadAdditionalFile"),
               base::BindOnce(&PackageFetcherCore::OnAdditionalFileDownloaded,
                              weak_factory_.GetWeakPtr(), record.file_name, record.archive,
                              record.checksum, record.type, true));
    return;
  }
  auto writer = std::make_unique<FileResponseWriter>();
  if (!writer->Open(temp)) {
    LOG(ERROR) << "Failed initializing the file to use as download destination";
    writer.reset();
    base::DeleteFile(temp);
    // The records left are not fetched; those kept so far are listed.
    additional_cursor_ = additional_list_.size();
    EndAdditionalFiles();
    return;
  }
  if (!downloader_->StartDownload(
          url, std::string(),
          base::BindOnce(&PackageFetcherCore::OnAdditionalFileDownloaded,
                         weak_factory_.GetWeakPtr(), record.file_name, record.archive,
                         record.checksum, record.type, false),
          std::move(writer),
          std::make_unique<ErrorDownloadStatsObserver>(try_scope_->Clone(), std::string()))) {
    LOG(ERROR) << "Failed downloading additional file";
    base::DeleteFile(temp);
    NextAdditionalFile();
  }
}

void PackageFetcherCore::OnAdditionalFileDownloaded(const std::string& file_name, bool archive,
                                                    const std::string& checksum,
                                                    const std::string& type, bool copied) {
  if (!copied)
    CountDownload();
  try_scope_->SetTimeAndElapsed("download_end_time");
  const base::FilePath temp = AdditionalFileTemp();
  if (!copied && (downloader_->state() != Downloader::STATE_COMPLETED ||
                  !ChecksumChecker::Check(temp, checksum, nullptr))) {
    LOG(ERROR) << "Failed downloading partner content";
    base::DeleteFile(temp);
    const int retries_before = additional_file_retry_count_++;
    if (retries_before < kMaxAdditionalFileRetries && !downloader_->has_retried()) {
      LOG(INFO) << "Retrying additional file download";
      DownloadAdditionalFile();
    } else {
      LOG(INFO) << "Giving up downloading this file";
      NextAdditionalFile();
    }
    return;
  }

  const bool to_package_folder =
      type == kPartnerContentComponentType ||
      base::StartsWith(type, kDownloadableResourceComponentType, base::CompareCase::SENSITIVE);
  const base::FilePath destination = to_package_folder ? package_folder_ : suite_folder_;
  if (archive) {
    const bool installed = InstallAdditionalComponent(destination, type);
    base::DeleteFile(temp);
    if (!installed) {
      NextAdditionalFile();
      return;
    }
  } else {
    std::wstring relative = base::UTF8ToWide(file_name);
    std::replace(relative.begin(), relative.end(), L'/', L'\\');
    const base::FilePath target = destination.Append(relative);
    base::CreateDirectory(target.DirName());
    if (!base::Move(temp, target)) {
      LOG(ERROR) << "Failed moving additional file into place";
      base::DeleteFile(temp);
      NextAdditionalFile();
      return;
    }
  }
  file_scope_->SetInteger("download_succeeded", 1);
  additional_file_retry_count_ = 0;
  // An archive record has no file name of its own to list.
  if (to_package_folder && !file_name.empty())
    file_names_.push_back(file_name);
  NextAdditionalFile();
}

bool PackageFetcherCore::InstallAdditionalComponent(const base::FilePath& destination,
                                                    const std::string& type) {
  const base::FilePath temp = AdditionalFileTemp();
  if (!IsRunningExecutableUnsigned() && !VerifyFileSignature(temp, nullptr))
    return false;
  if (!base::CreateDirectory(destination)) {
    LOG(ERROR) << "Could not create unpacking folder for additional file";
    return false;
  }
  const std::wstring wide_type = base::UTF8ToWide(type);
  const base::FilePath sfx = destination.Append(wide_type + L"_sfx.exe");
  if (!base::Move(temp, sfx)) {
    LOG(ERROR) << "Failed moving additional component SFX into place";
    return false;
  }
  base::Process process =
      base::LaunchProcess(base::CommandLine(sfx).GetCommandLineString(), base::LaunchOptions());
  if (!process.IsValid()) {
    LOG(ERROR) << "Failed starting SFX archive";
    return false;
  }
  int exit_code = -1;
  if (!process.WaitForExitWithTimeout(kSfxTimeoutMs, &exit_code)) {
    process.Terminate(1, true);
    exit_code = -1;
  }
  if (exit_code != 0) {
    LOG(ERROR) << "Failed extracting SFX archive";
    return false;
  }
  base::FilePath installer = destination.Append(wide_type + L"_installer.exe");
  if (type == kSuiteComponentType && !base::PathExists(installer))
    installer = destination.Append(kCompanionInstallerFileName);
  if (!CheckDownloadedItemVersion(installer, false, file_scope_.get())) {
    LOG(ERROR) << "Component version didn't pass check";
    return false;
  }
  return true;
}

void PackageFetcherCore::NextAdditionalFile() {
  ++additional_cursor_;
  if (additional_cursor_ >= additional_list_.size()) {
    EndAdditionalFiles();
    return;
  }
  additional_file_retry_count_ = 0;
  file_scope_ = fetch_scope_->AppendListEntry(kAdditionalFilesKey);
  PostToSelf(FROM_HERE_WITH_EXPLICIT_FUNCTION("NextAdditionalFile"),
             base::BindOnce(&PackageFetcherCore::DownloadAdditionalFile,
                            weak_factory_.GetWeakPtr()));
}

void PackageFetcherCore::EndAdditionalFiles() {
  const base::FilePath files_list = package_folder_.Append(kFilesListName);
  std::string listed;
  base::ReadFileToString(files_list, &listed);
  // The package's own last line may lack its line break.
  std::string list = listed.empty() || listed.back() == '\n' || listed.back() == '\r'
                         ? std::string()
                         : std::string("\r\n");
  for (const std::string& name : file_names_)
    list += name + "\r\n";
  list += "\r\n";
  base::AppendToFile(files_list, list);
  OnPackageReady();
}

void PackageFetcherCore::OnPackageReady() {
  int64_t total;
  {
    base::AutoLock hold(lock_);
    byte_total_ += attempt_bytes_;
    total = byte_total_;
  }
  fetch_scope_->SetTimeAndElapsed("package_ready_time");
  LOG(INFO) << "Package ready.";
  fetch_scope_->SetInteger("bytes_received", ClampToInt(attempt_bytes_));
  root_scope_->SetTime("package_ready_time");
  root_scope_->SetInteger("total_bytes_received", ClampToInt(total));
  fetch_scope_->SetString("result", PackageFetcherStatusName(STATUS_PACKAGE_READY));
  proxy_->NotifyStatusChanged(STATUS_PACKAGE_READY);
}

void PackageFetcherCore::Finish(PackageFetcherStatus status) {
  {
    base::AutoLock hold(lock_);
    ++try_count_;
    byte_total_ += attempt_bytes_;
    if (last_http_status_ == kHttpNoContent)
      ++no_content_count_;
    fetch_scope_->SetInteger("bytes_received", ClampToInt(attempt_bytes_));
    root_scope_->SetInteger("fetcher_restarts", try_count_);
    root_scope_->SetInteger("total_bytes_received", ClampToInt(byte_total_));
  }
  fetch_scope_->SetString("result", PackageFetcherStatusName(status));
  proxy_->NotifyStatusChanged(status);
}

void PackageFetcherCore::Fail(const std::string& reason) {
  const std::string text = reason + "\n" + downloader_->GetStateText();
  LOG(ERROR) << text;
  fetch_scope_->SetString(kFailureReasonKey, text);
  Finish(STATUS_DOWNLOAD_FAILED);
}

void PackageFetcherCore::FinishWithReason(const std::string& reason,
                                          PackageFetcherStatus status) {
  LOG(ERROR) << reason;
  fetch_scope_->SetString(kFailureReasonKey, reason);
  Finish(status);
}

}  // namespace installer
