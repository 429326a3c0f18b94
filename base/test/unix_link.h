// Links for tests of code that must not follow one. A test process cannot
// make junctions under Wine (it knows no FSCTL_SET_REPARSE_POINT), but a Unix
// symbolic link inside the prefix leads every open to its target, as a
// junction or file link does on Windows, even with
// FILE_FLAG_OPEN_REPARSE_POINT. A link to a folder reports itself as a
// reparse point; one to a file does not, but a handle opened through it
// names the target (GetFinalPathNameByHandleW). Wine's CreateProcess starts
// the Unix ln directly, with Unix paths.

#ifndef BASE_TEST_UNIX_LINK_H_
#define BASE_TEST_UNIX_LINK_H_

#include <string>

#include "base/files/file_path.h"

namespace base::test {

// The Unix path of the Windows path |path| (Wine's own translation); |path|
// itself outside Wine, empty when it has none.
std::string UnixPath(const FilePath& path);

// Starts the Unix program that |command_line| names (its first word, a
// Windows path such as "Z:\bin\ln"). Wine gives no handle that can be
// waited on for a Unix process: the caller waits for what it makes. False
// when it did not start.
bool StartUnixProgram(std::wstring command_line);

// Makes |link| a symbolic link to the existing file or folder |target| and
// waits until it shows. False when it did not come (outside Wine, always).
bool MakeUnixLink(const FilePath& target, const FilePath& link);

}  // namespace base::test

#endif  // BASE_TEST_UNIX_LINK_H_
