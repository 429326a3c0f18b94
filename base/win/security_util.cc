#include "base/win/security_util.h"

#include "base/logging.h"

namespace base::win {

ScopedSid CreateAdministratorsSid() {
  SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
  PSID sid = nullptr;
  if (!::AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &sid)) {
    PLOG(ERROR) << "AllocateAndInitializeSid failed";
    return nullptr;
  }
  return ScopedSid(sid);
}

bool OpenProcessToken(DWORD access, ScopedHandle* token) {
  HANDLE handle = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), access, &handle)) {
    PLOG(ERROR) << "OpenProcessToken failed";
    return false;
  }
  token->Set(handle);
  return true;
}

bool DuplicateIdentificationToken(HANDLE token, ScopedHandle* identification) {
  HANDLE duplicate = nullptr;
  if (!::DuplicateToken(token, SecurityIdentification, &duplicate)) {
    PLOG(ERROR) << "DuplicateToken failed";
    return false;
  }
  identification->Set(duplicate);
  return true;
}

}  // namespace base::win
