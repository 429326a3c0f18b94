// InterruptedRunCleanup puts an install folder back in order after a run that
// ended without its rollback: a back end that was killed, crashed or lost its
// power stops with its transaction half done, and nothing of that run ever
// comes back to take it back. What such a run can leave in the folder:
//
//  - the version folder it was copying into, which no status record names
//    (the next run would otherwise pick a new name beside it, and nothing,
//    not even an uninstall, would ever remove it);
//  - files it had moved aside to "<name>.<seconds>.old" before replacing or
//    removing them (a DeleteFileOperation's backup, deleted only at commit);
//  - the temporary "~tmp*.tmp" file of a whole-file write in the folder.
//
// The next run that owns the installation (it holds the installation mutex,
// so no other run works in the folder) runs this before it changes anything.
// It is deliberately narrow:
//
//  - A version folder goes only when its name is a version folder name
//    (four dot-separated numbers, perhaps with "_" and a counter, as the
//    installer makes them), no status record of the folder names it (the
//    current one nor any kept in "old_status"), and every status file of the
//    folder could be read; so a folder that an installation uses, or might
//    use, is never touched. Without any status record only the names this
//    run itself would choose (its version, perhaps with "_" and a counter)
//    go, so a folder that merely holds other versioned folders keeps them.
//  - Backups are only those of files the installer itself puts in the
//    folder: the root files, the launcher, the tracking data and the
//    preference overrides in the install folder, and the listed files of the
//    version folders the records name. When the file itself is missing and
//    belongs to the installation as it stands (a root file the current
//    record lists, a file every installation has, a listed file of a version
//    folder whose record is still kept), the newest backup is moved back: the
//    interrupted run had moved it aside and not yet put anything in its
//    place. Otherwise the backups are deleted, as the commit of that run
//    would have done; so is the backup of a root file that a successful
//    upgrade removed while it was in use, which waits for the next restart.
//  - Backups of the status file go when a status file stands beside them;
//    without one they stay, as they may be all that records the installation.
//  - Temporary files are looked for only directly in the install folder.
//  - A run also replaces and removes files outside the install folder: the
//    shortcuts in the desktop, Start menu and quick-launch folders, which
//    runs of other install folders change too. Their backups are resolved
//    the same way (the newest put back where the file is missing, the others
//    deleted), but only in a folder that no run going on has marked
//    (SharedFolderMark): a live run's backups are its own to keep or put
//    back. Looked for are the files the caller names and the shortcuts the
//    records name.
//
// Everything is logged; a removal that fails (a file in use) is left for a
// later run and never stops this one.
//
// An upgrade moves the status file into "old_status" a few steps before it
// writes the new one; killed in between, it leaves the folder without a
// status, which the folder analysis takes for no installation at all.
// PutBackMovedAsideStatus puts that status back; it runs before the folder
// analysis of a run that holds the folder.
#ifndef DESKTOP_WINDOWS_INSTALLER_INTERRUPTED_RUN_CLEANUP_H_
#define DESKTOP_WINDOWS_INSTALLER_INTERRUPTED_RUN_CLEANUP_H_

#include <memory>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "desktop/windows/installer/service/installation_status.h"

namespace installer {

class InterruptedRunCleanup {
 public:
  // Files of a folder outside the install folder that runs replace or
  // remove: those of |folder| named by |pattern|, where "*" stands for any
  // text.
  struct SharedFiles {
    base::FilePath folder;
    std::wstring pattern;
  };

  // |record| is the status of the installation in |install_path| as the
  // folder analysis read it (null when there is none); |version| the version
  // this run installs; |root_names| the names, relative to |install_path|,
  // of the files this run puts there besides those |record| lists;
  // |shared_files| the files outside it that runs change, besides the
  // shortcuts the records name.
  InterruptedRunCleanup(const base::FilePath& install_path, const InstallationStatus* record,
                        std::string version, std::vector<std::wstring> root_names,
                        std::vector<SharedFiles> shared_files = {});
  InterruptedRunCleanup(const InterruptedRunCleanup&) = delete;
  InterruptedRunCleanup& operator=(const InterruptedRunCleanup&) = delete;
  ~InterruptedRunCleanup();

  void Run();

  // Whether |name| is a name the installer gives version folders.
  static bool IsVersionFolderName(const std::wstring& name);

  // Whether a backup of |path| ("<name>.<seconds>.old", what a run moves a
  // file it removes to until it is kept) lies beside it.
  static bool HasBackupOf(const base::FilePath& path);

  // When |install_path| holds no status file, moves the newest status file
  // of its "old_status" back under its own name, provided it can be read,
  // the version folder it names is there, and so is a version folder that no
  // kept status names and that holds the browser (the interrupted upgrade's
  // copy; the folder an uninstall ran from has lost its browser; every kept
  // status must be readable to tell). True when it put one back. Only for a run that
  // holds the folder: another run's upgrade has this state between two of
  // its steps.
  static bool PutBackMovedAsideStatus(const base::FilePath& install_path);

 private:
  // Reads the records kept in "old_status"; false when some status file of
  // the folder could not be read, so what it names is unknown.
  bool ReadRecords();
  // The folder's record, when there is one, then the kept ones.
  std::vector<const InstallationStatus*> GetRecords() const;
  bool IsNamedByARecord(const std::wstring& folder_name) const;
  // Whether the install folder holds a version folder that no record names
  // and that holds the browser.
  bool HasUpgradeCopyNoRecordNames() const;
  bool IsThisRunsFolderName(const std::wstring& name) const;
  void RemoveAbandonedVersionFolders();
  void ResolveBackups();
  // |put_back|: whether a missing |path| gets its newest backup back.
  void ResolveBackupsOf(const base::FilePath& path, bool put_back);
  void ResolveSharedBackups();
  void RemoveTemporaryFiles();

  base::FilePath install_path_;
  const InstallationStatus* record_;
  std::wstring version_;
  std::vector<std::wstring> root_names_;
  std::vector<SharedFiles> shared_files_;
  std::vector<std::unique_ptr<InstallationStatus>> old_records_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INTERRUPTED_RUN_CLEANUP_H_
