#include "desktop/windows/installer/wininet/downloader.h"

#include <wininet.h>

#include <algorithm>
#include <utility>

#include "base/functional/bind.h"
#include "base/location.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/wininet/host_allow_list.h"
#include "desktop/windows/installer/wininet/package_fetcher_observer.h"
#include "desktop/windows/installer/wininet/package_fetcher_ui_delegate.h"
#include "desktop/windows/installer/wininet/wininet_termination_thread.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

// Whether anything of an answer (a status line, however garbled) came for
// |request|.
bool HasAnswer(HINTERNET request) {
  wchar_t headers[64] = {};
  DWORD size = sizeof(headers);
  if (HttpQueryInfoW(request, HTTP_QUERY_RAW_HEADERS_CRLF, headers, &size, nullptr))
    return size / sizeof(wchar_t) > 2;
  return ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

// The downloader whose read is under way on this thread, for status callbacks
// that WinINet makes during the read without the request's context.
thread_local Downloader* g_reading_downloader = nullptr;

class ScopedReadingDownloader {
 public:
  explicit ScopedReadingDownloader(Downloader* downloader) { g_reading_downloader = downloader; }
  ~ScopedReadingDownloader() { g_reading_downloader = nullptr; }
};

// Not named by every SDK.
constexpr DWORD kPermanentRedirectKeepVerb = 308;

bool IsConnectivityError(DWORD error) {
  switch (error) {
    case ERROR_INTERNET_TIMEOUT:                 // 12002
    case ERROR_INTERNET_NAME_NOT_RESOLVED:       // 12007
    case ERROR_INTERNET_CANNOT_CONNECT:          // 12029
    case ERROR_INTERNET_CONNECTION_ABORTED:      // 12030
    case ERROR_INTERNET_CONNECTION_RESET:        // 12031
    case ERROR_HTTP_INVALID_SERVER_RESPONSE:     // 12152
    // A read that timed out, as Wine's WinINet reports it.
    case WSAETIMEDOUT:                           // 10060
      return true;
    default:
      return false;
  }
}

bool IsReadInterruption(DWORD error) {
  return error == ERROR_INTERNET_TIMEOUT || error == WSAETIMEDOUT ||
         error == ERROR_INTERNET_NAME_NOT_RESOLVED || error == ERROR_INTERNET_CONNECTION_ABORTED ||
         error == ERROR_INTERNET_CONNECTION_RESET;
}

// Headers longer than this are taken as absent: no sound reply has them, and
// the reading must not grow without bound.
constexpr DWORD kMaxHeaderLength = 64 * 1024;

// Sets how long WinINet waits for a connection and for the next bytes of a
// reply (a stalled server otherwise holds a request for ever) on |handle|
// and the handles made from it.
void SetTimeouts(HINTERNET handle, base::TimeDelta timeout) {
  DWORD milliseconds = static_cast<DWORD>(timeout.InMilliseconds());
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    if (!InternetSetOptionW(handle, option, &milliseconds, sizeof(milliseconds)))
      PLOG(WARNING) << "Could not set the time-out option " << option;
  }
}

// The first byte of a "bytes first-last/total" Content-Range, and the total
// when one is given (else -1).
bool ParseContentRange(const std::wstring& value, int64_t* first, int64_t* total) {
  std::wstring_view text = base::TrimWhitespace(value, base::TRIM_ALL);
  constexpr std::wstring_view kUnit = L"bytes";
  if (!base::StartsWith(text, kUnit, base::CompareCase::INSENSITIVE_ASCII))
    return false;
  text.remove_prefix(kUnit.size());
  text = base::TrimWhitespace(text, base::TRIM_LEADING);
  size_t dash = text.find(L'-');
  size_t slash = text.find(L'/');
  if (dash == std::wstring_view::npos || slash == std::wstring_view::npos || slash < dash)
    return false;
  if (!base::StringToInt64(text.substr(0, dash), first))
    return false;
  std::wstring_view total_text = text.substr(slash + 1);
  if (total_text == L"*" || !base::StringToInt64(total_text, total))
    *total = -1;
  return true;
}

int ClampToInt(int64_t value) {
  return value > INT32_MAX ? INT32_MAX : static_cast<int>(value);
}

}  // namespace

struct Downloader::ReadBuffers : INTERNET_BUFFERSA {};

