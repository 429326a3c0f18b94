#include "desktop/windows/installer/steps/uninstall_process_launcher_impl.h"

#include <shellapi.h>
#include <wbemidl.h>
#include <wrl/client.h>

#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_bstr.h"
#include "base/win/scoped_handle.h"
#include "base/win/scoped_variant.h"

namespace installer {

namespace {

using Wow64DisableFunction = BOOL(WINAPI*)(PVOID*);
using Wow64RevertFunction = BOOL(WINAPI*)(PVOID);

// Turns off the file-system redirection of a 32-bit process on 64-bit
// Windows for its lifetime; does nothing elsewhere.
class ScopedDisableWow64Redirection {
 public:
  ScopedDisableWow64Redirection() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto disable = reinterpret_cast<Wow64DisableFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
    revert_ = reinterpret_cast<Wow64RevertFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
    disabled_ = disable && revert_ && disable(&previous_);
  }
  ScopedDisableWow64Redirection(const ScopedDisableWow64Redirection&) = delete;
  ScopedDisableWow64Redirection& operator=(const ScopedDisableWow64Redirection&) = delete;
  ~ScopedDisableWow64Redirection() {
    if (disabled_)
      revert_(previous_);
  }

 private:
  Wow64RevertFunction revert_ = nullptr;
  PVOID previous_ = nullptr;
  bool disabled_ = false;
};

}  // namespace

// static
UninstallProcessLauncher* UninstallProcessLauncherImpl::GetInstance() {
  static UninstallProcessLauncherImpl instance;
  return &instance;
}

bool UninstallProcessLauncherImpl::RunAndWait(const std::wstring& program,
                                              const std::wstring& parameters) {
  SHELLEXECUTEINFOW info = {sizeof(info)};
  // No error box: nobody may be there to answer it, and it would hold the
  // uninstallation; the error is logged and comes back instead.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_DOENVSUBST | SEE_MASK_FLAG_NO_UI;
  info.lpFile = program.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  BOOL started;
  {
    ScopedDisableWow64Redirection redirection_off;
    started = ShellExecuteExW(&info);
  }
  if (!started) {
    // The program comes from another product's registration.
    PLOG(WARNING) << "Could not start "
                  << logging::UntrustedText(base::WideToUTF8(program));
    return false;
  }
  base::win::ScopedHandle process(info.hProcess);
  if (process.IsValid() && WaitForSingleObject(process.Get(), kWaitLimitMs) != WAIT_OBJECT_0)
    LOG(WARNING) << "The reinstall command did not finish in time";
  return true;
}

bool UninstallProcessLauncherImpl::StartThroughWmi(const std::wstring& command_line) {
  Microsoft::WRL::ComPtr<IWbemLocator> locator;
  if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&locator)))) {
    return false;
  }
  Microsoft::WRL::ComPtr<IWbemServices> services;
  base::win::ScopedBstr name_space(L"ROOT\\CIMV2");
  if (FAILED(locator->ConnectServer(name_space.Get(), nullptr, nullptr, nullptr, 0, nullptr,
                                    nullptr, &services)) ||
      FAILED(CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                               RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                               EOAC_NONE))) {
    return false;
  }
  base::win::ScopedBstr class_name(L"Win32_Process");
  base::win::ScopedBstr method_name(L"Create");
  Microsoft::WRL::ComPtr<IWbemClassObject> process_class;
  Microsoft::WRL::ComPtr<IWbemClassObject> in_definition;
  Microsoft::WRL::ComPtr<IWbemClassObject> in_parameters;
  if (FAILED(services->GetObject(class_name.Get(), 0, nullptr, &process_class, nullptr)) ||
      FAILED(process_class->GetMethod(method_name.Get(), 0, &in_definition, nullptr)) ||
      FAILED(in_definition->SpawnInstance(0, &in_parameters))) {
    return false;
  }
  base::win::ScopedVariant command(command_line.c_str());
  if (FAILED(in_parameters->Put(L"CommandLine", 0, const_cast<VARIANT*>(command.ptr()), 0)))
    return false;
  Microsoft::WRL::ComPtr<IWbemClassObject> out_parameters;
  if (FAILED(services->ExecMethod(class_name.Get(), method_name.Get(), 0, nullptr,
                                  in_parameters.Get(), &out_parameters, nullptr))) {
    return false;
  }
  base::win::ScopedVariant result;
  return out_parameters &&
         SUCCEEDED(out_parameters->Get(L"ReturnValue", 0, result.Receive(), nullptr, nullptr)) &&
         result.type() == VT_I4 && result.get().lVal == 0;
}

}  // namespace installer
