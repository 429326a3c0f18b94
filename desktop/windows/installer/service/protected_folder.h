// ProtectedFolder: a folder that an elevated installer makes for the programs
// and files it runs or installs, so that no other account can change them
// between its checks and their use.
//
// Create makes a new folder "velto_elevated_package_<random hex>" (a folder
// of that name that exists already is someone else's and never taken over)
// owned by the administrators, with full control for the system and the
// administrators alone and nothing inherited from above. The object holds the
// folder open, so that it cannot be renamed or replaced while the object
// lives, and removes it with everything in it when it goes.
//
// Trust goes with the folder's provenance, never with a path on a command
// line: a process started by the maker of the folder is handed an inheritable
// handle to it, whose value it gets in "--protected-folder" (HandDown), and
// hands it on in turn to the processes it starts there. IsProtected accepts a
// path only when it lies in a folder this process made and still holds, or
// in the folder of the handle it was handed: that value must be an open
// handle of this process to a folder other than its current folder (which
// whoever starts it chooses). An installer started by anyone
// else with any path and any number there gets no trust.
//
// The folder's access list cannot be read back under Wine, which keeps none
// for files and folders; there only the decisions made from the handle show.
#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_PROTECTED_FOLDER_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_PROTECTED_FOLDER_H_

#include <windows.h>

#include <memory>
#include <string>

#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"

namespace base {
class CommandLine;
}

namespace installer {

class ProtectedFolder {
 public:
  // The switch that carries the value of the handle a child inherits.
  static constexpr char kSwitch[] = "protected-folder";

  // A new folder in |parent| (empty: the Windows folder's "Temp", in which
  // users cannot take over one another's entries, where the first call of a
  // process also removes the folders of ended runs, as below); null, with the
  // reason in |error|, when none could be made.
  static std::unique_ptr<ProtectedFolder> Create(const base::FilePath& parent,
                                                 std::string* error);

  // Removes the folders of runs that have ended ("<file name base>_elevated_
  // package_<hex>" folders in |parent| that nobody holds), each with what it
  // holds, through handles only: a link or junction in one is removed itself
  // and what it leads to stays; a folder of that name that is a link is
  // left alone.
  static void RemoveFoldersOfEndedRuns(const base::FilePath& parent);

  // Makes "<file name base>_<kind>_<16 random hex digits>" in |parent| with
  // the security above, without holding it: for folders that must outlive
  // this process (files deleted out of the user's reach). A folder of that
  // name that exists already is never taken; false, with the reason in
  // |error|, when no new one could be made.
  static bool MakeNew(const base::FilePath& parent, const std::string& kind,
                      base::FilePath* folder, std::string* error);

  ProtectedFolder(const ProtectedFolder&) = delete;
  ProtectedFolder& operator=(const ProtectedFolder&) = delete;
  // Removes the folder and everything in it.
  ~ProtectedFolder();

  const base::FilePath& path() const { return path_; }

  // Whether |path| lies in a protected folder this process made and still
  // holds, or in the one whose handle it was handed in |command_line|'s
  // kSwitch.
  static bool IsProtected(const base::CommandLine& command_line, const base::FilePath& path);

  // Hands the protected folder that holds |path| (as IsProtected finds it) to
  // |child|: an inheritable copy of its handle, named in |child|'s kSwitch
  // and handed out in |inherited| for the launch's list of handles to
  // inherit, closed when |inherited| goes after the launch. False, with
  // nothing appended, when no such folder holds |path| or the copy fails.
  static bool HandDown(const base::CommandLine& command_line, const base::FilePath& path,
                       base::CommandLine* child, base::win::ScopedHandle* inherited);

 private:
  ProtectedFolder(base::FilePath path, base::win::ScopedHandle handle);

  // The handle of the protected folder that holds |path|; null when none.
  static HANDLE FindHolder(const base::CommandLine& command_line, const base::FilePath& path);

  base::FilePath path_;
  base::win::ScopedHandle handle_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_PROTECTED_FOLDER_H_
