// Downloader: one HTTP or HTTPS request at a time through WinINet in
// asynchronous mode, either a GET whose reply streams into a ResponseWriter
// or a POST of a byte string. Built for unreliable networks: connectivity
// errors and gateway errors (502, 503, 504) are retried after a delay, and a
// transfer that breaks off is resumed with a Range request from the byte
// reached, bytes that arrived before the break included. A server that takes
// longer than the time-out to accept, to answer or to send the next bytes has
// broken off too, and so has a reply that drips: one that brings less than
// the stall floor of bytes within the stall window (see TransferPace). Every
// retry and resume is counted against the maximum and waits the retry delay;
// a run of failed attempts (one that gets no further into the reply at a pace
// worth waiting for) also ends once it has taken as long as the maximum
// number of retries of an at once refused connection would, however long each
// attempt waited, its first attempt's wait included: the run is timed from
// the start of the download, or from the moment the download last got
// further (a dripping reply of the run ends it as soon as a byte comes after
// that). A reply to a Range request that does not continue where
// asked is not appended: a 200 starts the download over (the writer is
// rewound), a 206 starting elsewhere fails it.
//
// Requests go only to hosts of the allow-list (see host_allow_list.h), also
// after redirects, which the downloader follows itself (at most
// kMaxRedirects in a row; a POST keeps its body except after a 303): a
// refused redirect fails the download before anything is sent to its target. A proxy asking for
// credentials is answered through the front end's UI delegate.
//
// Threads: StartDownload, Stop and destruction happen on one thread with a
// message loop (the starting loop). WinINet calls back on its own threads;
// the reply is read and written there, and the outcomes (completion, failure,
// resume, progress) are posted to the starting loop, bound to weak pointers
// that Stop invalidates. The completion callback runs once per download that
// ends (completed or failed), never after Stop. A request is closed before
// anything else is done with its connection, and the downloader waits until
// WinINet has let go of it (WinINet may be ending the request's last call on
// its own thread). A "Wininet Termination" thread closes the session once
// WinINet has let go of the connection, so that no callback reaches a freed
// downloader.

#ifndef DESKTOP_WINDOWS_INSTALLER_WININET_DOWNLOADER_H_
#define DESKTOP_WINDOWS_INSTALLER_WININET_DOWNLOADER_H_

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/functional/callback.h"
#include "base/memory/weak_ptr.h"
#include "base/synchronization/lock.h"
#include "base/synchronization/waitable_event.h"
#include "base/task/single_thread_task_runner.h"
#include "base/time/time.h"
#include "desktop/windows/installer/wininet/cracked_url.h"
#include "desktop/windows/installer/wininet/download_stats_observer.h"
#include "desktop/windows/installer/wininet/response_writer.h"
#include "desktop/windows/installer/wininet/transfer_pace.h"

namespace installer {

class PackageFetcherObserver;
class PackageFetcherUIDelegate;
class WininetTerminationThread;

// WinINet's HINTERNET, without its header (it cannot share a translation
// unit with WinHTTP's).
using InternetHandle = void*;

class Downloader {
 public:
  enum State {
    STATE_IDLE = 0,
    STATE_REQUEST_SENT = 1,
    STATE_RECEIVING_DATA = 2,
    STATE_STOPPED = 3,
    STATE_FAILED = 4,
    STATE_COMPLETED = 5,
  };

  static constexpr int kDefaultMaxRetries = 600;
  static constexpr base::TimeDelta kDefaultRetryDelay = base::TimeDelta::FromSeconds(6);
  // Bytes gathered from the reply before they are written and the progress
  // is posted. With 1 KiB blocks that posting and WinINet's per-call cost
  // made a loopback download about 13 times slower than with these
  // (bench/run.sh).
  static constexpr size_t kDefaultReadSize = 256 * 1024;
  // Redirects followed in a row before a request fails.
  static constexpr int kMaxRedirects = 10;
  // The longest wait for a connection, or for the next bytes of a reply,
  // before the request counts as broken and is retried.
  static constexpr base::TimeDelta kDefaultTimeout = base::TimeDelta::FromSeconds(30);
  // A reply that brings fewer bytes than the floor within the window has
  // stalled: a byte now and then keeps each read inside the time-out, yet
  // would hold an install for months.
  static constexpr base::TimeDelta kDefaultStallWindow = base::TimeDelta::FromMinutes(5);
  static constexpr int64_t kDefaultStallFloor = 1024;

