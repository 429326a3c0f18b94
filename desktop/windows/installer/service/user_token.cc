#include "desktop/windows/installer/service/user_token.h"

#include "base/logging.h"
#include "base/win/scoped_handle.h"

namespace installer {

namespace {

bool OpenProcessToken(base::win::ScopedHandle* token) {
  HANDLE handle = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &handle)) {
    PLOG(ERROR) << "OpenProcessToken failed";
    return false;
  }
  token->Set(handle);
  return true;
}

}  // namespace

bool UserTokenImpl::GetElevationType(TOKEN_ELEVATION_TYPE* type) const {
  base::win::ScopedHandle token;
  if (!OpenProcessToken(&token))
    return false;
  DWORD size = 0;
  if (!::GetTokenInformation(token.Get(), TokenElevationType, type, sizeof(*type), &size)) {
    PLOG(ERROR) << "Cannot read the token elevation type";
    return false;
  }
  return true;
}

bool UserTokenImpl::IsAdministratorsMember(bool linked, bool* is_member) const {
  base::win::ScopedHandle token;
  if (!OpenProcessToken(&token))
    return false;
  if (linked) {
    TOKEN_LINKED_TOKEN linked_token = {};
    DWORD size = 0;
    if (!::GetTokenInformation(token.Get(), TokenLinkedToken, &linked_token,
                               sizeof(linked_token), &size)) {
      PLOG(ERROR) << "Cannot read the linked token";
      return false;
    }
    token.Set(linked_token.LinkedToken);
  }
  // CheckTokenMembership wants an impersonation token.
  HANDLE duplicate = nullptr;
  if (!::DuplicateToken(token.Get(), SecurityIdentification, &duplicate)) {
    PLOG(ERROR) << "DuplicateToken failed";
    return false;
  }
  base::win::ScopedHandle identification(duplicate);

  SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!::AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  &administrators)) {
    PLOG(ERROR) << "AllocateAndInitializeSid failed";
    return false;
  }
  BOOL member = FALSE;
  const BOOL checked = ::CheckTokenMembership(identification.Get(), administrators, &member);
  ::FreeSid(administrators);
  if (!checked) {
    PLOG(ERROR) << "CheckTokenMembership failed";
    return false;
  }
  *is_member = member != FALSE;
  return true;
}

}  // namespace installer
