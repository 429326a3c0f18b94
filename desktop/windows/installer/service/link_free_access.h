// Files and folders that a program of lesser rights can change while an
// elevated installer works with them: the package folder in the user's
// temporary folder, a folder a user asked rights for. A link, junction or
// mount point on the way would lead the elevated process somewhere the user
// could not go himself (a system folder, another user's files), so every
// open here refuses a path that passes through one, its last component
// included, and then checks, through the handle, that the object opened is
// the one the path names (base::PassesThroughReparsePoint and
// base::IsOpenAtPath, which the log file uses too). A file opened here has
// one name only: a hard link would let the user hand over a file he could
// not read.
//
// Under Wine a Unix symbolic link inside the prefix reports itself as a
// reparse point; Wine cannot make junctions (FSCTL_SET_REPARSE_POINT).

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_LINK_FREE_ACCESS_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_LINK_FREE_ACCESS_H_

#include <windows.h>

#include <string>

#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"

namespace installer {

// Opens the existing folder (|folder|) or file |path| with |access| and
// |share|. Invalid, with the reason in |reason|, when the path passes through
// a reparse point, when the object opened is of the other kind or lies
// elsewhere than |path| names, or when a file has more than one name.
base::win::ScopedHandle OpenWithoutLinks(const base::FilePath& path, bool folder, DWORD access,
                                         DWORD share, std::string* reason);

// Reads the file |path|, opened as OpenWithoutLinks does and kept from being
// written meanwhile; false when it is larger than |max_size|.
bool ReadFileWithoutLinks(const base::FilePath& path, size_t max_size, std::string* contents,
                          std::string* reason);

// Copies the file |from|, opened so, into the new file |to| (which must not
// exist), through that one handle.
bool CopyFileWithoutLinks(const base::FilePath& from, const base::FilePath& to,
                          std::string* reason);

// Deletes the file or (empty) folder |path|, opened as OpenWithoutLinks
// does: the object deleted is the one the path names, never one a link or
// junction on the way leads to, and a link in its place is left alone.
bool DeleteWithoutLinks(const base::FilePath& path, bool folder, std::string* reason);

// Copies the folder |from| with everything below it into |to| (made when
// missing); false when any entry cannot be taken so.
bool CopyFolderWithoutLinks(const base::FilePath& from, const base::FilePath& to,
                            std::string* reason);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_LINK_FREE_ACCESS_H_
