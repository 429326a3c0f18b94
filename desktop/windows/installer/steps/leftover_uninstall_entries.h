// The uninstall entry of an installation is written a few steps before its
// status file, which names the entry so that a later upgrade or uninstall
// removes it. A run interrupted in between (killed, crashed, the machine gone
// down) leaves an entry that no status record names, and nothing would ever
// take it away: the next run of the folder writes an entry of its own beside
// it. The same holds for the entry of an installation whose status file can
// no longer be read.
//
// So an entry of this product (its key named as this installer names them:
// the product name, a space and a version, perhaps followed by a number)
// whose InstallLocation is the install folder, and which no readable status
// record of the folder names (neither the current one nor one kept in
// "old_status"), is a leftover. The runs that write or remove the folder's
// entry take the leftovers away in their transaction, so that a run that
// fails puts them back.
//
// Entries naming other folders are never touched: they belong to other
// installations, whose runs may be going on at this moment.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_LEFTOVER_UNINSTALL_ENTRIES_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_LEFTOVER_UNINSTALL_ENTRIES_H_

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "desktop/windows/installer/service/installation_status.h"

namespace installer {

class InstallerStepHost;

class LeftoverUninstallEntries {
 public:
  LeftoverUninstallEntries() = delete;

  // Whether |name| (a key directly below the uninstall key) is one this
  // product gives its entries.
  static bool IsProductEntryName(const std::wstring& name);

  // Reads the InstallLocation of the entry |key| under |root| (|view| holds
  // the REGSAM view bits); false when the entry or the value cannot be read.
  static bool ReadInstallLocation(HKEY root, const std::wstring& key, uint32_t view,
                                  std::wstring* location);

  // Whether the InstallLocation |location| names |folder| (case and trailing
  // separators aside).
  static bool IsSameFolder(const std::wstring& location, const base::FilePath& folder);

  // The leftover entries under |root| (in its 32-bit view, where the entries
  // are written) for |install_path|, as key paths below |root|.
  static std::vector<std::wstring> Find(HKEY root, const base::FilePath& install_path,
                                        const std::vector<const InstallationStatus*>& records);

  // Deletes, in the run's transaction, the leftovers under both roots for
  // the host's install folder, judged by the folder's record and the records
  // kept in its "old_status" folder.
  static void Remove(InstallerStepHost* host);
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_LEFTOVER_UNINSTALL_ENTRIES_H_
