// The exchange with the package server that comes before any download: the
// download-address request (its URL, body and allowed hosts) and its JSON
// reply, which names the package to download (full or minimal), its checksum
// and the additional components. The package fetcher's core sends the
// request (StartDownloadUrlRequest) and reads the reply
// (ParseDownloadUrlReply) on its worker thread; the rest of the fetch
// (download, checks, unpacking, additional files) follows from the reply.
//
// Reply:
//   "installer", "installer_checksum"                   the full package
//   "minimal_installer", "minimal_installer_checksum"   the minimal package
//   "url_welcome"                                        optional welcome page
//   "components": [{"type", "location", "checksum", "archive", "filename"}]
// Component types: "suite" (kept only when the installation includes the
// companion product), "partner_content", and "downloadable_resource" (kept
// only for the build's own localization files; any other one forces the
// full package).

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_SERVER_PROTOCOL_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_SERVER_PROTOCOL_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/command_line.h"
#include "base/functional/callback.h"
#include "base/values.h"

namespace installer {

class Downloader;
class StatsScope;

// Switch: the package server to ask instead of the maker's. With a URL value
// that URL is the whole request address before the query; without a value
// the internal test server is asked.
inline constexpr char kInternalPackageServerSwitch[] = "internal-package-server";

// Component record keys and types of the reply.
inline constexpr char kComponentsKey[] = "components";
inline constexpr char kComponentTypeKey[] = "type";
inline constexpr char kComponentLocationKey[] = "location";
inline constexpr char kComponentChecksumKey[] = "checksum";
inline constexpr char kComponentArchiveKey[] = "archive";
inline constexpr char kComponentFileNameKey[] = "filename";
inline constexpr char kSuiteComponentType[] = "suite";
inline constexpr char kPartnerContentComponentType[] = "partner_content";
inline constexpr char kDownloadableResourceComponentType[] = "downloadable_resource";
inline constexpr char kWelcomeUrlKey[] = "url_welcome";

// What the download-address request depends on besides the command line.
struct DownloadUrlRequestOptions {
  // The feature "installer-download-sfx-package".
  bool sfx_package = false;
  // The settings' architecture value; 1 asks for the 64-bit package.
  uint32_t architecture = 0;
  // The feature "installer-use-minimal-package" when the fetcher was built.
  bool minimal = false;
  // The installation language, for the localization file a minimal package
  // needs.
  std::wstring language;
};

// The request URL: the base (the switch's value, the internal server, or the
// configuration's "autoupdate" URL), "netinstaller/", "v2/" for the SFX
// package, the stream, "/windows/x64/" for the 64-bit package, and in
// minimal mode the additional-files query. Nothing is escaped.
std::wstring BuildDownloadUrlRequestUrl(const base::CommandLine& command_line,
                                        const DownloadUrlRequestOptions& options);

// |url| followed by "?" (or "&" when it holds a "?" already) and
// "additional_files='localization/<language>.pak'" (just "additional_files=''"
// without a language).
std::wstring AppendAdditionalFilesQuery(const std::wstring& url, const std::wstring& language);

// True when |file_name| ("localization/de.pak") is one of the build's
// localization files, the only downloadable resources the installer takes.
bool IsKnownLocalizationFile(std::string_view file_name);

// The hosts the download-address request (and its redirects) may reach.
std::vector<std::wstring> GetAllowedDownloadUrlHosts();

// Sends the request through |downloader|: GET, or POST of |body| (the
// tracking data) when it is not empty; the reply goes to |reply_text|, the
// request's outcome to |fetch_scope| under "fetch_download_url_" keys, and
// "fetch_download_url_start_time" is written there. |done| runs when the
// request ends. False when it could not start (|done| does not run).
bool StartDownloadUrlRequest(Downloader* downloader,
                             const std::wstring& url,
                             std::string body,
                             std::string* reply_text,
                             std::unique_ptr<StatsScope> fetch_scope,
                             base::OnceClosure done);

struct DownloadUrlReply {
  DownloadUrlReply();
  DownloadUrlReply(DownloadUrlReply&&);
  DownloadUrlReply& operator=(DownloadUrlReply&&);
  ~DownloadUrlReply();

  // The whole reply.
  base::Value value;
  // The component records to fetch after the package, in reply order.
  base::Value::List additional;
  std::string package_url;
  std::string package_checksum;
  // The reply's minimal package was chosen.
  bool minimal_used = false;
};

// One component record of the reply, as the fetcher fetches it.
struct AdditionalFileRecord {
  std::string location;
  std::string type;
  std::string checksum;
  // An archive is a self-extracting component that is run; any other record
  // is a plain file.
  bool archive = false;
  // A plain file's path below its destination folder (empty for an archive).
  std::string file_name;
};

// Reads one component record of |additional|. False when it is not a
// dictionary with "location" (string), "type" (a string of [a-z0-9_-] only:
// it becomes part of the names of files that are run), "archive" (integer)
// and "checksum" (ASCII string), and for a plain file "filename": a safe
// relative path, since it is joined to a folder of ours and listed in
// files_list.
bool ParseAdditionalFileRecord(const base::Value& record, AdditionalFileRecord* parsed);

// Reads the reply. False with the reason ("Invalid JSON", "Content is not a
// dictionary", "Missing full package url", "Full package url is not a
// string", "Missing full package checksum", "Full package checksum is not a
// string") when it names no usable package. |has_suite_folder|: the
// installation includes the companion product; |minimal|: the fetcher asked
// for the minimal package.
bool ParseDownloadUrlReply(std::string_view text,
                           bool has_suite_folder,
                           bool minimal,
                           DownloadUrlReply* reply,
                           std::string* failure_reason);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_SERVER_PROTOCOL_H_
