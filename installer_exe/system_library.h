// How installer.exe reaches the system DLLs it does not import: by their full
// path in the system folder, after the DLL search of the process has been
// limited to that folder, so that no DLL of the same name beside the
// installer (in a Downloads folder, say) is ever loaded in their place.

#ifndef INSTALLER_EXE_SYSTEM_LIBRARY_H_
#define INSTALLER_EXE_SYSTEM_LIBRARY_H_

#include <windows.h>

// Makes the system folder the only place where DLLs named without a folder
// are looked for: the library's imports, the DLLs those import and the ones
// any code loads later. Systems without SetDefaultDllDirectories (Windows 7
// without its 2011 loader update) only lose the current folder from the
// search; the executable's folder stays first there.
void LimitDllSearch();

// The flags that load a DLL by its full path with its own imports searched
// as LimitDllSearch left the search.
DWORD LoadFlagsForFullPath();

// |name| from the system folder, its dependencies searched there first.
HMODULE LoadSystemLibrary(const wchar_t* name);

template <typename Function>
Function GetSystemFunction(const wchar_t* library, const char* name) {
  HMODULE module = LoadSystemLibrary(library);
  return module ? reinterpret_cast<Function>(::GetProcAddress(module, name)) : nullptr;
}

#endif  // INSTALLER_EXE_SYSTEM_LIBRARY_H_
