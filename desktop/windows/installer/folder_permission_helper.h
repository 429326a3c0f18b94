// The set-folder-permission helper mode: an elevated process that gives the
// user of the installer that asked for it full rights on an install folder,
// for good or until that installer signals that it is done, and afterwards,
// for an uninstallation, does what the clean-up batch file it left there says.
//
// The helper runs elevated with a command line that a standard user chose,
// so nothing on it decides who gets rights on what:
// - The grantee is the user of the requesting installer (the helper's
//   parent): the user SID of that process's token. "permissions-for-user" is
//   still required, as installers pass it, but only logged.
// - The folder must be new (the helper makes it) or hold this product's
//   installation status, for this user only: an installation for all users
//   is changed by an elevated installer, never through a grant. Drive
//   roots, the Windows folder and everything in it, and the roots of Program
//   Files and ProgramData are refused, as are network paths and paths that
//   pass through a link or junction. The path is opened, and its missing
//   folders made, one folder at a time relative to the one above it
//   (LinkFreeFolder), and the access list is read, changed and put back
//   through the handle so opened; what was made goes again when the grant is
//   refused or fails.
// A refusal is logged with its reason and makes the helper exit with 1.
//
// Without "wait-for-package" the grant happens at once: the helper sets the
// GiveInstallPermission event when the rights are in place and, unless the
// grant is permanent, waits for the Undo event (or the end of the installer
// that asked) and puts the old rights back. A permanent grant outlives only
// a run that installed there: the helper waits for the installer that asked
// to end, and when the folder then holds no installation (status file) it
// puts the old rights back and removes the folders it made.
// With "wait-for-package" it first waits for the package (or for the
// installation to be interrupted, or for the initial process or the
// requesting installer to end) and then makes the same grant itself: nothing
// in the package folder, which the user can change, is run.
// None of these waits has a time limit: each ends with the process that the
// grant is for, so a slow download or a long installation keeps its rights.
// When nobody waits for the grant (events missing) the helper ends quietly.

#ifndef DESKTOP_WINDOWS_INSTALLER_FOLDER_PERMISSION_HELPER_H_
#define DESKTOP_WINDOWS_INSTALLER_FOLDER_PERMISSION_HELPER_H_

#include "base/files/file_path.h"
#include "base/process/process.h"

namespace base {
class CommandLine;
}

namespace installer {

class FolderRights;

// How long the old rights stay after the Undo event, so that the installer
// can finish with the folder.
inline constexpr unsigned long kRestoreDelayMs = 10000;

struct FolderPermissionResult {
  // The request was refused (the reason is logged).
  bool refused = false;
  // The folder (its true path) on which this helper granted rights for a
  // while and has taken them back; empty otherwise.
  base::FilePath restored_folder;
};

// Runs the helper for the installer that started it (its parent process).
FolderPermissionResult RunFolderPermissionHelper(const base::CommandLine& command_line);
// The same for the installer running as |requester|, whose user gets the
// rights through |rights|: nothing is granted without it, a temporary grant
// is taken back when it ends without signalling Undo, and a permanent one
// when it has ended and the folder holds no installation.
FolderPermissionResult RunFolderPermissionHelper(const base::CommandLine& command_line,
                                                 const base::Process& requester,
                                                 FolderRights* rights);

// Does what the clean-up batch file of |installation_folder| (the running
// installation's) says: only after |result| took back a grant on that very
// folder, and only for a batch file that the uninstallation's writer made
// (CleanupBatchFile::Read). The user wrote the file during the grant and can
// still change it, and he can make any folder he made then a junction at any
// time, so the batch file is not run: this process waits for the processes
// it names (not for itself), then deletes its files, the batch file and its
// folders through handles that follow no link or junction. A file still in
// use, such as this process's own installer.exe and installer_lib.dll, is
// moved out of the user's reach and deleted there, at the latest at the next
// start of Windows (ProtectedDeletion); what lies behind a link stays. Both
// are logged. False when the batch file was not acted on.
bool RunUninstallBatch(const FolderPermissionResult& result,
                       const base::FilePath& installation_folder);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_FOLDER_PERMISSION_HELPER_H_
