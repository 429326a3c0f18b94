#include "desktop/windows/installer/service/kernel_object_security.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/security_util.h"

namespace installer {

namespace {

// A protected list (nothing inherited from the namespace's own defaults):
// full access for the user, the Administrators (BA) and LocalSystem (SY).
std::wstring DescriptorText(const std::wstring& user_sid) {
  return L"D:P(A;;GA;;;" + user_sid + L")(A;;GA;;;BA)(A;;GA;;;SY)";
}

bool SidToString(const std::vector<BYTE>& sid, std::wstring* text) {
  wchar_t* raw = nullptr;
  if (!::ConvertSidToStringSidW(const_cast<BYTE*>(sid.data()), &raw))
    return false;
  base::win::ScopedLocalAllocTyped<wchar_t> owner = base::win::TakeLocalAlloc(raw);
  *text = owner.get();
  return true;
}

}  // namespace

KernelObjectSecurity::KernelObjectSecurity() {
  std::vector<BYTE> user;
  std::wstring user_text;
  PSECURITY_DESCRIPTOR raw = nullptr;
  if (!base::win::GetProcessUserSid(&user) || !SidToString(user, &user_text) ||
      !::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          DescriptorText(user_text).c_str(), SDDL_REVISION_1, &raw, nullptr)) {
    PLOG(ERROR) << "Cannot build the access list of the installer's kernel objects";
    return;
  }
  descriptor_ = base::win::TakeLocalAlloc(raw);
}

KernelObjectSecurity::~KernelObjectSecurity() = default;

SECURITY_ATTRIBUTES* KernelObjectSecurity::GetAttributes(bool inherit_handle) {
  if (!IsValid())
    return nullptr;
  attributes_ = {sizeof(attributes_), descriptor_.get(), inherit_handle ? TRUE : FALSE};
  return &attributes_;
}

// static
bool KernelObjectSecurity::IsOwnedByTrustedAccount(HANDLE object) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR raw = nullptr;
  const DWORD result = ::GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION,
                                         &owner, nullptr, nullptr, nullptr, &raw);
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "Cannot read the owner of a kernel object: "
               << logging::SystemErrorCodeToString(result);
    return false;
  }
  base::win::ScopedLocalAlloc descriptor = base::win::TakeLocalAlloc(raw);
  if (!owner)
    return false;
  if (::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
      ::IsWellKnownSid(owner, WinLocalSystemSid)) {
    return true;
  }
  std::vector<BYTE> user;
  std::vector<BYTE> default_owner;
  return (base::win::GetProcessUserSid(&user) && ::EqualSid(owner, user.data())) ||
         (base::win::GetProcessDefaultOwnerSid(&default_owner) &&
          ::EqualSid(owner, default_owner.data()));
}

bool KernelObjectSecurity::ReplaceAccessList(HANDLE object) {
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  if (!IsValid() ||
      !::GetSecurityDescriptorDacl(descriptor_.get(), &present, &dacl, &defaulted) ||
      !present || !dacl) {
    LOG(ERROR) << "No access list to give a kernel object";
    return false;
  }
  // Protected, as a new object's list is: nothing of the namespace's
  // inheritable defaults comes back with it.
  const DWORD result = ::SetSecurityInfo(
      object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
      nullptr, nullptr, dacl, nullptr);
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "Cannot set the access list of a kernel object: "
               << logging::SystemErrorCodeToString(result);
    return false;
  }
  return true;
}

// static
base::win::ScopedHandle KernelObjectSecurity::CreateNamedEvent(const std::wstring& name,
                                                               bool manual_reset) {
  KernelObjectSecurity security;
  if (!security.IsValid())
    return base::win::ScopedHandle();
  base::win::ScopedHandle event(
      ::CreateEventW(security.GetAttributes(false), manual_reset, FALSE, name.c_str()));
  if (!event.IsValid()) {
    PLOG(ERROR) << "Cannot create the event " << base::WideToUTF8(name);
    return event;
  }
  if (::GetLastError() != ERROR_ALREADY_EXISTS)
    return event;
  if (!IsOwnedByTrustedAccount(event.Get())) {
    LOG(ERROR) << "The event " << base::WideToUTF8(name)
               << " exists already and belongs to another account";
    return base::win::ScopedHandle();
  }
  // Whoever made it first chose its access list; from now on it is this
  // run's, with this run's list.
  if (!security.ReplaceAccessList(event.Get())) {
    LOG(ERROR) << "The event " << base::WideToUTF8(name)
               << " exists already and cannot be given the installer's access list";
    return base::win::ScopedHandle();
  }
  LOG(INFO) << "Resetting an event left by an earlier run";
  ::ResetEvent(event.Get());
  return event;
}

}  // namespace installer