Downloader::Downloader(PackageFetcherUIDelegate* ui_delegate, PackageFetcherObserver* observer)
    : read_buffer_(kDefaultReadSize),
      read_buffers_(std::make_unique<ReadBuffers>()),
      termination_event_(base::WaitableEvent::ResetPolicy::MANUAL,
                         base::WaitableEvent::InitialState::NOT_SIGNALED),
      ui_delegate_(ui_delegate),
      observer_(observer) {
  CHECK(ui_delegate_) << "A downloader needs a UI delegate";
}

Downloader::~Downloader() {
  weak_factory_.InvalidateWeakPtrs();
  CloseSession();
  JoinTerminationThread();
}

void Downloader::set_read_size(size_t read_size) {
  read_buffer_.assign(read_size ? read_size : kDefaultReadSize, 0);
}

bool Downloader::StartDownload(const std::wstring& url,
                               std::string post_body,
                               base::OnceClosure completion,
                               std::unique_ptr<ResponseWriter> writer,
                               std::unique_ptr<DownloadStatsObserver> stats_observer) {
  CHECK(writer && stats_observer);
  LOG(INFO) << "Starting download from " << url;
  if (state() == STATE_REQUEST_SENT || state() == STATE_RECEIVING_DATA)
    Stop();
  // WinINet may still call back for the previous download; its writer and
  // observer must live until it has let go.
  JoinTerminationThread();
  // Only now: until WinINet let go, the previous download could add lines.
  {
    base::AutoLock hold(state_text_lock_);
    state_text_.clear();
  }

  writer_ = std::move(writer);
  stats_observer_ = std::move(stats_observer);
  {
    base::AutoLock hold(writer_lock_);
    writer_finished_ = false;
  }
  completion_ = std::move(completion);
  task_runner_ = base::SingleThreadTaskRunner::GetCurrentDefault();
  url_ = url;
  current_url_ = url;
  downloaded_size_ = 0;
  bytes_received_ = 0;
  requested_offset_ = 0;
  http_status_ = 0;
  retry_count_ = 0;
  has_retried_ = false;
  outcome_claimed_ = false;
  furthest_size_ = 0;
  // The first attempt is the first of the run of failed attempts that may
  // follow: its time counts, however long it waited before failing.
  retry_series_start_ = base::TimeTicks::Now();

  if (!CrackUrl(url_, &cracked_url_)) {
    AppendFailure(base::StringPrintf("Could not parse URL %s", base::WideToUTF8(url_).c_str()));
    return FailStart();
  }
  if (!IsHostAllowed(cracked_url_.host, allowed_hosts_)) {
    AppendFailure(base::StringPrintf("Domain disallowed %s", base::WideToUTF8(url_).c_str()));
    return FailStart();
  }

  weak_factory_.InvalidateWeakPtrs();
  weak_this_ = weak_factory_.GetWeakPtr();
  expected_size_ = 0;

  std::wstring user_agent = L"Velto NetInstaller/" + base::UTF8ToWide(GetVersion());
  session_ = InternetOpenW(user_agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                           INTERNET_FLAG_ASYNC);
  if (!session_) {
    AppendFailure(
        base::StringPrintf("InternetOpen failed for %s", base::WideToUTF8(user_agent).c_str()));
    return FailStart();
  }
  InternetSetStatusCallbackW(session_, &Downloader::InternetStatusCallback);
  SetTimeouts(session_, timeout_);

  post_body_ = std::move(post_body);
  send_body_ = true;
  extra_headers_.clear();
  redirects_ = 0;
  if (!ConnectTo(cracked_url_))
    return FailStart();

  stats_observer_->OnChunkStart(ClampToInt(downloaded_size_));
  // Set before sending: the reply may complete on another thread at once.
  SetState(STATE_REQUEST_SENT);
  if (!OpenRequest()) {
    LOG(ERROR) << "Could not send Request";
    return FailStart();
  }
  return true;
}

bool Downloader::FailStart() {
  // The download has ended here: its caller handles the failure, so nothing
  // WinINet reports later may decide another outcome or run the completion.
  ClaimOutcome();
  completion_.Reset();
  weak_factory_.InvalidateWeakPtrs();
  // The writer is the caller's no more: let go of its file at once.
  if (session_)
    CloseSession();
  else
    FinishWriter();
  SetState(STATE_FAILED);
  return false;
}

void Downloader::Stop() {
  LOG(INFO) << "Stopping the download";
  // What WinINet reports for the closed request is no outcome of anyone's.
  ClaimOutcome();
  weak_factory_.InvalidateWeakPtrs();
  CloseSession();
  JoinTerminationThread();
  SetState(STATE_STOPPED);
}

