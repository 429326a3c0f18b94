// StatsSender: the statistics of one front-end run (versions, system,
// timings, download attempts, results, errors) as one JSON object, and its
// post to the maker's statistics endpoint at the end of the run. Parts of the
// installer write through StatsScopes made from the root scope, from any
// thread; every write takes the sender's lock.
//
// The sender lives on a thread with a message loop: Send posts through the
// sender's own Downloader and runs its completion there.

#ifndef DESKTOP_WINDOWS_INSTALLER_STATS_SENDER_H_
#define DESKTOP_WINDOWS_INSTALLER_STATS_SENDER_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/command_line.h"
#include "base/functional/callback.h"
#include "base/synchronization/lock.h"
#include "base/values.h"
#include "desktop/windows/installer/stats_scope.h"
#include "desktop/windows/installer/wininet/downloader.h"

namespace installer {

class PackageFetcherUIDelegate;

class StatsSender {
 public:
  // Where the statistics go and which hosts the post may reach (also after
  // redirects).
  struct Endpoint {
    std::wstring url;
    std::vector<std::wstring> allowed_hosts;
  };

  // |ui_delegate| must outlive the sender. Records the basic statistics.
  explicit StatsSender(PackageFetcherUIDelegate* ui_delegate);
  StatsSender(const StatsSender&) = delete;
  StatsSender& operator=(const StatsSender&) = delete;
  ~StatsSender();

  // The view of the whole object; callers clone or extend it.
  StatsScope* root_scope() { return &root_scope_; }

  // Sums up the fetches: "wininet_retries" (their download chunks) and
  // "download_ips" (every chunk's server address, in order, "; "-joined).
  void AddDownloadSummary();

  // Posts the statistics as JSON to the endpoint of |command_line|. True when
  // the post started: |completion| then runs when it ends. Otherwise
  // |completion| has run already. Without |wait_for_network| the post gives
  // up after two retries.
  bool Send(base::OnceClosure completion, bool wait_for_network);
  bool SendTo(const Endpoint& endpoint, base::OnceClosure completion, bool wait_for_network);

  // The maker's endpoint, or with the switch "local-stats-server" the local
  // test server on this machine's port 3000.
  static Endpoint GetEndpoint(const base::CommandLine& command_line);

  // "endpoint_name_hash": the SHA-256 of |user| followed by at most 15
  // characters of |computer|, as UTF-16 (little-endian, no terminator), in
  // lower-case hex; empty when both are empty. Tells runs on one machine apart
  // without sending who or where.
  static std::string EndpointNameHash(std::wstring_view user, std::wstring_view computer);

  // The whole object as the post sends it; false when it cannot be written.
  bool GetJson(std::string* json);

  Downloader* downloader() { return &downloader_; }

 private:
  void RecordBasicStats();

  base::Value::Dict stats_;
  base::Lock lock_;
  StatsScope root_scope_;
  Downloader downloader_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STATS_SENDER_H_
