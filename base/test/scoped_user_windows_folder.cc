#include "base/test/scoped_user_windows_folder.h"

#include <tlhelp32.h>

#include <cwchar>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/test/test_environment.h"

namespace base::test {

namespace {

// The folder the stand-in tells; set while an object lives.
std::wstring* g_user_folder = nullptr;

UINT WINAPI UserWindowsDirectory(LPWSTR buffer, UINT size) {
  const UINT length = static_cast<UINT>(g_user_folder->size());
  if (!buffer || size <= length)
    return length + 1;
  wmemcpy(buffer, g_user_folder->c_str(), length + 1);
  return length;
}

void Point(void** entry, void* function) {
  DWORD protection = 0;
  ::VirtualProtect(entry, sizeof(*entry), PAGE_READWRITE, &protection);
  *entry = function;
  ::VirtualProtect(entry, sizeof(*entry), protection, &protection);
}

// The import table entries of |module| that hold one of |functions|, with
// what they hold.
void FindEntries(HMODULE module, const std::vector<void*>& functions,
                 std::vector<std::pair<void**, void*>>* entries) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0 || imports.Size == 0)
    return;
  for (auto* descriptor =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       descriptor->Name != 0; ++descriptor) {
    for (auto** entry = reinterpret_cast<void**>(base + descriptor->FirstThunk); *entry;
         ++entry) {
      for (void* function : functions) {
        if (function && *entry == function) {
          entries->push_back({entry, function});
          break;
        }
      }
    }
  }
}

}  // namespace

ScopedUserWindowsFolder::ScopedUserWindowsFolder() {
  g_user_folder = new std::wstring(ScratchFolder() + L"\\" + UniqueName(L"user") + L"\\WINDOWS");
  CreateDirectory(FilePath(*g_user_folder));
  // Wherever the modules import it from.
  std::vector<void*> functions;
  for (const wchar_t* exporter : {L"kernel32.dll", L"kernelbase.dll"}) {
    HMODULE module = ::GetModuleHandleW(exporter);
    if (module)
      functions.push_back(
          reinterpret_cast<void*>(::GetProcAddress(module, "GetWindowsDirectoryW")));
  }
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, ::GetCurrentProcessId());
  if (snapshot == INVALID_HANDLE_VALUE)
    return;
  MODULEENTRY32W module = {sizeof(module)};
  for (BOOL more = ::Module32FirstW(snapshot, &module); more;
       more = ::Module32NextW(snapshot, &module)) {
    FindEntries(module.hModule, functions, &patched_);
  }
  ::CloseHandle(snapshot);
  for (const auto& [entry, function] : patched_)
    Point(entry, reinterpret_cast<void*>(&UserWindowsDirectory));
}

ScopedUserWindowsFolder::~ScopedUserWindowsFolder() {
  for (const auto& [entry, function] : patched_)
    Point(entry, function);
  delete g_user_folder;
  g_user_folder = nullptr;
}

const std::wstring& ScopedUserWindowsFolder::folder() const {
  return *g_user_folder;
}

// static
std::wstring ScopedUserWindowsFolder::SystemFolder() {
  wchar_t folder[MAX_PATH];
  const UINT length = ::GetSystemWindowsDirectoryW(folder, MAX_PATH);
  return length < MAX_PATH ? std::wstring(folder, length) : std::wstring();
}

}  // namespace base::test
