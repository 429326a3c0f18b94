// Some folders are changed alike by runs of every install folder: the
// desktop, the Start menu and the quick-launch folders, where the shortcuts
// of all installations of the browser lie under the same names. A run that
// replaces or removes a file there leaves its backup beside it until the run
// ends (DeleteFileOperation), and a run of another install folder may be going
// on at the same time.
//
// So a run marks such a folder before it changes anything there, and the mark
// stays until its process ends: a named kernel object, which goes with the
// last handle to it, also when the process is killed. The tidying after an
// interrupted run (InterruptedRunCleanup) leaves the backups of a marked
// folder alone: they may belong to a run that is still going on, which keeps
// or puts them back itself. A later run tidies them.
#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_SHARED_FOLDER_MARK_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_SHARED_FOLDER_MARK_H_

#include "base/files/file_path.h"

namespace installer {

class SharedFolderMark {
 public:
  SharedFolderMark() = delete;

  // Marks |folder| for the rest of this process.
  static void Set(const base::FilePath& folder);

  // Whether a live process has marked |folder|. True also when that cannot be
  // told (the mark's object exists but cannot be opened).
  static bool IsSet(const base::FilePath& folder);
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_SHARED_FOLDER_MARK_H_