std::string Downloader::GetStateText() const {
  base::AutoLock hold(state_text_lock_);
  return state_text_;
}

void Downloader::SetState(State state) {
  state_ = state;
  VLOG(1) << "Downloader state: " << static_cast<int>(state);
}

void Downloader::AppendFailure(const std::string& text) {
  PLOG(ERROR) << text;
  base::AutoLock hold(state_text_lock_);
  state_text_ += text;
  state_text_ += "\n";
}

void Downloader::Fail(const std::string& text) {
  AppendFailure(text);
  if (ClaimOutcome())
    PostToLoop(base::BindOnce(&Downloader::DownloadFailed, weak_this_));
}

bool Downloader::ClaimOutcome() {
  return !outcome_claimed_.exchange(true);
}

void Downloader::PostToLoop(base::OnceClosure task, base::TimeDelta delay) {
  task_runner_->PostDelayedTask(FROM_HERE, std::move(task), delay);
}

void Downloader::PostProgress(void (PackageFetcherObserver::*report)(int), int64_t value) {
  if (!observer_)
    return;
  PostToLoop(base::BindOnce(
      [](base::WeakPtr<Downloader> self, PackageFetcherObserver* observer,
         void (PackageFetcherObserver::*report)(int), int value) {
        if (self)
          (observer->*report)(value);
      },
      weak_this_, observer_, report, ClampToInt(value)));
}

bool Downloader::ConnectTo(const CrackedUrl& url) {
  HINTERNET old_connection;
  {
    base::AutoLock hold(handles_lock_);
    if (connection_ && connected_host_ == url.host && connected_port_ == url.port)
      return true;
    old_connection = std::exchange(connection_, nullptr);
  }
  if (old_connection) {
    // A redirect to another server: the old connection reports nothing more
    // (the termination thread waits for the current one only).
    InternetSetStatusCallbackW(old_connection, nullptr);
    InternetCloseHandle(old_connection);
  }
  HINTERNET connection =
      InternetConnectW(session_, url.host.c_str(), url.port, nullptr, nullptr,
                       INTERNET_SERVICE_HTTP, 0, reinterpret_cast<DWORD_PTR>(this));
  if (!connection) {
    AppendFailure(base::StringPrintf("InternetConnect failed for %s:%d",
                                     base::WideToUTF8(url.host).c_str(), url.port));
    return false;
  }
  base::AutoLock hold(handles_lock_);
  connection_ = connection;
  connected_host_ = url.host;
  connected_port_ = url.port;
  return true;
}

bool Downloader::OpenRequest() {
  VLOG(1) << "Opening internet request";
  const bool is_get = !send_body_ || post_body_.empty();
  // Redirects are followed here, not by WinINet, which would send the next
  // request before the allow-list could refuse it (and drop a POST's body).
  // Nothing goes into the user's Internet cache: the writer's file is the
  // only copy, and it goes with the installer's folders (a package a run
  // refused must not stay behind on the machine).
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_AUTO_REDIRECT |
                INTERNET_FLAG_NO_CACHE_WRITE;
  if (cracked_url_.scheme == INTERNET_SCHEME_HTTPS)
    flags |= INTERNET_FLAG_SECURE;
  HINTERNET connection;
  {
    base::AutoLock hold(handles_lock_);
    connection = connection_;
  }
  // WinINet reports the new handle to the status callback from inside the
  // call: no lock may be held across it.
  HINTERNET request = connection ? HttpOpenRequestW(connection, is_get ? L"GET" : L"POST",
                                                    cracked_url_.path.c_str(), L"HTTP/1.1",
                                                    nullptr, nullptr, flags,
                                                    reinterpret_cast<DWORD_PTR>(this))
                                 : nullptr;
  {
    base::AutoLock hold(handles_lock_);
    request_ = request;
  }
  // Also on the request: some WinINet versions read the time-outs of the
  // request handle only.
  if (request)
    SetTimeouts(request, timeout_);
  const std::string request_text = base::StringPrintf(
      "%s:%d%s, scheme %d, payload empty %d", base::WideToUTF8(cracked_url_.host).c_str(),
      cracked_url_.port, base::WideToUTF8(cracked_url_.path).c_str(), cracked_url_.scheme,
      is_get ? 1 : 0);
  if (!request) {
    AppendFailure("HttpOpenRequest failed for " + request_text);
    return false;
  }
  VLOG(1) << (is_get ? "Sending GET request" : "Sending POST request");
  // Nothing of an earlier reply is in the buffer: it was written out before
  // this request was made.
  buffered_ = 0;
  BOOL sent = HttpSendRequestW(
      request, extra_headers_.empty() ? nullptr : extra_headers_.c_str(),
      extra_headers_.empty() ? 0 : static_cast<DWORD>(-1), is_get ? nullptr : post_body_.data(),
      is_get ? 0 : static_cast<DWORD>(post_body_.size()));
  if (!sent && GetLastError() != ERROR_IO_PENDING) {
    AppendFailure("HttpSendRequest failed for " + request_text);
    return false;
  }
  return true;
}

