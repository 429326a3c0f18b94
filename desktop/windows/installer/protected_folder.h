// MakeProtectedFolder: a new folder for an elevated process to keep files
// in that the user who started it must not change: the package it takes,
// the files it deletes out of his reach.

#ifndef DESKTOP_WINDOWS_INSTALLER_PROTECTED_FOLDER_H_
#define DESKTOP_WINDOWS_INSTALLER_PROTECTED_FOLDER_H_

#include <string>

#include "base/files/file_path.h"

namespace installer {

// Makes "<file name base>_<kind>_<16 random hex digits>" in |parent|, owned
// by the administrators, with full control for them and the system and
// nothing inherited from |parent|. A folder of that name that exists already
// is someone else's and never taken; false, with the reason in |error|,
// when no new one could be made.
bool MakeProtectedFolder(const base::FilePath& parent, const std::string& kind,
                         base::FilePath* folder, std::string* error);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PROTECTED_FOLDER_H_
