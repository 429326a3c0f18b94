// The self-deleting clean-up batch file that an uninstallation leaves in the
// install folder (written by CleanupBatchFile), and its one way of being
// started. The elevated folder-permission helper never starts it: it does
// what the batch says itself (RunUninstallBatch).
//
// The command processor expands "%name%" and reads "&", "^", "(" and the like
// in the command line it is given, even inside double quotes, so the batch is
// never named by its path: it runs from the install folder as its current
// folder, by its bare name, and names what it deletes relative to that folder.
// A folder of any name works this way; a network (UNC) folder cannot be a
// command processor's current folder, so a batch there does not run.

#ifndef DESKTOP_WINDOWS_INSTALLER_CLEANUP_BATCH_LAUNCH_H_
#define DESKTOP_WINDOWS_INSTALLER_CLEANUP_BATCH_LAUNCH_H_

#include "base/files/file_path.h"
#include "base/process/process.h"

namespace installer {

inline constexpr wchar_t kCleanupBatchFileName[] = L"k.bat";

// Starts the clean-up batch file of |folder| hidden, without waiting for it.
// The process, invalid when it could not be started (the reason is logged).
base::Process StartCleanupBatchFile(const base::FilePath& folder);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_CLEANUP_BATCH_LAUNCH_H_
