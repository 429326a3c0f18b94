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
#include "base/win/windows_version.h"

namespace installer {

namespace {

// The application user model id as the shell stores it in a shortcut.
constexpr PROPERTYKEY kAppUserModelIdKey = {
    {0x9f4c2855, 0x9f79, 0x4b39, {0xa8, 0xd0, 0xe1, 0xd4, 0x2d, 0xe1, 0xd5, 0xf3}}, 5};

// Loads |shortcut| and reads its target and, when asked, its app id.
bool ResolveShortcut(const base::FilePath& shortcut, base::FilePath* target,
                     std::wstring* app_id) {
  Microsoft::WRL::ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&link)))) {
    return false;
  }
  Microsoft::WRL::ComPtr<IPersistFile> file;
  if (FAILED(link.As(&file)) || FAILED(file->Load(shortcut.value().c_str(), STGM_READ)))
    return false;
  wchar_t path[MAX_PATH] = {};
  if (FAILED(link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH)))
    return false;
  *target = base::FilePath(path);
  if (!app_id)
    return true;
  app_id->clear();
  Microsoft::WRL::ComPtr<IPropertyStore> store;
  if (FAILED(link.As(&store)))
    return false;
  PROPVARIANT value;
  PropVariantInit(&value);
  if (FAILED(store->GetValue(kAppUserModelIdKey, &value)))
    return false;
  if (value.vt == VT_LPWSTR && value.pwszVal)
    *app_id = value.pwszVal;
  PropVariantClear(&value);
  return true;
}

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
  if (!ResolveShortcut(shortcut, &target, nullptr))
    return false;
  return IsSameFile(target, exe, identity);
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
  const std::wstring suffix = L"." + base::ASCIIToWide(app_id_suffix);
  base::FileEnumerator pins(folder, false, base::FileEnumerator::FILES, L"*.lnk");
  for (base::FilePath pin = pins.Next(); !pin.empty(); pin = pins.Next()) {
    base::FilePath target;
    std::wstring app_id;
    if (!ResolveShortcut(pin, &target, &app_id))
      continue;
    if (!IsSameFile(target, exe, identity))
      continue;
    if (!base::EndsWith(app_id, suffix, base::CompareCase::INSENSITIVE_ASCII))
      continue;
    out->push_back(pin);
  }
}

}  // namespace installer
