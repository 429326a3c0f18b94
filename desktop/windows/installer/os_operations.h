// OsOperations: what the installer asks of the operating system beyond file
// and registry operations — making the installed browser the default browser,
// or else registering it as a handler of its file types and protocols, and
// then telling the shell and running applications that associations changed.
// The back end creates one OsOperationsImpl and hands it to the installer,
// whose steps call it on the installer's thread (COM initialised).
// Registration failures are not reported back; the notifications are sent
// whatever the registrations did.

#ifndef DESKTOP_WINDOWS_INSTALLER_OS_OPERATIONS_H_
#define DESKTOP_WINDOWS_INSTALLER_OS_OPERATIONS_H_

#include "base/files/file_path.h"

namespace installer {

struct InstallationStatus;
class Settings;

// The installer's choices that decide the default-browser set-up, as the
// settings and their folder analysis give them.
struct DefaultBrowserChoices {
  // The choices of |settings|; the path is that of the analysed folder, or
  // the settings' install path while no analysis is there.
  static DefaultBrowserChoices FromSettings(const Settings& settings);

  bool copy_only = false;
  bool silent = false;
  bool default_browser = false;
  bool all_users = false;
  // The folder being installed into.
  base::FilePath install_path;
  // The folder analysis found that installation to be the http handler.
  bool is_http_handler = false;
};

class OsOperations {
 public:
  virtual ~OsOperations() = default;

  // Sets up the installation the settings name as default browser or
  // handler. |status|, when given, is that installation's record; it is
  // copied, the caller keeps its own.
  virtual void SetUpDefaultBrowser(const Settings& settings,
                                   const InstallationStatus* status) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_OS_OPERATIONS_H_