// static
void CALLBACK Downloader::InternetStatusCallback(InternetHandle handle,
                                                 DWORD_PTR context,
                                                 DWORD status,
                                                 LPVOID information,
                                                 DWORD information_length) {
  Downloader* downloader = reinterpret_cast<Downloader*>(context);
  if (!downloader) {
    downloader = g_reading_downloader;
    if (!downloader)
      return;
    downloader->stats_observer_->OnNullRequestContext();
  }
  VLOG(2) << "InternetStatusCallback called with code " << status;
  switch (status) {
    case INTERNET_STATUS_CONNECTED_TO_SERVER:
      if (information)
        downloader->stats_observer_->OnServerAddress(static_cast<const char*>(information));
      break;
    case INTERNET_STATUS_HANDLE_CLOSING:
      downloader->OnHandleClosing(handle);
      break;
    case INTERNET_STATUS_REQUEST_COMPLETE:
      downloader->OnRequestComplete(
          information ? static_cast<INTERNET_ASYNC_RESULT*>(information)->dwError
                      : ERROR_INTERNET_INTERNAL_ERROR);
      break;
    default:
      break;
  }
}

void Downloader::OnHandleClosing(InternetHandle handle) {
  base::WaitableEvent* closed = nullptr;
  {
    base::AutoLock hold(handles_lock_);
    if (!handle)
      return;
    if (handle == closing_request_) {
      closing_request_ = nullptr;
      closed = &request_closed_;
    } else if (handle == closing_connection_) {
      VLOG(1) << "Wininet request cancelled. unregistering the callback.";
      InternetSetStatusCallbackW(handle, nullptr);
      closing_connection_ = nullptr;
      closed = &termination_event_;
    } else {
      return;
    }
  }
  // Once the event is set the downloader may go on, and be destroyed, at any
  // moment: the event is the last of it this WinINet thread touches.
  closed->Signal();
}

void Downloader::OnRequestComplete(DWORD error) {
  stats_observer_->OnWinInetError(static_cast<int>(error));
  // A download whose outcome is decided (failed, refused redirect) takes no
  // further step, whatever WinINet reports for its closed request.
  if (outcome_claimed_)
    return;
  if (error == ERROR_SUCCESS) {
    VLOG(2) << "Handling request completion";
    if (state() == STATE_REQUEST_SENT) {
      if (HandleInitialCompletion())
        HandleCompletionInProgress();
    } else if (state() == STATE_RECEIVING_DATA) {
      HandleCompletionInProgress();
    }
    return;
  }
  if (state() == STATE_RECEIVING_DATA) {
    // A read that waited and failed: what arrived before it is kept, so that
    // the resume asks for the bytes after it.
    if (!WriteBuffered())
      return;
  }
  RetryOrFail(error, IsConnectivityError(error),
              "Request completed with an error indicating connectivity issues: ",
              "Request completed with an unexpected error: %lu");
}

void Downloader::RetryOrFail(DWORD error,
                             bool transient,
                             const char* transient_text,
                             const char* failure_format) {
  if (transient) {
    LOG(WARNING) << transient_text << error;
    CheckRetriesAndResume(static_cast<int>(error));
    return;
  }
  Fail(base::StringPrintf(failure_format, error));
}

void Downloader::HandleRedirect(int status) {
  VLOG(1) << "Redirect occured";
  std::wstring location = QueryHeader(L"Location");
  // Relative to the address that answered.
  std::wstring url = ResolveUrl(current_url_, location);
  stats_observer_->OnRedirect(url);
  CrackedUrl cracked;
  const bool parsed = CrackUrl(url, &cracked);
  if (!parsed || !IsHostAllowed(cracked.host, allowed_hosts_)) {
    Fail(base::StringPrintf(
        parsed ? "Redirect URL is disallowed %s" : "Redirect URL failed to parse %s",
        base::WideToUTF8(url.empty() ? location : url).c_str()));
    return;
  }
  if (++redirects_ > kMaxRedirects) {
    Fail(base::StringPrintf("Too many redirects, the last to %s", base::WideToUTF8(url).c_str()));
    return;
  }
  // 303 asks for the new address with GET; the others repeat the request.
  const bool keep_body = status != HTTP_STATUS_REDIRECT_METHOD;
  PostToLoop(base::BindOnce(&Downloader::FollowRedirect, weak_this_, url, keep_body));
}

