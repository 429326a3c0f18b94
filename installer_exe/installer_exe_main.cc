// The installer executable: loads the installer library that lies beside it and
// runs its one entry. Exit code 0 when the run succeeded, 1 otherwise.
// It carries the resources (product configuration, string tables, languages,
// icon, manifest) that the library looks up in the process's main executable.

#include <windows.h>

#include <string>

namespace {

constexpr wchar_t kLibraryName[] = L"installer_lib.dll";
constexpr char kEntryName[] = "RunInstaller";

using RunInstallerFunction = bool (*)();

// The library is loaded by full path so that a DLL of the same name in the
// current folder or on PATH is never picked up instead.
std::wstring LibraryPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0)
      return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  size_t slash = path.find_last_of(L"\\/");
  path.resize(slash == std::wstring::npos ? 0 : slash + 1);
  return path + kLibraryName;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::wstring library_path = LibraryPath();
  HMODULE library = LoadLibraryExW(library_path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!library)
    return 1;
  auto run = reinterpret_cast<RunInstallerFunction>(GetProcAddress(library, kEntryName));
  if (!run)
    return 1;
  // The library stays loaded until the process ends: its at-exit work has
  // already run inside RunInstaller.
  return run() ? 0 : 1;
}
