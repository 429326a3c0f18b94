#include "desktop/windows/installer/service/shortcut_matching.h"

#include <objbase.h>
#include <propkey.h>
#include <propvarutil.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include "base/base_paths.h"
#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_handle.h"
#include "base/win/shortcut.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/service/installation.h"
#include "desktop/windows/installer/service/system_utils.h"

namespace installer {

namespace {

bool IsSameFile(const base::FilePath& target, const base::FilePath& exe,
                const BY_HANDLE_FILE_INFORMATION* identity) {
  if (CompareStringOrdinal(target.value().c_str(), -1, exe.value().c_str(), -1, TRUE) ==
      CSTR_EQUAL) {
    return true;
  }
  if (!identity)
    return false;
  BY_HANDLE_FILE_INFORMATION target_identity;
  if (!GetFileIdentity(target, &target_identity))
    return false;
  return target_identity.dwVolumeSerialNumber == identity->dwVolumeSerialNumber &&
         target_identity.nFileIndexHigh == identity->nFileIndexHigh &&
         target_identity.nFileIndexLow == identity->nFileIndexLow;
}

}  // namespace

bool GetFileIdentity(const base::FilePath& path, BY_HANDLE_FILE_INFORMATION* identity) {
  base::win::ScopedHandle file(CreateFileW(path.value().c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                           nullptr));
  if (!file.IsValid())
    return false;
  return GetFileInformationByHandle(file.Get(), identity) != 0;
}

bool IsShortcutToFile(const base::FilePath& shortcut,
                      const base::FilePath& exe,
                      const BY_HANDLE_FILE_INFORMATION* identity) {
  VLOG(1) << "Testing shortcut " << shortcut.AsUTF8Unsafe();
  if (shortcut.empty() || !base::PathExists(shortcut))
    return false;
  base::FilePath target;
  if (!base::win::ResolveShortcut(shortcut, &target, nullptr, nullptr))
    return false;
  return IsSameFile(target, exe, identity);
}

std::vector<base::FilePath> GetInstallationShortcutTargets(const base::FilePath& install_path,
                                                           const std::wstring& subfolder) {
  const std::wstring browser_exe = base::UTF8ToWide(GetBrowserExecutableName());
  return {install_path.Append(kLauncherExeName), install_path.Append(browser_exe),
          install_path.Append(subfolder).Append(browser_exe)};
}

bool IsShortcutOfInstallation(const base::FilePath& shortcut,
                              const base::FilePath& install_path,
                              const std::wstring& subfolder) {
  for (const base::FilePath& target : GetInstallationShortcutTargets(install_path, subfolder)) {
    BY_HANDLE_FILE_INFORMATION identity;
    if (IsShortcutToFile(shortcut, target,
                         GetFileIdentity(target, &identity) ? &identity : nullptr)) {
      return true;
    }
  }
  return false;
}

void FindPinnedShortcuts(const base::FilePath& exe,
                         const std::string& app_id_suffix,
                         const BY_HANDLE_FILE_INFORMATION* identity,
                         std::vector<base::FilePath>* out) {
  if (base::win::GetVersion() < base::win::VERSION_WIN7)
    return;
  base::FilePath pins;
  if (!base::PathService::Get(base::DIR_TASKBAR_PINS, &pins))
    return;
  FindPinnedShortcutsInFolder(pins, exe, app_id_suffix, identity, out);
}

void FindPinnedShortcutsInFolder(const base::FilePath& folder,
                                 const base::FilePath& exe,
                                 const std::string& app_id_suffix,
                                 const BY_HANDLE_FILE_INFORMATION* identity,
                                 std::vector<base::FilePath>* out) {
  if (!base::DirectoryExists(folder))
    return;
  base::FileEnumerator pins(folder, false, base::FileEnumerator::FILES, L"*.lnk");
  for (base::FilePath pin = pins.Next(); !pin.empty(); pin = pins.Next()) {
    base::FilePath target;
    std::wstring app_id;
    if (base::win::ResolveShortcut(pin, &target, nullptr, &app_id) &&
        IsPinOf(target, app_id, exe, app_id_suffix, identity)) {
      out->push_back(pin);
    }
  }
}

bool IsPinOf(const base::FilePath& target,
             const std::wstring& app_id,
             const base::FilePath& exe,
             const std::string& app_id_suffix,
             const BY_HANDLE_FILE_INFORMATION* identity) {
  return IsSameFile(target, exe, identity) &&
         base::EndsWith(app_id, L"." + base::ASCIIToWide(app_id_suffix),
                        base::CompareCase::INSENSITIVE_ASCII);
}

}  // namespace installer
