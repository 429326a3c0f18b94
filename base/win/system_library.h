// Loading the system's own DLLs at run time.
//
// A DLL named without a folder is looked for in the executable's folder
// first, among other places, and the installer runs from folders that other
// programs write to (the browser's downloads): a DLL placed there under the
// name of a system DLL would run inside the installer. The host executable
// limits the search of its whole process to the system folder; the library's
// own loads do not rely on that and name the system folder themselves, the
// DLLs the delay-load helper loads on first use included.

#ifndef BASE_WIN_SYSTEM_LIBRARY_H_
#define BASE_WIN_SYSTEM_LIBRARY_H_

#include <windows.h>

namespace base::win {

// The DLL |name| ("dbghelp.dll") from the system folder, and the DLLs it
// imports from there as well; null when the system folder has no such DLL or
// it cannot be loaded. Never looks anywhere else.
HMODULE LoadSystemLibrary(const wchar_t* name);

}  // namespace base::win

#endif  // BASE_WIN_SYSTEM_LIBRARY_H_
