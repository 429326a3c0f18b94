// The pieces of access-token and SID handling that the administrator checks
// and the object-security code share: the process token, its identification-
// level duplicate (what CheckTokenMembership wants), the SIDs of its user and
// default owner, and the SID of the built-in Administrators group. Failures are logged with the system error.

#ifndef BASE_WIN_SECURITY_UTIL_H_
#define BASE_WIN_SECURITY_UTIL_H_

#include <windows.h>

#include <memory>
#include <vector>

#include "base/win/scoped_handle.h"

namespace base::win {

// Frees a SID made by AllocateAndInitializeSid.
struct FreeSidDeleter {
  void operator()(void* sid) const { ::FreeSid(sid); }
};
using ScopedSid = std::unique_ptr<void, FreeSidDeleter>;

// S-1-5-32-544; null when it cannot be built.
ScopedSid CreateAdministratorsSid();

// Opens this process's token with |access|.
bool OpenProcessToken(DWORD access, ScopedHandle* token);

// An identification-level duplicate of |token|, which must have been opened
// with TOKEN_DUPLICATE.
bool DuplicateIdentificationToken(HANDLE token, ScopedHandle* identification);

// The SID of this process's user, copied out of its token.
bool GetProcessUserSid(std::vector<BYTE>* sid);
// The owner this process gives the objects it creates (the token's default
// owner: the user, or the Administrators group for an elevated
// administrator).
bool GetProcessDefaultOwnerSid(std::vector<BYTE>* sid);

}  // namespace base::win

#endif  // BASE_WIN_SECURITY_UTIL_H_
