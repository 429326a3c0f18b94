// Paths that come from files the installer reads (files_list,
// root_files_list, status files, server replies) name something inside a
// folder of the installation. They are used only when they cannot leave that
// folder: relative, without a drive, root or UNC prefix, without ":" (drives
// and alternate data streams) and without "." or ".." or empty components.
#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_CONTAINED_PATH_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_CONTAINED_PATH_H_

#include <string_view>

#include "base/files/file_path.h"

namespace installer {

// Whether |relative| stays inside whatever folder it is appended to. Either
// separator counts; control characters are refused as well.
bool IsContainedRelativePath(std::wstring_view relative);
bool IsContainedRelativePath(std::string_view relative);

// |folder| joined with |relative| when that is contained; false (|result|
// untouched) otherwise.
bool AppendContainedPath(const base::FilePath& folder, std::wstring_view relative,
                         base::FilePath* result);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_CONTAINED_PATH_H_
