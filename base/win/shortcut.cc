#include "base/win/shortcut.h"

#include <windows.h>

#include <objbase.h>
#include <propkey.h>
#include <propvarutil.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

namespace base::win {

namespace {

// The application user model id as the shell stores it in a shortcut.
constexpr PROPERTYKEY kAppUserModelIdKey = {
    {0x9f4c2855, 0x9f79, 0x4b39, {0xa8, 0xd0, 0xe1, 0xd4, 0x2d, 0xe1, 0xd5, 0xf3}}, 5};

Microsoft::WRL::ComPtr<IShellLinkW> CreateShellLink() {
  Microsoft::WRL::ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&link)))) {
    return nullptr;
  }
  return link;
}

}  // namespace

bool CreateShortcutLink(const FilePath& shortcut, const ShortcutProperties& properties) {
  Microsoft::WRL::ComPtr<IShellLinkW> link = CreateShellLink();
  if (!link || FAILED(link->SetPath(properties.target.value().c_str())) ||
      FAILED(link->SetWorkingDirectory(properties.working_directory.value().c_str())) ||
      FAILED(link->SetArguments(properties.arguments.c_str()))) {
    return false;
  }
  if (!properties.icon.empty() &&
      FAILED(link->SetIconLocation(properties.icon.value().c_str(), properties.icon_index))) {
    return false;
  }
  if (!properties.app_id.empty()) {
    Microsoft::WRL::ComPtr<IPropertyStore> store;
    if (FAILED(link.As(&store)))
      return false;
    PROPVARIANT value;
    PropVariantInit(&value);
    value.vt = VT_LPWSTR;
    value.pwszVal = const_cast<wchar_t*>(properties.app_id.c_str());
    // The value is only borrowed: it is not cleared.
    if (FAILED(store->SetValue(kAppUserModelIdKey, value)) || FAILED(store->Commit()))
      return false;
  }
  Microsoft::WRL::ComPtr<IPersistFile> file;
  return SUCCEEDED(link.As(&file)) && SUCCEEDED(file->Save(shortcut.value().c_str(), TRUE));
}

bool ResolveShortcut(const FilePath& shortcut, FilePath* target, std::wstring* arguments,
                     std::wstring* app_id) {
  Microsoft::WRL::ComPtr<IShellLinkW> link = CreateShellLink();
  Microsoft::WRL::ComPtr<IPersistFile> file;
  if (!link || FAILED(link.As(&file)) || FAILED(file->Load(shortcut.value().c_str(), STGM_READ)))
    return false;
  wchar_t path[MAX_PATH] = {};
  if (FAILED(link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH)))
    return false;
  *target = FilePath(path);
  if (arguments) {
    wchar_t text[INFOTIPSIZE] = {};
    if (FAILED(link->GetArguments(text, INFOTIPSIZE)))
      return false;
    *arguments = text;
  }
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

bool UnpinShortcutFromTaskbar(const FilePath& shortcut) {
  HINSTANCE result = ShellExecuteW(nullptr, L"taskbarunpin", shortcut.value().c_str(), nullptr,
                                   nullptr, 0);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace base::win
