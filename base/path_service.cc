#include "base/path_service.h"

#include <windows.h>
#include <shlobj.h>

#include <map>
#include <mutex>
#include <string>

#include "base/files/file_util.h"

namespace base {

namespace {

struct OverrideTable {
  std::mutex lock;
  std::map<int, FilePath> paths;
};

OverrideTable& Overrides() {
  static OverrideTable* table = new OverrideTable();
  return *table;
}

bool GetModulePath(HMODULE module, FilePath* path) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0)
      return false;
    if (length < buffer.size()) {
      buffer.resize(length);
      *path = FilePath(buffer);
      return true;
    }
    // Truncated: try a larger buffer.
    if (buffer.size() >= 32768)
      return false;
    buffer.resize(buffer.size() * 2);
  }
}

// The module that holds this function: the DLL when linked into one.
HMODULE ThisModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

bool GetShellFolder(int csidl, FilePath* path) {
  wchar_t buffer[MAX_PATH];
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer)))
    return false;
  *path = FilePath(buffer).StripTrailingSeparators();
  return true;
}

bool ResolveFromSystem(int key, FilePath* path) {
  FilePath result;
  switch (key) {
    case DIR_CURRENT: {
      DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
      if (needed == 0)
        return false;
      std::wstring buffer(needed, L'\0');
      DWORD length = ::GetCurrentDirectoryW(needed, buffer.data());
      if (length == 0 || length >= needed)
        return false;
      buffer.resize(length);
      result = FilePath(buffer).StripTrailingSeparators();
      break;
    }
    case FILE_EXE:
      if (!GetModulePath(nullptr, &result))
        return false;
      break;
    case DIR_EXE:
      if (!GetModulePath(nullptr, &result))
        return false;
      result = result.DirName();
      break;
    case FILE_MODULE:
      if (!GetModulePath(ThisModule(), &result))
        return false;
      break;
    case DIR_MODULE:
      if (!GetModulePath(ThisModule(), &result))
        return false;
      result = result.DirName();
      break;
    case DIR_TEMP:
      if (!GetTempDir(&result))
        return false;
      break;
    case DIR_HOME:
      if (!GetShellFolder(CSIDL_PROFILE, &result))
        return false;
      break;
    case DIR_WINDOWS: {
      // The system's own: on a Remote Desktop host, GetWindowsDirectoryW (and
      // the shell's CSIDL_WINDOWS) may tell a process that is not marked
      // Terminal Server aware a folder of its user's.
      wchar_t buffer[MAX_PATH];
      const UINT length = ::GetSystemWindowsDirectoryW(buffer, MAX_PATH);
      if (length == 0 || length >= MAX_PATH)
        return false;
      result = FilePath(std::wstring(buffer, length)).StripTrailingSeparators();
      break;
    }
    case DIR_SYSTEM:
      if (!GetShellFolder(CSIDL_SYSTEM, &result))
        return false;
      break;
    case DIR_PROGRAM_FILES:
      if (!GetShellFolder(CSIDL_PROGRAM_FILES, &result))
        return false;
      break;
    case DIR_PROGRAM_FILESX86:
      // 32-bit Windows has no separate folder: both keys name the same one.
      if (!GetShellFolder(CSIDL_PROGRAM_FILESX86, &result) &&
          !GetShellFolder(CSIDL_PROGRAM_FILES, &result)) {
        return false;
      }
      break;
    case DIR_APP_DATA:
      if (!GetShellFolder(CSIDL_APPDATA, &result))
        return false;
      break;
    case DIR_LOCAL_APP_DATA:
      if (!GetShellFolder(CSIDL_LOCAL_APPDATA, &result))
        return false;
      break;
    case DIR_COMMON_APP_DATA:
      if (!GetShellFolder(CSIDL_COMMON_APPDATA, &result))
        return false;
      break;
    case DIR_USER_DESKTOP:
      if (!GetShellFolder(CSIDL_DESKTOPDIRECTORY, &result))
        return false;
      break;
    case DIR_COMMON_DESKTOP:
      if (!GetShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY, &result))
        return false;
      break;
    case DIR_START_MENU:
      if (!GetShellFolder(CSIDL_PROGRAMS, &result))
        return false;
      break;
    case DIR_COMMON_START_MENU:
      if (!GetShellFolder(CSIDL_COMMON_PROGRAMS, &result))
        return false;
      break;
    case DIR_USER_QUICK_LAUNCH:
      if (!PathService::Get(DIR_APP_DATA, &result))
        return false;
      result = result.Append(L"Microsoft\\Internet Explorer\\Quick Launch");
      break;
    case DIR_TASKBAR_PINS:
      if (!PathService::Get(DIR_USER_QUICK_LAUNCH, &result))
        return false;
      result = result.Append(L"User Pinned\\TaskBar");
      break;
    default:
      return false;
  }
  *path = result;
  return true;
}

}  // namespace

bool PathService::Get(int key, FilePath* path) {
  if (key <= PATH_START || key >= PATH_END)
    return false;
  {
    OverrideTable& table = Overrides();
    std::lock_guard<std::mutex> hold(table.lock);
    auto found = table.paths.find(key);
    if (found != table.paths.end()) {
      *path = found->second;
      return true;
    }
  }
  return ResolveFromSystem(key, path);
}

bool PathService::Override(int key, const FilePath& path) {
  if (key <= PATH_START || key >= PATH_END)
    return false;
  FilePath absolute = MakeAbsoluteFilePath(path);
  if (absolute.empty())
    return false;
  OverrideTable& table = Overrides();
  std::lock_guard<std::mutex> hold(table.lock);
  table.paths[key] = absolute.StripTrailingSeparators();
  return true;
}

bool PathService::RemoveOverride(int key) {
  OverrideTable& table = Overrides();
  std::lock_guard<std::mutex> hold(table.lock);
  return table.paths.erase(key) != 0;
}

}  // namespace base
