// Shortcut matching: whether a shortcut, or a taskbar pin, leads to a given
// executable. A target counts when its path equals the executable's ignoring
// case or, given the executable's file identity, when it is the same file
// under another name (a hard link, a short name). Resolving needs COM on the
// calling thread.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_SHORTCUT_MATCHING_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_SHORTCUT_MATCHING_H_

#include <windows.h>

#include <string>
#include <vector>

#include "base/files/file_path.h"

namespace installer {

// The file's volume serial number and index (GetFileInformationByHandle).
bool GetFileIdentity(const base::FilePath& path, BY_HANDLE_FILE_INFORMATION* identity);

// Whether |shortcut| exists and its target is |exe| (see above). |identity|
// may be null.
bool IsShortcutToFile(const base::FilePath& shortcut,
                      const base::FilePath& exe,
                      const BY_HANDLE_FILE_INFORMATION* identity);

// The executables a shortcut of the installation in |install_path|, whose
// version folder is |subfolder|, may lead to: its launcher, and the browser
// in the install folder and in the version folder.
std::vector<base::FilePath> GetInstallationShortcutTargets(const base::FilePath& install_path,
                                                           const std::wstring& subfolder);

// Whether |shortcut| exists and leads, now, to one of the executables
// GetInstallationShortcutTargets names (see IsShortcutToFile). Shortcut names
// are shared by every installation: one found by an earlier look may have
// been replaced since by another installation's.
bool IsShortcutOfInstallation(const base::FilePath& shortcut,
                              const base::FilePath& install_path,
                              const std::wstring& subfolder);

// Whether a pin whose target is |target| and whose application user model id
// is |app_id| is one of |exe|: the target leads to |exe| (see above) and the
// id ends with "." and |app_id_suffix| (ASCII case ignored).
bool IsPinOf(const base::FilePath& target,
             const std::wstring& app_id,
             const base::FilePath& exe,
             const std::string& app_id_suffix,
             const BY_HANDLE_FILE_INFORMATION* identity);

// Appends to |out| the "*.lnk" files of the user's taskbar pins folder that
// lead to |exe| and whose application user model id ends with "." and
// |app_id_suffix| (ASCII case ignored). Does nothing before Windows 7 or when
// the folder does not exist.
void FindPinnedShortcuts(const base::FilePath& exe,
                         const std::string& app_id_suffix,
                         const BY_HANDLE_FILE_INFORMATION* identity,
                         std::vector<base::FilePath>* out);

// The same for the pins in |folder|.
void FindPinnedShortcutsInFolder(const base::FilePath& folder,
                                 const base::FilePath& exe,
                                 const std::string& app_id_suffix,
                                 const BY_HANDLE_FILE_INFORMATION* identity,
                                 std::vector<base::FilePath>* out);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_SHORTCUT_MATCHING_H_
