// Runs of the installer share one download folder, and the folders one fetch
// fills there are named after a stamp, the local time the run began to the
// second: the package folder velto_package.exe_<stamp>, the try folders
// velto_package<n>.exe_<stamp> and the companion product's folder
// suite_<stamp>.
//
// A PackageFolderLock claims a stamp for one run for as long as it lives,
// through the lock file velto_package.exe_<stamp>.lock in the download folder:
// made new, opened without sharing and deleted on close, so the claim ends
// with the run however the run ends, also when its process is killed. A run
// that begins in a second another run holds takes the next free second.
//
// RemoveFoldersOfEndedRuns removes the folders of every stamp whose lock no
// run holds. It takes that lock itself while it removes them, so that no run
// can claim the stamp meanwhile; a lock file that a machine going down left
// behind is taken over the same way.

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
  // Ends the claim: the owner removes its folders first.
  ~PackageFolderLock();

  bool is_held() const { return lock_file_.IsValid(); }
  // The 14 digits of the local time, "YYYYMMDDhhmmss".
  const std::wstring& stamp() const { return stamp_; }
  base::FilePath package_folder() const;
  base::FilePath suite_folder() const;

  // The try folder of attempt |try_number| of |package_folder|: the number
  // goes in before the extension of the folder's name (from its last dot).
  static base::FilePath TryFolder(const base::FilePath& package_folder, int try_number);

  // Removes from |download_folder| the folders of every run that has ended,
  // and those named after |own_stamp|, which the calling run holds and has
  // not used yet (an earlier run's, left in the same second). Failures are
  // logged; the rest is still removed.
  static void RemoveFoldersOfEndedRuns(const base::FilePath& download_folder,
                                       const std::wstring& own_stamp);

 private:
  base::FilePath download_folder_;
  std::wstring stamp_;
  base::win::ScopedHandle lock_file_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FOLDER_LOCK_H_
