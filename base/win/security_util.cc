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

namespace {

// The SID that the token information |kind| (TokenUser or TokenOwner) of this
// process's token names.
bool GetProcessTokenSid(TOKEN_INFORMATION_CLASS kind, std::vector<BYTE>* sid) {
  ScopedHandle token;
  if (!OpenProcessToken(TOKEN_QUERY, &token))
    return false;
  DWORD size = 0;
  ::GetTokenInformation(token.Get(), kind, nullptr, 0, &size);
  if (size == 0) {
    PLOG(ERROR) << "Cannot size the token information " << kind;
    return false;
  }
  std::vector<BYTE> buffer(size);
  if (!::GetTokenInformation(token.Get(), kind, buffer.data(), size, &size)) {
    PLOG(ERROR) << "Cannot read the token information " << kind;
    return false;
  }
  // TOKEN_USER and TOKEN_OWNER both begin with the SID's pointer.
  PSID found = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                 : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
  const DWORD length = ::GetLengthSid(found);
  sid->resize(length);
  return ::CopySid(length, sid->data(), found) != FALSE;
}

}  // namespace

bool GetProcessUserSid(std::vector<BYTE>* sid) {
  return GetProcessTokenSid(TokenUser, sid);
}

bool GetProcessDefaultOwnerSid(std::vector<BYTE>* sid) {
  return GetProcessTokenSid(TokenOwner, sid);
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
