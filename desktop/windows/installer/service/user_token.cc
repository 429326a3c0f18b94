#include "desktop/windows/installer/service/user_token.h"

#include "base/logging.h"
#include "base/win/scoped_handle.h"
#include "base/win/security_util.h"

namespace installer {

bool UserTokenImpl::GetElevationType(TOKEN_ELEVATION_TYPE* type) const {
  base::win::ScopedHandle token;
  if (!base::win::OpenProcessToken(TOKEN_QUERY, &token))
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
  if (!base::win::OpenProcessToken(TOKEN_QUERY | TOKEN_DUPLICATE, &token))
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
  base::win::ScopedHandle identification;
  if (!base::win::DuplicateIdentificationToken(token.Get(), &identification))
    return false;
  base::win::ScopedSid administrators = base::win::CreateAdministratorsSid();
  if (!administrators)
    return false;
  BOOL member = FALSE;
  if (!::CheckTokenMembership(identification.Get(), administrators.get(), &member)) {
    PLOG(ERROR) << "CheckTokenMembership failed";
    return false;
  }
  *is_member = member != FALSE;
  return true;
}

}  // namespace installer
