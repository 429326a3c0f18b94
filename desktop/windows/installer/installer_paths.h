// Names and folders of an installer process: its log file, its folder under
// the temporary folder, and a folder from which a copy of the installer can be
// started (some machines forbid running programs from the temporary folder).

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_PATHS_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_PATHS_H_

#include <string>
#include <string_view>

#include "base/files/file_path.h"
#include "base/time/time.h"

namespace base {
class CommandLine;
}

namespace installer {

// The installer executable inside an unpacked package.
inline constexpr wchar_t kPackageInstallerName[] = L"installer.exe";
// The library it loads from its own folder.
inline constexpr wchar_t kPackageLibraryName[] = L"installer_lib.dll";
// The package file kept in an unpacked package folder: the package as it was
// downloaded, or a copy of the installer that carries the full package. An
// elevated installer takes the package from it (ProtectedPackage).
inline constexpr wchar_t kPackageFileName[] = L"velto_package.exe";
// The preferences the fetcher adds to an unpacked package (the welcome page).
inline constexpr wchar_t kInstallerPrefsIncludeFileName[] = L"installer_prefs_include.json";

// "%s Installer" with the product name as configured ("Velto Installer").
std::wstring GetInstallerFolderName();

// |format| with its one "%s" filled with the product name, lower-cased (ASCII)
// when |lower_case| is set. The product name is read once per process.
std::string FormatWithProductName(std::string_view format, bool lower_case);

// "velto_installer_YYYYMMDDhhmmssmmm.log" for the given local time.
std::wstring GetLogFileName(const base::Time::Exploded& local_time);

// A log file of this process: GetLogFileName of |time| (the start of the
// process, or a later millisecond when that name is taken) in the installer
// folder under the temporary folder (created when missing), or the bare name
// (relative to the current folder) when that folder cannot be had. With
// |refuse_links| (an elevated run, see logging::LoggingSettings) the folder
// is not created through a link, junction or mount point on the way to it.
base::FilePath GetLogFilePath(const base::Time& time, bool refuse_links);

// The last argument of |command_line| as a path when it is absolute, else an
// empty path. Old autoupdaters passed the install folder that way.
base::FilePath RecoverInstallFolderFromCommandLine(const base::CommandLine& command_line);

// Finds a folder named |folder_name| under the temporary folder, the user's
// Downloads folder, the home folder or the executable's folder, in that
// order, in which a copy of |executable| starts (it is run with "--version").
// An empty |executable| takes the first folder that exists or can be made.
// Folders made for a candidate that fails are removed again.
bool FindRunnableTempFolder(const std::wstring& folder_name, const base::FilePath& executable,
                            base::FilePath* folder);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_PATHS_H_
