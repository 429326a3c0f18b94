#include "installer_exe/system_library.h"

#include <string>

namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

// Whether the DLL search of this process is limited to the system folder.
bool g_search_limited = false;

}  // namespace

void LimitDllSearch() {
  ::SetDllDirectoryW(L"");
  auto set_default_directories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories"));
  g_search_limited =
      set_default_directories && set_default_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

DWORD LoadFlagsForFullPath() {
  return g_search_limited ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH;
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return nullptr;
  std::wstring path = std::wstring(folder, length) + L"\\" + name;
  return ::LoadLibraryExW(path.c_str(), nullptr, LoadFlagsForFullPath());
}