void Downloader::FollowRedirect(const std::wstring& url, bool keep_body) {
  CloseRequest();
  if (!keep_body)
    send_body_ = false;
  CrackUrl(url, &cracked_url_);
  current_url_ = url;
  SetState(STATE_REQUEST_SENT);
  if (!ConnectTo(cracked_url_) || !OpenRequest()) {
    LOG(ERROR) << "Could not follow the redirect";
    if (ClaimOutcome())
      DownloadFailed();
  }
}

bool Downloader::HandleInitialCompletion() {
  LOG(INFO) << "Initial request completion";
  HINTERNET request;
  {
    base::AutoLock hold(handles_lock_);
    request = request_;
  }
  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!request || !HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                                  &status, &size, nullptr)) {
    // Nothing else would end the download: fail it rather than wait forever.
    Fail("Could not obtain HTTP response code");
    return false;
  }
  http_status_ = static_cast<int>(status);
  stats_observer_->OnHttpStatus(static_cast<int>(status));
  for (const wchar_t* name : {L"Date", L"Server", L"X-Served-By", L"Content-Length"})
    stats_observer_->OnResponseHeader(name, QueryHeader(name));

  if (status == HTTP_STATUS_MOVED || status == HTTP_STATUS_REDIRECT ||
      status == HTTP_STATUS_REDIRECT_METHOD || status == HTTP_STATUS_REDIRECT_KEEP_VERB ||
      status == kPermanentRedirectKeepVerb) {
    HandleRedirect(static_cast<int>(status));
    return false;
  }
  if (status == HTTP_STATUS_OK) {
    if (requested_offset_ > 0) {
      // The server ignored the Range: the reply is the whole body again.
      LOG(WARNING) << "Server answered a range request with the whole file; starting over";
      bool rewound;
      {
        base::AutoLock hold(writer_lock_);
        rewound = !writer_finished_ && writer_->Rewind();
      }
      if (!rewound) {
        Fail(base::StringPrintf("Failed writing the response with error %lu",
                                writer_->last_error()));
        return false;
      }
      downloaded_size_ = 0;
      requested_offset_ = 0;
    }
    expected_size_ = 0;
    DWORD length = 0;
    DWORD length_size = sizeof(length);
    if (HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length,
                       &length_size, nullptr)) {
      expected_size_ = length;
      VLOG(1) << "Expected total size: " << expected_size_;
    } else {
      PLOG(INFO) << "Could not get Content-Length from response";
    }
    PostProgress(&PackageFetcherObserver::SetTotalProgress, expected_size_);
  }
  if (status == HTTP_STATUS_PARTIAL_CONTENT && !ContinuesWhereAsked())
    return false;
  if (status == HTTP_STATUS_OK || status == HTTP_STATUS_PARTIAL_CONTENT) {
    pace_.Start(base::TimeTicks::Now(), bytes_received_);
    SetState(STATE_RECEIVING_DATA);
    return true;
  }
  if (status == HTTP_STATUS_PROXY_AUTH_REQ) {
    LOG(WARNING) << "Request completed with a proxy authentication request";
    stats_observer_->OnProxyLoginNeeded();
    ui_delegate_->RunUICallbackAndPostReply(
        base::BindOnce(
            [](HINTERNET request, HWND parent) -> DWORD {
              return InternetErrorDlg(parent, request, ERROR_INTERNET_INCORRECT_PASSWORD,
                                      FLAGS_ERROR_UI_FILTER_FOR_ERRORS |
                                          FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                                          FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
                                      nullptr);
            },
            request),
        task_runner_, base::BindOnce(&Downloader::ProxyLoginResult, weak_this_));
    return false;
  }
  if (status == HTTP_STATUS_BAD_GATEWAY || status == HTTP_STATUS_SERVICE_UNAVAIL ||
      status == HTTP_STATUS_GATEWAY_TIMEOUT) {
    LOG(WARNING) << "Download failed with " << status << " error";
    CheckRetriesAndResume(static_cast<int>(status));
    return false;
  }
  // A status of 0 is also what WinINet gives when no answer came at all: the
  // server ended the connection after the request.
  if (status == 0 && !HasAnswer(request)) {
    Fail("Request completed without an answer: the connection was reset");
    return false;
  }
  Fail(base::StringPrintf("Request completed with an unexpected HTTP status %lu", status));
  return false;
}

