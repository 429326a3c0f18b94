// Names that come from outside (archive entries, file names in a server reply)
// are joined to a folder of ours. Such a name must stay inside that folder and
// name an ordinary file there: this is the one test of that.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_SAFE_RELATIVE_PATH_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_SAFE_RELATIVE_PATH_H_

#include <string_view>

namespace installer {

// True when |path| is a relative path of one or more plain names separated by
// "\" or "/": no empty name (so no root, no leading, doubled or trailing
// separator), no "." or "..", no drive or stream (":"), no control character
// (so no line break either) or other character Windows refuses in names
// (<>"|?*), no name ending in a dot or blank (Windows would drop it), and no
// device name (CON, NUL, COM1, ... also with an extension).
bool IsSafeRelativePath(std::wstring_view path);
bool IsSafeRelativePath(std::string_view utf8_path);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_SAFE_RELATIVE_PATH_H_
