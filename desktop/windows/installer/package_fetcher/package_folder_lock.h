// Runs of the installer share one download folder, and the folders one fetch
// fills there are named after a stamp, the local time the run began to the
// second: the package folder velto_package.exe_<stamp>, the try folders
// velto_package<n>.exe_<stamp> and the companion product's folder
// suite_<stamp>.
//
// A PackageFolderLock claims a stamp for one run for as long as it lives,
// through the lock file velto_package.exe_<stamp>.lock in the download folder:
// made new and opened without sharing, so the claim ends with the run however
// the run ends, also when its process is killed. A run that begins in a
// second another run holds, or whose folders are there, takes the next free
// second. The lock file goes with the claim when the run's folders have gone
// before it; otherwise (a run killed, or one whose folders a process that ran
// from them still kept) it stays behind, unheld, and tells that the folders
// of its stamp belong to a run that has ended.
//
// RemoveFoldersOfEndedRuns removes the folders of every stamp whose lock file
// is there and held by no run. It takes that lock itself while it removes
// them, so that no run can claim the stamp meanwhile. Folders without a lock
// file belong to a run of an installer that takes none (one built before the
// lock files), which may still be going on: they are removed only when
// nothing in them is in use and nothing was written there for a day.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FOLDER_LOCK_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FOLDER_LOCK_H_

#include <string>

#include "base/files/file_path.h"
#include "base/time/time.h"
#include "base/win/scoped_handle.h"

namespace installer {

class PackageFolderLock {
 public:
  // Claims the first free stamp at |start| or whole seconds after it. When
  // no lock file can be made in |download_folder| at all (a folder that is
  // missing or refuses files), nothing is held and the stamp is |start|'s:
  // the fetch then fails where it makes its folders.
  PackageFolderLock(const base::FilePath& download_folder, base::Time start);
  PackageFolderLock(const PackageFolderLock&) = delete;
  PackageFolderLock& operator=(const PackageFolderLock&) = delete;
  // Ends the claim: the owner removes its folders first. The lock file stays
  // when some of them could not be removed.
  ~PackageFolderLock();

  bool is_held() const { return lock_file_.IsValid(); }
  // The 14 digits of the local time, "YYYYMMDDhhmmss".
  const std::wstring& stamp() const { return stamp_; }
  base::FilePath package_folder() const;
  base::FilePath suite_folder() const;

  // The try folder of attempt |try_number| of |package_folder|: the number
  // goes in before the extension of the folder's name (from its last dot).
  static base::FilePath TryFolder(const base::FilePath& package_folder, int try_number);

  // Removes from |download_folder| the folders of every run that has ended.
  // |now| is the time that "written recently" is measured from. Failures
  // are logged; the rest is still removed.
  static void RemoveFoldersOfEndedRuns(const base::FilePath& download_folder, base::Time now);

 private:
  base::FilePath download_folder_;
  std::wstring stamp_;
  base::win::ScopedHandle lock_file_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FOLDER_LOCK_H_
