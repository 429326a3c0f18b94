// ShortcutInstaller: what the shortcut steps share. Every shortcut of the
// browser is a copy of one master shortcut made in the package folder; the
// copies are placed (and old ones removed) through the installer's
// transaction, and the status record keeps the path of each shortcut made.
// Shortcut failures are logged and never fail the run.
//
// The folders of the shortcuts are shared with the runs of other install
// folders: every folder is marked (SharedFolderMark) before a shortcut there
// is replaced or removed, as its backup stays there until the run ends.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_SHORTCUT_INSTALLER_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_SHORTCUT_INSTALLER_H_

#include <string>
#include <vector>

#include "base/files/file_path.h"

namespace installer {

class InstallerStepHost;

// Where a shortcut goes. The desktop and the Start menu are the common ones
// in all-users mode, the user's otherwise; the quick launch is the user's.
enum ShortcutPlace {
  SHORTCUT_PLACE_DESKTOP = 0,
  SHORTCUT_PLACE_START_MENU = 1,
  SHORTCUT_PLACE_QUICK_LAUNCH = 2,
};

class ShortcutInstaller {
 public:
  // A shortcut to make: its folder and the status field that receives its
  // path once made.
  struct Request {
    base::FilePath folder;
    std::wstring* status_field;
  };

  explicit ShortcutInstaller(InstallerStepHost* host);
  ShortcutInstaller(const ShortcutInstaller&) = delete;
  ShortcutInstaller& operator=(const ShortcutInstaller&) = delete;
  ~ShortcutInstaller();

  // The shortcut file name of this build, ".lnk" included.
  static std::wstring GetShortcutName();

  // The folders where shortcuts of the browser go, in either mode: the
  // user's and the common desktop and Start menu, the quick launch and the
  // taskbar's pinned shortcuts (those the system knows).
  static std::vector<base::FilePath> GetEveryShortcutFolder();

  // The folder of |place| for this run's mode; false when unknown.
  bool GetPlaceFolder(ShortcutPlace place, base::FilePath* folder);
  // The status record's field for |place|.
  std::wstring* GetStatusField(ShortcutPlace place);

  // Makes the master shortcut, pins it when |pin|, then copies it to each
  // request's folder; with |pin|, also makes and pins the partner shortcut
  // where the installation carries partner content.
  void CreateShortcuts(const std::vector<Request>& requests, bool pin);

  // Unpins each shortcut and deletes it through the transaction.
  void UnpinShortcuts(const std::vector<base::FilePath>& shortcuts);

  // Deletes |path| through the transaction; false when that failed.
  bool DeleteShortcut(const base::FilePath& path);

 private:
  void CreatePartnerShortcut(const base::FilePath& target);

  InstallerStepHost* host_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_SHORTCUT_INSTALLER_H_
