// The installer executable: loads the installer library that lies beside it and
// runs its one entry. Exit code 0 when the run succeeded, 1 otherwise.
// It carries the resources (product configuration, string tables, languages,
// icon, manifest) that the library looks up in the process's main executable.
// When the library cannot be used it says why: on the console, and in a
// message box unless the process runs without a user (see RunsUnattended).
//
// The installer is started from folders that web pages and other programs
// write to (the browser's downloads), and its elevated copy runs from the
// same folder: a DLL placed there under the name of a system DLL would be
// found before the system's own. So before anything else this executable
// limits the DLL search of the process to the system folder, and it imports
// nothing itself but kernel32 and the C runtime, which the system always
// loads from its own folder (known DLLs), before any code here runs. The
// other system DLLs it needs are looked up at run time, after the limit.
// It loads only the build of the library it was built with (LibraryCheck).

#include <windows.h>

#include <string>

#include "installer_exe/library_check.h"
#include "installer_exe/library_digest.h"
#include "installer_exe/system_library.h"

namespace {

constexpr wchar_t kLibraryName[] = L"installer_lib.dll";
constexpr char kEntryName[] = "RunInstaller";

using RunInstallerFunction = bool (*)();
using CommandLineToArgvFunction = LPWSTR*(WINAPI*)(LPCWSTR, int*);
using MessageBoxFunction = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT);

// Process modes in which nobody answers a window: a silent run, and the
// processes that another installer starts and waits for (back end,
// protocol-handler registration, folder-permission helper).
constexpr const wchar_t* kUnattendedSwitches[] = {
    L"silent", L"backend", L"register-velto-as-protocol-handler", L"set-folder-permission"};

// Whether the command line holds one of kUnattendedSwitches, read as the
// library reads switches: "--", "-" or "/" before a name in any case, a
// value after "=", and nothing after a lone "--".
bool RunsUnattended() {
  auto command_line_to_argv =
      GetSystemFunction<CommandLineToArgvFunction>(L"shell32.dll", "CommandLineToArgvW");
  // Without the parser nobody can be assumed to answer a box.
  if (!command_line_to_argv)
    return true;
  int count = 0;
  LPWSTR* argv = command_line_to_argv(GetCommandLineW(), &count);
  if (!argv)
    return false;
  bool unattended = false;
  for (int i = 1; i < count && !unattended; ++i) {
    std::wstring arg = argv[i];
    if (arg == L"--")
      break;
    size_t prefix = arg.rfind(L"--", 0) == 0 ? 2 : (arg[0] == L'-' || arg[0] == L'/') ? 1 : 0;
    if (prefix == 0)
      continue;
    std::wstring name = arg.substr(prefix, arg.find(L'=') - prefix);
    for (wchar_t& c : name) {
      if (c >= L'A' && c <= L'Z')
        c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    for (const wchar_t* known : kUnattendedSwitches)
      unattended = unattended || name == known;
  }
  LocalFree(argv);
  return unattended;
}

// The library beside this executable, by its full path.
std::wstring LibraryPath() {
  std::wstring path = RunningExecutablePath();
  if (path.empty())
    return path;
  size_t slash = path.find_last_of(L"\\/");
  path.resize(slash == std::wstring::npos ? 0 : slash + 1);
  return path + kLibraryName;
}

// Writes |text| to the standard error the process was given (a pipe or a
// file), else to the console of the process that started it, if any.
void WriteToConsole(const std::wstring& text) {
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  DWORD written = 0;
  if (error && error != INVALID_HANDLE_VALUE && GetFileType(error) != FILE_TYPE_UNKNOWN) {
    if (GetFileType(error) == FILE_TYPE_CHAR &&
        WriteConsoleW(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
      return;
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                   nullptr, 0, nullptr, nullptr);
    std::string utf8(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                        size, nullptr, nullptr);
    if (WriteFile(error, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr))
      return;
  }
  if (!AttachConsole(ATTACH_PARENT_PROCESS))
    return;
  HANDLE console = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
  if (console != INVALID_HANDLE_VALUE) {
    WriteConsoleW(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(console);
  }
  FreeConsole();
}

// Says why the installer cannot run, on the console when there is one and in
// a message box, instead of ending without a word. An unattended process
// shows no box: it would wait for ever, and with it whoever waits for the
// process. |detail|, when given, says why the library was refused and stands
// in place of the system's error.
int ReportBrokenInstallation(const std::wstring& library_path, const wchar_t* problem,
                             const std::wstring& detail = std::wstring()) {
  const DWORD error = GetLastError();
  const std::wstring text = L"The installer cannot run: " + std::wstring(problem) + L" " +
                            library_path +
                            (detail.empty() ? L" (error " + std::to_wstring(error) + L")"
                                            : L": " + detail) +
                            L". Download the installer again.";
  WriteToConsole(text + L"\n");
  OutputDebugStringW(text.c_str());
  if (RunsUnattended())
    return 1;
  if (auto message_box = GetSystemFunction<MessageBoxFunction>(L"user32.dll", "MessageBoxW"))
    message_box(nullptr, text.c_str(), L"Installer", MB_OK | MB_ICONERROR);
  return 1;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  LimitDllSearch();
  const std::wstring library_path = LibraryPath();
  std::wstring load_path;
  std::wstring refusal;
  HMODULE library = nullptr;
  {
    // Held from before the check until the library is loaded.
    LibraryCheck check(kLibraryDigest);
    if (!check.Check(library_path, &load_path, &refusal))
      return ReportBrokenInstallation(library_path, L"it refused its library", refusal);
    // The library's own folder is not added to the search for its imports:
    // only the library itself comes from the executable's folder.
    library = LoadLibraryExW(load_path.c_str(), nullptr, LoadFlagsForFullPath());
  }
  if (!library)
    return ReportBrokenInstallation(library_path, L"it could not load its library");
  auto run = reinterpret_cast<RunInstallerFunction>(GetProcAddress(library, kEntryName));
  if (!run)
    return ReportBrokenInstallation(library_path, L"it found no entry point in its library");
  // The library stays loaded until the process ends: its at-exit work has
  // already run inside RunInstaller.
  return run() ? 0 : 1;
}