  // |ui_delegate| is required and must outlive the downloader; |observer|
  // (progress and stalls) may be null.
  Downloader(PackageFetcherUIDelegate* ui_delegate, PackageFetcherObserver* observer);
  Downloader(const Downloader&) = delete;
  Downloader& operator=(const Downloader&) = delete;
  ~Downloader();

  // Starts a GET of |url| (a POST of |post_body| when it is not empty). True
  // when the request was sent; |completion| then runs on this thread when the
  // download ends. False when it could not start: the reason is in the state
  // text and |completion| does not run.
  bool StartDownload(const std::wstring& url,
                     std::string post_body,
                     base::OnceClosure completion,
                     std::unique_ptr<ResponseWriter> writer,
                     std::unique_ptr<DownloadStatsObserver> stats_observer);
  // Abandons the download; its completion never runs.
  void Stop();

  // The failure descriptions of the current download, each ending in "\n".
  std::string GetStateText() const;

  // Set before starting. An empty list allows every host.
  void set_allowed_hosts(std::vector<std::wstring> hosts) { allowed_hosts_ = std::move(hosts); }
  void set_max_retries(int max_retries) { max_retries_ = max_retries; }
  void set_retry_delay(base::TimeDelta delay) { retry_delay_ = delay; }
  void set_timeout(base::TimeDelta timeout) { timeout_ = timeout; }
  void set_stall_window(base::TimeDelta window) { pace_.set_window(window); }
  void set_stall_floor(int64_t floor) { pace_.set_floor(floor); }
  // The longest a run of failed attempts may take; by default as long as
  // max_retries + 1 retries of a connection refused at once take.
  void set_retry_time_limit(base::TimeDelta limit) { retry_time_limit_ = limit; }
  // Bytes gathered before they are written.
  void set_read_size(size_t read_size);

  State state() const { return state_.load(); }
  // The status of the last reply; 0 when none was read.
  int http_status() const { return http_status_.load(); }
  // Bytes kept by the writer for the current download (the resume offset).
  int64_t downloaded_size() const { return downloaded_size_.load(); }
  // Bytes read from the network since the download started, including those
  // of replies that had to be dropped.
  int64_t bytes_received() const { return bytes_received_.load(); }
  // True when the current download was retried or resumed at least once.
  bool has_retried() const { return has_retried_.load(); }

  // WinINet's status callback; |context| is the Downloader.
  static void CALLBACK InternetStatusCallback(InternetHandle handle,
                                             DWORD_PTR context,
                                             DWORD status,
                                             LPVOID information,
                                             DWORD information_length);

 private:
  void SetState(State state);
  // Logs |text| with the system error and adds it to the state text.
  void AppendFailure(const std::string& text);
  // AppendFailure, then posts DownloadFailed unless an outcome was posted.
  void Fail(const std::string& text);
  // True for the first caller after a start: the one outcome of a download.
  bool ClaimOutcome();
  void PostToLoop(base::OnceClosure task, base::TimeDelta delay = base::TimeDelta());
  // Posts one progress report to the observer, if there is one.
  void PostProgress(void (PackageFetcherObserver::*report)(int), int64_t value);
  // Retries after a |transient| error, else fails with |failure_format|.
  void RetryOrFail(DWORD error,
                   bool transient,
                   const char* transient_text,
                   const char* failure_format);

  // Opens and sends a request for cracked_url_ with extra_headers_.
  bool OpenRequest();
  void OnRequestComplete(DWORD error);
  // A 3xx reply: follows it when its target is allowed, else fails.
  void HandleRedirect(int status);
  void FollowRedirect(const std::wstring& url, bool keep_body);
  // Makes the connection serve |url|'s server (reusing the one open for it).
  bool ConnectTo(const CrackedUrl& url);
  void OnHandleClosing(InternetHandle handle);
  bool HandleInitialCompletion();
  void HandleCompletionInProgress();
  // True when the reply has more to bring and brings it slower than the
  // stall floor, or has not brought the floor yet when the run of failed
  // attempts it follows has had its time.
  bool IsDripping();
  // A read of the reply that did not complete at once.
  void HandleReadCallFailure(DWORD error);
  // Hands the buffered bytes to the writer; false (the download failed) when
  // it refuses them.
  bool WriteBuffered();
  // Counts a retry and schedules the resume, or fails when none is left: after
  // max_retries_ retries, or once the series has taken RetrySeriesLimit() (a
  // series' first failure is always retried).
  void CheckRetriesAndResume(int last_error);
  base::TimeDelta RetrySeriesLimit() const;
  // Checks a 206's Content-Range against the byte asked for.
  bool ContinuesWhereAsked();
  std::wstring QueryHeader(const wchar_t* name);