bool Downloader::ContinuesWhereAsked() {
  int64_t first = 0;
  int64_t total = -1;
  std::wstring range = QueryHeader(L"Content-Range");
  if (!ParseContentRange(range, &first, &total) || first != downloaded_size_) {
    Fail(base::StringPrintf("Partial content starts elsewhere than asked (%lld): %s",
                            static_cast<long long>(downloaded_size_.load()),
                            base::WideToUTF8(range).c_str()));
    return false;
  }
  if (expected_size_ == 0 && total > 0) {
    expected_size_ = total;
    PostProgress(&PackageFetcherObserver::SetTotalProgress, expected_size_);
  }
  return true;
}

std::wstring Downloader::QueryHeader(const wchar_t* name) {
  HINTERNET request;
  {
    base::AutoLock hold(handles_lock_);
    request = request_;
  }
  if (!request)
    return std::wstring();
  // HTTP_QUERY_CUSTOM takes the name in the buffer and gives the value back
  // in it.
  std::wstring buffer(std::max<size_t>(1024, wcslen(name) + 1), L'\0');
  while (true) {
    wcscpy(buffer.data(), name);
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (HttpQueryInfoW(request, HTTP_QUERY_CUSTOM, buffer.data(), &size, nullptr)) {
      buffer.resize(size / sizeof(wchar_t));
      return buffer;
    }
    // |size| is the length needed, in bytes.
    const DWORD needed = size / sizeof(wchar_t) + 1;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= buffer.size())
      return std::wstring();
    if (needed > kMaxHeaderLength) {
      LOG(WARNING) << "Header " << base::WideToUTF8(name) << " of " << needed
                   << " characters taken as absent";
      return std::wstring();
    }
    buffer.assign(needed, L'\0');
  }
}

void Downloader::HandleCompletionInProgress() {
  HINTERNET request;
  {
    base::AutoLock hold(handles_lock_);
    request = request_;
  }
  INTERNET_BUFFERSA& buffers = *read_buffers_;
  bool end_of_data = false;
  while (!end_of_data) {
    VLOG(2) << "Additional data downloaded";
    if (buffered_ == read_buffer_.size() && !WriteBuffered())
      return;
    // Only what has arrived is read, never more: a read that waits for the
    // rest of its block holds the bytes it already has until it ends, and a
    // server that stalls meanwhile takes them with it. A read that does not
    // wait returns what there is; when there is nothing yet it completes
    // later, once some has come, without bringing it: the next read does
    // (so a completion here never carries bytes of its own).
    buffers = {};
    buffers.dwStructSize = sizeof(buffers);
    buffers.lpvBuffer = read_buffer_.data() + buffered_;
    buffers.dwBufferLength = static_cast<DWORD>(read_buffer_.size() - buffered_);
    BOOL read;
    {
      ScopedReadingDownloader reading(this);
      read = request && InternetReadFileExA(request, &buffers, IRF_ASYNC | IRF_NO_WAIT,
                                            reinterpret_cast<DWORD_PTR>(this));
    }
    if (!read) {
      HandleReadCallFailure(request ? GetLastError() : ERROR_INVALID_HANDLE);
      return;
    }
    bytes_received_ += buffers.dwBufferLength;
    buffered_ += buffers.dwBufferLength;
    end_of_data = buffers.dwBufferLength == 0;
    if (!end_of_data && IsDripping()) {
      // As a reply that stopped: what came is kept, the resume asks for the
      // rest.
      if (!WriteBuffered())
        return;
      CheckRetriesAndResume(ERROR_INTERNET_TIMEOUT);
      return;
    }
  }
  if (!WriteBuffered())
    return;

  LOG(INFO) << "Done reading from Internet";
  if (downloaded_size_ < expected_size_) {
    LOG(WARNING) << "Download completed, but we are below response size";
    CheckRetriesAndResume(ERROR_INTERNET_CONNECTION_ABORTED);
    return;
  }
  if (downloaded_size_ != expected_size_) {
    stats_observer_->OnResponseTooLong(ClampToInt(downloaded_size_ - expected_size_),
                                       ClampToInt(expected_size_));
  }
  if (ClaimOutcome())
    PostToLoop(base::BindOnce(&Downloader::DownloadCompleted, weak_this_));
}

