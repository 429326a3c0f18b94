// PrefDefaultOverridesFetcher: asks the maker's update server for overrides
// of the browser's preference defaults, sending the installation's tracking
// data, and stores the answer as "pref_default_overrides" in a folder (the
// package folder), where the installed browser finds it. One request, no
// retry of its own beyond the downloader's single one; its outcome never
// fails the installation: the completion runs exactly once, successful or
// not, and a failed fetch leaves no file behind.
//
// Lives on a thread with a message loop (the front end's); the completion
// runs there.

#ifndef DESKTOP_WINDOWS_INSTALLER_PREF_DEFAULT_OVERRIDES_FETCHER_H_
#define DESKTOP_WINDOWS_INSTALLER_PREF_DEFAULT_OVERRIDES_FETCHER_H_

#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/files/file_path.h"
#include "base/functional/callback.h"
#include "desktop/windows/installer/wininet/downloader.h"

namespace installer {

class FeatureRegistry;
class PackageFetcherUIDelegate;

class PrefDefaultOverridesFetcher {
 public:
  // Switch: the whole request URL, or without a value the local test server.
  static constexpr char kLocalServerSwitch[] = "local-pref-default-overrides-server";
  static constexpr wchar_t kFileName[] = L"pref_default_overrides";

  // |ui_delegate| must outlive the fetcher; |features| (the process-wide
  // registry unless given) says whether the fetch is wanted at all.
  PrefDefaultOverridesFetcher(const base::FilePath& folder,
                              PackageFetcherUIDelegate* ui_delegate,
                              const FeatureRegistry* features = nullptr);
  PrefDefaultOverridesFetcher(const PrefDefaultOverridesFetcher&) = delete;
  PrefDefaultOverridesFetcher& operator=(const PrefDefaultOverridesFetcher&) = delete;
  ~PrefDefaultOverridesFetcher();

  // Fetches the overrides; |completion| runs once, at once or when the
  // request ends.
  void Start(const std::string& tracking_data, base::OnceClosure completion);

  // The request URL for |command_line|.
  static std::wstring BuildRequestUrl(const base::CommandLine& command_line);
  // The hosts the request may reach.
  static std::vector<std::wstring> GetAllowedHosts();

  const base::FilePath& target_path() const { return target_path_; }
  Downloader* downloader() { return &downloader_; }

 private:
  void OnFetchComplete();

  const base::FilePath target_path_;
  Downloader downloader_;
  const FeatureRegistry* const features_;
  base::OnceClosure completion_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PREF_DEFAULT_OVERRIDES_FETCHER_H_
