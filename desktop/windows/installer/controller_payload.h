// ControllerPayload: what both front-end controllers (interactive and silent)
// do with the installer executable's payload. The payload's type and its
// tracking data go into the run's statistics; a payload leads to the package
// through a PackageFetcher; and once the package is complete, the tracking
// data of the run (the payload's, else what the installation in the chosen
// folder kept) is recorded again and drives the preference-default overrides
// fetch before the back end is told that the package is ready.

#ifndef DESKTOP_WINDOWS_INSTALLER_CONTROLLER_PAYLOAD_H_
#define DESKTOP_WINDOWS_INSTALLER_CONTROLLER_PAYLOAD_H_

#include <memory>
#include <string>

#include "base/files/file_path.h"
#include "base/functional/callback.h"

namespace installer {

class PackageFetcher;
class PackageFetcherObserver;
class PackageFetcherUIDelegate;
class PayloadReader;
class Settings;
class StatsScope;

class ControllerPayload {
 public:
  // Starts the overrides fetch for |tracking_data|; |done| runs when it ends.
  using StartOverridesCallback =
      base::OnceCallback<void(const std::string& tracking_data, base::OnceClosure done)>;

  // Records |reader|'s payload type ("payload_type") and returns its tracking
  // data: empty for a full package or none; a non-empty one is recorded as
  // "tracking_data".
  static std::string ReadTrackingData(const PayloadReader& reader, StatsScope* scope);

  // The fetcher (not started) of the package |reader| leads to, downloading
  // or unpacking into |temp_folder| as |settings| ask. |reader|, |ui_delegate|
  // and |observer| must outlive it.
  static std::unique_ptr<PackageFetcher> CreateFetcher(PayloadReader* reader,
                                                       const base::FilePath& temp_folder,
                                                       const Settings& settings, StatsScope* scope,
                                                       PackageFetcherUIDelegate* ui_delegate,
                                                       PackageFetcherObserver* observer);

  // The package of a run without payload: the running executable's folder.
  static base::FilePath GetOwnPackageFolder();

  // With the package complete: records the run's tracking data and, unless
  // the run uninstalls, starts the overrides fetch with it; |done| runs when
  // that ends (at once for an uninstall).
  static void HandleTrackingData(const std::string& payload_tracking_data,
                                 const Settings& settings, StatsScope* scope,
                                 StartOverridesCallback start_overrides, base::OnceClosure done);
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_CONTROLLER_PAYLOAD_H_
