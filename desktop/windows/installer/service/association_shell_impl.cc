#include "desktop/windows/installer/service/association_shell_impl.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <wrl/client.h>

#include "base/logging.h"
#include "base/strings/stringprintf.h"
#include "desktop/windows/installer/service/system_utils.h"

namespace installer {

namespace {

// {591209C7-767B-42B2-9FBA-44EE4615F2C7}
constexpr CLSID kApplicationAssociationRegistrationClsid = {
    0x591209c7, 0x767b, 0x42b2, {0x9f, 0xba, 0x44, 0xee, 0x46, 0x15, 0xf2, 0xc7}};
// {4E530B0A-E611-4C77-A3AC-9031D022281B}
constexpr IID kApplicationAssociationRegistrationIid = {
    0x4e530b0a, 0xe611, 0x4c77, {0xa3, 0xac, 0x90, 0x31, 0xd0, 0x22, 0x28, 0x1b}};
// {45BA127D-10A8-46EA-8AB7-56EA9078943C}
constexpr CLSID kApplicationActivationManagerClsid = {
    0x45ba127d, 0x10a8, 0x46ea, {0x8a, 0xb7, 0x56, 0xea, 0x90, 0x78, 0x94, 0x3c}};
// {2E941141-7F97-4756-BA1D-9DECDE894A3D}
constexpr IID kApplicationActivationManagerIid = {
    0x2e941141, 0x7f97, 0x4756, {0xba, 0x1d, 0x9d, 0xec, 0xde, 0x89, 0x4a, 0x3d}};

// The SDK headers declare the activation manager only for Windows 8 targets;
// this build targets Windows 7 and must still reach it on later systems.
struct ApplicationActivationManager : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE ActivateApplication(LPCWSTR app_user_model_id,
                                                        LPCWSTR arguments, int options,
                                                        DWORD* process_id) = 0;
  virtual HRESULT STDMETHODCALLTYPE ActivateForFile(IShellItemArray* items, LPCWSTR verb,
                                                    int options, DWORD* process_id) = 0;
  virtual HRESULT STDMETHODCALLTYPE ActivateForProtocol(IShellItemArray* items, int options,
                                                        DWORD* process_id) = 0;
};

constexpr wchar_t kSettingsAppId[] =
    L"windows.immersivecontrolpanel_cw5n1h2txyewy!microsoft.windows.immersivecontrolpanel";
constexpr wchar_t kDefaultAppsPage[] = L"page=SettingsPageAppsDefaults";

Microsoft::WRL::ComPtr<IApplicationAssociationRegistration> CreateAssociationRegistration() {
  Microsoft::WRL::ComPtr<IApplicationAssociationRegistration> registration;
  HRESULT hr = CoCreateInstance(kApplicationAssociationRegistrationClsid, nullptr,
                                CLSCTX_INPROC_SERVER, kApplicationAssociationRegistrationIid,
                                reinterpret_cast<void**>(registration.GetAddressOf()));
  if (FAILED(hr)) {
    VLOG(1) << "Cannot create the association registration: " << std::hex << hr;
    return nullptr;
  }
  return registration;
}

}  // namespace

// static
AssociationShell* AssociationShellImpl::GetInstance() {
  // Never destroyed, so it stays usable from at-exit callbacks.
  static AssociationShell* const instance = new AssociationShellImpl();
  return instance;
}

bool AssociationShellImpl::QueryAppIsDefault(const std::wstring& query, ASSOCIATIONTYPE type,
                                             const std::wstring& app_name, bool* is_default) {
  auto registration = CreateAssociationRegistration();
  if (!registration)
    return false;
  BOOL answer = FALSE;
  HRESULT hr = registration->QueryAppIsDefault(query.c_str(), type, AL_EFFECTIVE,
                                               app_name.c_str(), &answer);
  if (FAILED(hr)) {
    VLOG(1) << "QueryAppIsDefault failed: " << std::hex << hr;
    return false;
  }
  *is_default = answer != FALSE;
  return true;
}

bool AssociationShellImpl::SetAppAsDefault(const std::wstring& app_name,
                                           const std::wstring& query, ASSOCIATIONTYPE type) {
  auto registration = CreateAssociationRegistration();
  if (!registration)
    return false;
  HRESULT hr = registration->SetAppAsDefault(app_name.c_str(), query.c_str(), type);
  if (FAILED(hr)) {
    VLOG(1) << "SetAppAsDefault failed: " << std::hex << hr;
    return false;
  }
  return true;
}

bool AssociationShellImpl::HasAppAssociationRegistration() {
  return installer::HasAppAssociationRegistration();
}

bool AssociationShellImpl::SetDefaultThroughAssociationRegistration(
    const std::wstring& app_name, const std::wstring& name, bool is_extension) {
  return installer::SetDefaultThroughAssociationRegistration(app_name, name, is_extension);
}

bool AssociationShellImpl::ShowOpenWithDialog(const std::wstring& name) {
  OPENASINFO info = {};
  info.pcszFile = name.c_str();
  info.pcszClass = nullptr;
  info.oaifInFlags = OAIF_URL_PROTOCOL | OAIF_FORCE_REGISTRATION | OAIF_REGISTER_EXT;
  HRESULT hr = SHOpenWithDialog(nullptr, &info);
  if (FAILED(hr)) {
    VLOG(1) << "SHOpenWithDialog failed: " << std::hex << hr;
    return false;
  }
  return true;
}

bool AssociationShellImpl::OpenDefaultAppsSettings(const std::wstring& target) {
  Microsoft::WRL::ComPtr<ApplicationActivationManager> manager;
  HRESULT hr = CoCreateInstance(kApplicationActivationManagerClsid, nullptr, CLSCTX_ALL,
                                kApplicationActivationManagerIid,
                                reinterpret_cast<void**>(manager.GetAddressOf()));
  if (FAILED(hr)) {
    VLOG(1) << "Cannot create the activation manager: " << std::hex << hr;
    return false;
  }
  CoAllowSetForegroundWindow(manager.Get(), nullptr);
  DWORD process_id = 0;
  hr = manager->ActivateApplication(kSettingsAppId, kDefaultAppsPage, 0, &process_id);
  if (FAILED(hr)) {
    VLOG(1) << "Cannot open the default apps settings: " << std::hex << hr;
    return false;
  }
  std::wstring arguments =
      base::StringPrintf(L"page=SettingsPageAppsDefaults&target=%ls", target.c_str());
  manager->ActivateApplication(kSettingsAppId, arguments.c_str(), 0, &process_id);
  return true;
}

void AssociationShellImpl::NotifyAssociationsChanged() {
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

void AssociationShellImpl::BroadcastSettingChange(const std::wstring& area) {
  SendNotifyMessageW(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                     reinterpret_cast<LPARAM>(area.c_str()));
}

}  // namespace installer
