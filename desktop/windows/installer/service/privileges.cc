#include "desktop/windows/installer/service/privileges.h"

#include <shellapi.h>

#include "base/win/registry.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/service/object_security.h"
#include "desktop/windows/installer/service/system_utils.h"

namespace installer {

namespace {
constexpr wchar_t kPoliciesSystemKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
}  // namespace

PrivilegesImpl* PrivilegesImpl::GetInstance() {
  static PrivilegesImpl* instance = new PrivilegesImpl();
  return instance;
}

bool PrivilegesImpl::IsElevatedAdministrator() {
  return IsUserAdministrator(false);
}

bool PrivilegesImpl::IsAdministrator() {
  return IsUserAdministrator(true);
}

bool PrivilegesImpl::IsElevated() {
  base::win::ScopedHandle token;
  HANDLE raw = nullptr;
  if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) {
    token.Set(raw);
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (::GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation),
                              &size) &&
        elevation.TokenIsElevated) {
      return true;
    }
    // The system's token is not reported as elevated on every version.
    char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    if (::GetTokenInformation(token.Get(), TokenUser, buffer, sizeof(buffer), &size) &&
        ::IsWellKnownSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, WinLocalSystemSid)) {
      return true;
    }
  }
  // Before Vista, and with UAC off, an administrator's token is unfiltered.
  return IsUserAdministrator(false);
}

bool PrivilegesImpl::IsUacEnabled() {
  base::win::RegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, kPoliciesSystemKey, KEY_QUERY_VALUE) != ERROR_SUCCESS)
    return true;
  DWORD enable_lua = 1;
  if (key.ReadValueDW(L"EnableLUA", &enable_lua) != ERROR_SUCCESS)
    return true;
  return enable_lua != 0;
}

bool PrivilegesImpl::CheckFileAccess(const base::FilePath& path, ACCESS_MASK access) {
  return CheckObjectAccess(path.value(), SE_FILE_OBJECT, access);
}

bool PrivilegesImpl::GrantFileAccess(const base::FilePath& path, ACCESS_MASK access, bool keep,
                                     SavedObjectSecurity* saved) {
  return GrantCurrentUserAccess(path.value(), SE_FILE_OBJECT, access, keep, saved);
}

bool PrivilegesImpl::RestoreFileAccess(SavedObjectSecurity* saved) {
  return RestoreObjectSecurity(saved);
}

bool PrivilegesImpl::LaunchElevated(const base::FilePath& program, const std::wstring& parameters,
                                    base::win::ScopedHandle* process, DWORD* error) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  // No error box for a program that cannot be started: a silent installer
  // has nobody to answer it and would wait for ever. The UAC prompt is no
  // error box and still shows.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"runas";
  info.lpFile = program.value().c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOW;
  if (!::ShellExecuteExW(&info) || !info.hProcess) {
    *error = ::GetLastError();
    return false;
  }
  process->Set(info.hProcess);
  return true;
}

}  // namespace installer