bool Downloader::IsDripping() {
  // The last bytes of a reply may come late; a resume would ask for nothing.
  if (expected_size_ > 0 && downloaded_size_ + static_cast<int64_t>(buffered_) >= expected_size_)
    return false;
  const base::TimeTicks now = base::TimeTicks::Now();
  if (!pace_.Record(now, bytes_received_)) {
    LOG(WARNING) << "Download stalled: less than " << pace_.floor() << " bytes in "
                 << pace_.window().InSeconds() << " seconds";
    return true;
  }
  // A reply that has not yet brought the floor is one more failed attempt of
  // the run it follows: once the run has had its time, it ends with it, not
  // a window later.
  if (!pace_.kept_up() && retry_count_ > 0 && now - retry_series_start_ >= RetrySeriesLimit()) {
    LOG(WARNING) << "Download stalled: less than " << pace_.floor()
                 << " bytes since the time for retries ran out";
    return true;
  }
  return false;
}

void Downloader::HandleReadCallFailure(DWORD error) {
  if (error == ERROR_IO_PENDING) {
    // The request-complete status that follows carries on.
    VLOG(2) << "More data pending";
    return;
  }
  // The request was closed under the call: the download was stopped or has
  // ended.
  if (error == ERROR_INVALID_HANDLE || error == ERROR_INTERNET_OPERATION_CANCELLED)
    return;
  // What arrived before the interruption is kept: the resume asks for the
  // bytes after it.
  if (!WriteBuffered())
    return;
  RetryOrFail(error, IsReadInterruption(error), "Download interrupted by loss of connectivity: ",
              "Download interrupted for unknown reason: %lu");
}

bool Downloader::WriteBuffered() {
  if (buffered_ == 0)
    return true;
  bool written;
  {
    base::AutoLock hold(writer_lock_);
    written = !writer_finished_ && writer_->Write(read_buffer_.data(),
                                                  static_cast<uint32_t>(buffered_));
  }
  if (!written) {
    Fail(base::StringPrintf("Failed writing the response with error %lu", writer_->last_error()));
    return false;
  }
  downloaded_size_ += buffered_;
  buffered_ = 0;
  if (downloaded_size_ > furthest_size_) {
    // Bytes never had before end the run of failed attempts when their reply
    // keeps up the stall floor's pace (the next run is timed from here on);
    // a reply that only delivers again what earlier ones did, or that drips,
    // keeps counting.
    furthest_size_ = downloaded_size_;
    if (pace_.kept_up()) {
      retry_count_ = 0;
      retry_series_start_ = base::TimeTicks::Now();
    }
  }
  VLOG(2) << "Downloaded size: " << downloaded_size_;
  PostProgress(&PackageFetcherObserver::SetCurrentProgress, downloaded_size_);
  return true;
}

void Downloader::CheckRetriesAndResume(int last_error) {
  if (retry_count_ > 1 && observer_)
    observer_->NotifyStalled(last_error);
  const base::TimeDelta spent = base::TimeTicks::Now() - retry_series_start_;
  // The run's first failure is always retried (the count allowing): with a
  // few retries allowed the limit is shorter than one attempt that waits out
  // the time-out, and a slow first failure would leave none of them.
  const bool out_of_time = retry_count_ > 0 && spent >= RetrySeriesLimit();
  if (retry_count_ > max_retries_ || out_of_time) {
    LOG(ERROR) << "Giving up the download from " << base::WideToUTF8(url_) << " after "
               << retry_count_ << " retries in " << spent.InSeconds()
               << " seconds without getting further, last error: " << last_error;
    Fail(retry_count_ > max_retries_
             ? base::StringPrintf("Number of retries exceeded, last error: %d", last_error)
             : base::StringPrintf("Time for retries exceeded after %d retries in %d seconds, "
                                  "last error: %d",
                                  retry_count_, static_cast<int>(spent.InSeconds()),
                                  last_error));
    return;
  }
  LOG(INFO) << "Retrying " << retry_count_ << " of " << max_retries_;
  ++retry_count_;
  has_retried_ = true;
  PostToLoop(base::BindOnce(&Downloader::Resume, weak_this_), retry_delay_);
}

base::TimeDelta Downloader::RetrySeriesLimit() const {
  // Attempts that each wait out a time-out must not stretch the series to
  // many times what the retries of a refused connection take; those still
  // meet the count first (each failure comes a little after its delay).
  if (retry_time_limit_)
    return *retry_time_limit_;
  return retry_delay_ * (static_cast<int64_t>(max_retries_) + 1);
}

