#include "base/win/system_library.h"

#include <delayimp.h>

#include <string>

namespace base::win {

HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return nullptr;
  const std::wstring path = std::wstring(folder, length) + L"\\" + name;
  // Where the system can limit the search for the DLL's own imports to its
  // folder, it does; elsewhere the DLL's folder (the system folder) at least
  // comes first.
  HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!module && ::GetLastError() == ERROR_INVALID_PARAMETER)
    module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  return module;
}

namespace {

// Called by the delay-load helper before it loads a delay-imported DLL by its
// bare name; the module returned here is taken instead. Only a DLL missing
// from the system folder would still reach the helper's own search, and the
// delay-imported ones are all present on every supported Windows.
FARPROC WINAPI LoadDelayImportedLibrary(unsigned notification, PDelayLoadInfo info) {
  if (notification != dliNotePreLoadLibrary || !info || !info->szDll)
    return nullptr;
  std::wstring name;
  for (const char* c = info->szDll; *c; ++c)
    name.push_back(static_cast<unsigned char>(*c));
  return reinterpret_cast<FARPROC>(LoadSystemLibrary(name.c_str()));
}

}  // namespace

}  // namespace base::win

// The helper's hook (declared by delayimp.h); defined here, it replaces the
// runtime's empty default.
extern "C" {
PfnDliHook __pfnDliNotifyHook2 = base::win::LoadDelayImportedLibrary;
}