  void Resume();
  void ProxyLoginResult(DWORD result);
  void DownloadCompleted();
  void DownloadFailed();
  void CloseSession();
  // Ends a download that could not start; always false.
  bool FailStart();
  void FinishWriter();
  // Closes the current request and waits until WinINet has let go of it.
  void CloseRequest();
  void JoinTerminationThread();

  std::atomic<State> state_{STATE_IDLE};

  // Handles; the request and connection are guarded by handles_lock_, which
  // also hands the connection being closed over to the closing status.
  base::Lock handles_lock_;
  InternetHandle session_ = nullptr;
  InternetHandle connection_ = nullptr;
  InternetHandle closing_connection_ = nullptr;
  InternetHandle request_ = nullptr;
  // The request being closed, until WinINet reports it gone (see
  // CloseRequest); request_closed_ is set then.
  InternetHandle closing_request_ = nullptr;
  base::WaitableEvent request_closed_{base::WaitableEvent::ResetPolicy::MANUAL,
                                      base::WaitableEvent::InitialState::NOT_SIGNALED};

  // The address asked for, and the one the current request goes to (after
  // redirects).
  std::wstring url_;
  std::wstring current_url_;
  CrackedUrl cracked_url_;
  std::wstring connected_host_;
  int connected_port_ = 0;
  std::string post_body_;
  // False once a 303 turned the request into a GET.
  bool send_body_ = true;
  // The Range header of a resumed request.
  std::wstring extra_headers_;
  int redirects_ = 0;
  std::vector<std::wstring> allowed_hosts_;
  std::unique_ptr<ResponseWriter> writer_;
  std::unique_ptr<DownloadStatsObserver> stats_observer_;
  // Serialises writes with the writer's Finish.
  base::Lock writer_lock_;
  bool writer_finished_ = false;

  int64_t expected_size_ = 0;
  // Bytes of the reply are gathered here and written when it is full, when
  // the reply ends or breaks off, and before each new request.
  std::vector<char> read_buffer_;
  size_t buffered_ = 0;
  // WinINet's INTERNET_BUFFERSA of the read under way.
  struct ReadBuffers;
  std::unique_ptr<ReadBuffers> read_buffers_;
  std::atomic<int64_t> downloaded_size_{0};
  std::atomic<int64_t> bytes_received_{0};
  // The offset the current request asked for with Range; 0 for a full GET.
  int64_t requested_offset_ = 0;
  std::atomic<int> http_status_{0};

  scoped_refptr<base::SingleThreadTaskRunner> task_runner_;
  base::WaitableEvent termination_event_;
  std::unique_ptr<WininetTerminationThread> termination_thread_;

  PackageFetcherUIDelegate* const ui_delegate_;
  PackageFetcherObserver* const observer_;
  base::OnceClosure completion_;

  mutable base::Lock state_text_lock_;
  std::string state_text_;

  int retry_count_ = 0;
  int max_retries_ = kDefaultMaxRetries;
  base::TimeDelta retry_delay_ = kDefaultRetryDelay;
  base::TimeDelta timeout_ = kDefaultTimeout;
  std::optional<base::TimeDelta> retry_time_limit_;
  std::atomic<bool> has_retried_{false};
  std::atomic<bool> outcome_claimed_{false};
  // The most bytes any reply of this download has brought the writer to.
  int64_t furthest_size_ = 0;
  // The pace of the current reply, on WinINet's threads.
  TransferPace pace_{kDefaultStallWindow, kDefaultStallFloor};
  // When the current run of failed attempts began: the start of its first
  // attempt, or the moment the attempt that ended the run before got further.
  base::TimeTicks retry_series_start_;

  base::WeakPtr<Downloader> weak_this_;
  base::WeakPtrFactory<Downloader> weak_factory_{this};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_WININET_DOWNLOADER_H_