void Downloader::Resume() {
  stats_observer_->OnChunkEnd(ClampToInt(downloaded_size_));
  CloseRequest();
  LOG(INFO) << "Attempting download resume";
  requested_offset_ = downloaded_size_;
  extra_headers_.clear();
  if (requested_offset_ > 0)
    extra_headers_ = L"Range: bytes=" + base::NumberToWString(requested_offset_) + L"-";
  // From the first address again, redirects and all.
  send_body_ = true;
  redirects_ = 0;
  current_url_ = url_;
  if (!CrackUrl(url_, &cracked_url_)) {
    AppendFailure(
        base::StringPrintf("Cannot parse URL on resume %s", base::WideToUTF8(url_).c_str()));
    if (ClaimOutcome())
      DownloadFailed();
    return;
  }
  if (retry_count_ <= 1)
    stats_observer_->OnChunkEnd(ClampToInt(downloaded_size_));
  // A resume that no failure asked for (the user answered the proxy's
  // prompt) starts the run's time: the prompt's wait is no attempt's.
  if (retry_count_ == 0)
    retry_series_start_ = base::TimeTicks::Now();
  stats_observer_->OnRetry(retry_count_);
  SetState(STATE_REQUEST_SENT);
  if (!ConnectTo(cracked_url_) || !OpenRequest()) {
    LOG(ERROR) << "Could not resume downloading";
    if (ClaimOutcome())
      DownloadFailed();
  }
}

void Downloader::ProxyLoginResult(DWORD result) {
  stats_observer_->OnProxyLoginResult(static_cast<int>(result));
  if (result == ERROR_INTERNET_FORCE_RETRY) {
    LOG(INFO) << "Logged in to proxy - resuming download";
    Resume();
    return;
  }
  AppendFailure(result == ERROR_SUCCESS || result == ERROR_CANCELLED
                    ? "The user cancelled the prompt for proxy credentials"
                    : "Failed to obtain credentials for proxy");
  if (ClaimOutcome())
    DownloadFailed();
}

void Downloader::DownloadCompleted() {
  retry_count_ = 0;
  CloseSession();
  LOG(INFO) << "Download completed";
  SetState(STATE_COMPLETED);
  if (completion_)
    std::move(completion_).Run();
}

void Downloader::DownloadFailed() {
  LOG(ERROR) << "Download failed";
  CloseSession();
  SetState(STATE_FAILED);
  if (completion_)
    std::move(completion_).Run();
}

void Downloader::FinishWriter() {
  base::AutoLock hold(writer_lock_);
  if (writer_ && !writer_finished_)
    writer_->Finish();
  writer_finished_ = true;
}

void Downloader::CloseRequest() {
  HINTERNET request;
  {
    base::AutoLock hold(handles_lock_);
    request = std::exchange(request_, nullptr);
    if (request) {
      closing_request_ = request;
      request_closed_.Reset();
    }
  }
  if (!request)
    return;
  InternetCloseHandle(request);
  // WinINet may still be finishing, on its own thread, the call whose
  // completion led here; the request goes when that ends, and taking it off
  // its connection's list of requests there is not guarded against another
  // thread opening a request on the connection, or closing the connection, at
  // the same moment (Wine's WinINet lists them without a lock; a list broken
  // that way can leave closing the connection, or waiting for it to close,
  // without an end). So nothing touches the connection before WinINet has
  // said the request is gone.
  request_closed_.Wait();
}

void Downloader::CloseSession() {
  VLOG(1) << "Closing download session";
  if (stats_observer_)
    stats_observer_->OnChunkEnd(ClampToInt(downloaded_size_));
  FinishWriter();
  CloseRequest();
  HINTERNET connection;
  {
    base::AutoLock hold(handles_lock_);
    connection = std::exchange(connection_, nullptr);
    if (connection)
      closing_connection_ = connection;
    connected_host_.clear();
  }
  if (connection) {
    InternetCloseHandle(connection);
    termination_thread_ = std::make_unique<WininetTerminationThread>(&termination_event_, &session_);
    if (!termination_thread_->Start())
      termination_thread_.reset();
    return;
  }
  if (!termination_thread_ && session_) {
    InternetCloseHandle(session_);
    session_ = nullptr;
  }
}

void Downloader::JoinTerminationThread() {
  if (!termination_thread_)
    return;
  VLOG(1) << "Waiting for previous WinINET invocation to terminate.";
  termination_thread_->Join();
  termination_thread_.reset();
}

}  // namespace installer
