// The set-folder-permission helper mode: an elevated process that gives a
// user full rights on an install folder, for good or until the installer
// signals that it is done, and the launch of an uninstall's clean-up batch.
//
// Without "wait-for-package" the grant happens at once: the helper sets the
// GiveInstallPermission event when the rights are in place and, unless the
// grant is permanent, waits for the Undo event (or the end of the installer
// that asked) and puts the old rights back.
// With "wait-for-package" it first waits for the package (or for the
// installation to be interrupted, or for the initial process or the
// requesting installer to end) and then lets the package's own installer.exe
// do the grant, waiting for it (or for the requesting installer to end).
// None of these waits has a time limit: each ends with the process that the
// grant is for, so a slow download or a long installation keeps its rights.
// Every failure ends the helper quietly: the waiting installer sees no event.

#ifndef DESKTOP_WINDOWS_INSTALLER_FOLDER_PERMISSION_HELPER_H_
#define DESKTOP_WINDOWS_INSTALLER_FOLDER_PERMISSION_HELPER_H_

#include "base/files/file_path.h"
#include "base/process/process.h"

namespace base {
class CommandLine;
}

namespace installer {

// How long the old rights stay after the Undo event, so that the installer
// can finish with the folder.
inline constexpr unsigned long kRestoreDelayMs = 10000;

// Runs the helper for the installer that started it (its parent process).
// The folder and the "wait-for-package" folder must be absolute paths.
void RunFolderPermissionHelper(const base::CommandLine& command_line);
// The same for the installer running as |requester|: a temporary grant is
// taken back when that process ends without signalling Undo, and is not made
// at all without it (the requester has already gone).
void RunFolderPermissionHelper(const base::CommandLine& command_line,
                               const base::Process& requester);

// Starts the clean-up batch file of |folder| hidden, without waiting, when it
// exists; its process, or an invalid one.
base::Process RunUninstallBatch(const base::FilePath& folder);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_FOLDER_PERMISSION_HELPER_H_
