#include "desktop/windows/installer/service/object_security.h"

#include <utility>
#include <vector>

#include "base/logging.h"
#include "base/win/scoped_handle.h"
#include "base/win/scoped_localalloc.h"
#include "base/win/security_util.h"

namespace installer {

namespace {

constexpr SECURITY_INFORMATION kOwnerGroupDacl =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

bool GetGenericMapping(SE_OBJECT_TYPE object_type, GENERIC_MAPPING* mapping) {
  switch (object_type) {
    case SE_FILE_OBJECT:
      *mapping = {0x120089, 0x120116, 0x1200A0, 0x1F01FF};
      return true;
    case SE_REGISTRY_KEY:
    case SE_REGISTRY_WOW64_32KEY:
      *mapping = {0x20019, 0x20006, 0x20019, 0xF003F};
      return true;
    default:
      return false;
  }
}

bool OpenIdentificationToken(base::win::ScopedHandle* identification) {
  base::win::ScopedHandle process_token;
  return base::win::OpenProcessToken(TOKEN_QUERY | TOKEN_DUPLICATE, &process_token) &&
         base::win::DuplicateIdentificationToken(process_token.Get(), identification);
}

// Reads the DACL of the object. |descriptor| owns the result; |dacl| points
// into it. A success without a descriptor (seen for the 32-bit registry view
// on some systems) counts as a failure.
DWORD ReadDacl(const std::wstring& object_name, SE_OBJECT_TYPE object_type,
               base::win::ScopedLocalAlloc* descriptor, PACL* dacl) {
  PSECURITY_DESCRIPTOR raw = nullptr;
  *dacl = nullptr;
  DWORD result = ::GetNamedSecurityInfoW(object_name.c_str(), object_type,
                                         DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl,
                                         nullptr, &raw);
  if (result != ERROR_SUCCESS)
    return result;
  if (!raw) {
    *dacl = nullptr;
    return ERROR_INVALID_SECURITY_DESCR;
  }
  descriptor->reset(raw);
  return ERROR_SUCCESS;
}

// DACL_SECURITY_INFORMATION plus the protection state |descriptor| had, so
// that setting a DACL neither starts nor stops inheritance from the parent.
SECURITY_INFORMATION DaclInformationLike(PSECURITY_DESCRIPTOR descriptor) {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (descriptor && ::GetSecurityDescriptorControl(descriptor, &control, &revision)) {
    return DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED)
                                            ? PROTECTED_DACL_SECURITY_INFORMATION
                                            : UNPROTECTED_DACL_SECURITY_INFORMATION);
  }
  return DACL_SECURITY_INFORMATION;
}

DWORD SetDacl(const std::wstring& object_name, SE_OBJECT_TYPE object_type,
              SECURITY_INFORMATION information, PACL dacl) {
  // SetNamedSecurityInfoW takes a non-const name.
  std::wstring name = object_name;
  return ::SetNamedSecurityInfoW(name.data(), object_type, information, nullptr, nullptr, dacl,
                                 nullptr);
}

}  // namespace

SavedObjectSecurity::SavedObjectSecurity(std::wstring object_name, SE_OBJECT_TYPE object_type,
                                         PSECURITY_DESCRIPTOR descriptor, PACL dacl)
    : object_name_(std::move(object_name)),
      object_type_(object_type),
      previous_dacl_(dacl),
      previous_descriptor_(descriptor) {}

SavedObjectSecurity::SavedObjectSecurity(SavedObjectSecurity&& other) noexcept
    : object_name_(std::move(other.object_name_)),
      object_type_(std::exchange(other.object_type_, SE_UNKNOWN_OBJECT_TYPE)),
      previous_dacl_(std::exchange(other.previous_dacl_, nullptr)),
      previous_descriptor_(std::exchange(other.previous_descriptor_, nullptr)) {
  other.object_name_.clear();
}

SavedObjectSecurity& SavedObjectSecurity::operator=(SavedObjectSecurity&& other) noexcept {
  if (this != &other) {
    Reset();
    object_name_ = std::move(other.object_name_);
    other.object_name_.clear();
    object_type_ = std::exchange(other.object_type_, SE_UNKNOWN_OBJECT_TYPE);
    previous_dacl_ = std::exchange(other.previous_dacl_, nullptr);
    previous_descriptor_ = std::exchange(other.previous_descriptor_, nullptr);
  }
  return *this;
}

SavedObjectSecurity::~SavedObjectSecurity() {
  Reset();
}

void SavedObjectSecurity::Reset() {
  if (previous_descriptor_)
    ::LocalFree(previous_descriptor_);
  previous_descriptor_ = nullptr;
  previous_dacl_ = nullptr;
  object_type_ = SE_UNKNOWN_OBJECT_TYPE;
  object_name_.clear();
}

bool CheckObjectAccess(const std::wstring& object_name, SE_OBJECT_TYPE object_type,
                       ACCESS_MASK desired) {
  GENERIC_MAPPING mapping;
  if (!GetGenericMapping(object_type, &mapping))
    return false;
  base::win::ScopedHandle token;
  if (!OpenIdentificationToken(&token))
    return false;

  PSECURITY_DESCRIPTOR raw = nullptr;
  DWORD result = ::GetNamedSecurityInfoW(object_name.c_str(), object_type, kOwnerGroupDacl,
                                         nullptr, nullptr, nullptr, nullptr, &raw);
  if (result != ERROR_SUCCESS || !raw) {
    LOG(ERROR) << "Cannot read the security of " << object_name << ": "
               << logging::SystemErrorCodeToString(result);
    return false;
  }
  base::win::ScopedLocalAlloc descriptor(raw);

  // AccessCheck refuses generic rights.
  ::MapGenericMask(&desired, &mapping);
  alignas(PRIVILEGE_SET) BYTE privileges_buffer[256];
  DWORD privileges_size = sizeof(privileges_buffer);
  DWORD granted = 0;
  BOOL status = FALSE;
  if (!::AccessCheck(descriptor.get(), token.Get(), desired, &mapping,
                     reinterpret_cast<PPRIVILEGE_SET>(privileges_buffer), &privileges_size,
                     &granted, &status)) {
    PLOG(ERROR) << "AccessCheck failed for " << object_name;
    return false;
  }
  return status != FALSE;
}

bool GrantCurrentUserAccess(const std::wstring& object_name, SE_OBJECT_TYPE object_type,
                            ACCESS_MASK access, bool keep, SavedObjectSecurity* saved) {
  if (saved)
    saved->Reset();
  if (!keep && !saved)
    return false;

  std::vector<BYTE> user_sid;
  if (!base::win::GetProcessUserSid(&user_sid))
    return false;

  base::win::ScopedLocalAlloc descriptor;
  PACL old_dacl = nullptr;
  DWORD result = ReadDacl(object_name, object_type, &descriptor, &old_dacl);
  if (result == ERROR_ACCESS_DENIED && TakeOwnershipForAdministrators(object_name, object_type))
    result = ReadDacl(object_name, object_type, &descriptor, &old_dacl);
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "Cannot read the DACL of " << object_name << ": "
               << logging::SystemErrorCodeToString(result);
    return false;
  }

  if (!old_dacl) {
    // No DACL at all grants everyone every right already; a list holding
    // only the user would take access away from everybody else.
    if (!keep)
      *saved = SavedObjectSecurity(object_name, object_type, descriptor.release(), nullptr);
    return true;
  }

  ULONG entry_count = 0;
  PEXPLICIT_ACCESS_W raw_entries = nullptr;
  result = ::GetExplicitEntriesFromAclW(old_dacl, &entry_count, &raw_entries);
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "GetExplicitEntriesFromAclW failed: "
               << logging::SystemErrorCodeToString(result);
    return false;
  }
  base::win::ScopedLocalAllocTyped<EXPLICIT_ACCESS_W> entries(raw_entries);

  // Deny entries hold specific rights, so a generic grant must lift the
  // specific rights it stands for.
  ACCESS_MASK lifted = access;
  GENERIC_MAPPING mapping;
  if (GetGenericMapping(object_type, &mapping))
    ::MapGenericMask(&lifted, &mapping);

  base::win::ScopedHandle identification;
  std::vector<EXPLICIT_ACCESS_W> kept_entries;
  for (ULONG i = 0; i < entry_count; ++i) {
    EXPLICIT_ACCESS_W entry = raw_entries[i];
    if (entry.grfAccessMode == DENY_ACCESS && entry.Trustee.TrusteeForm == TRUSTEE_IS_SID) {
      if (!identification.IsValid() && !OpenIdentificationToken(&identification))
        return false;
      BOOL member = FALSE;
      if (::CheckTokenMembership(identification.Get(), entry.Trustee.ptstrName, &member) &&
          member) {
        entry.grfAccessPermissions &= ~lifted;
        // A deny entry left without rights would deny nothing.
        if (entry.grfAccessPermissions == 0)
          continue;
      }
    }
    kept_entries.push_back(entry);
  }

  EXPLICIT_ACCESS_W grant = {};
  grant.grfAccessPermissions = access;
  grant.grfAccessMode = GRANT_ACCESS;
  grant.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
  grant.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  grant.Trustee.TrusteeType = TRUSTEE_IS_USER;
  grant.Trustee.ptstrName = reinterpret_cast<LPWSTR>(user_sid.data());

  PACL raw_grant_acl = nullptr;
  result = ::SetEntriesInAclW(1, &grant, nullptr, &raw_grant_acl);
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "SetEntriesInAclW failed: " << logging::SystemErrorCodeToString(result);
    return false;
  }
  base::win::ScopedLocalAllocTyped<ACL> grant_acl(raw_grant_acl);
  PACL raw_new_acl = nullptr;
  result = ::SetEntriesInAclW(static_cast<ULONG>(kept_entries.size()), kept_entries.data(),
                              grant_acl.get(), &raw_new_acl);
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "SetEntriesInAclW failed: " << logging::SystemErrorCodeToString(result);
    return false;
  }
  base::win::ScopedLocalAllocTyped<ACL> new_acl(raw_new_acl);

  const SECURITY_INFORMATION information = DaclInformationLike(descriptor.get());
  result = SetDacl(object_name, object_type, information, new_acl.get());
  if (result == ERROR_ACCESS_DENIED && TakeOwnershipForAdministrators(object_name, object_type))
    result = SetDacl(object_name, object_type, information, new_acl.get());
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "Cannot set the DACL of " << object_name << ": "
               << logging::SystemErrorCodeToString(result);
    return false;
  }

  if (!keep)
    *saved = SavedObjectSecurity(object_name, object_type, descriptor.release(), old_dacl);
  return true;
}

bool RestoreObjectSecurity(SavedObjectSecurity* saved) {
  if (!saved || saved->empty())
    return false;
  const DWORD result =
      SetDacl(saved->object_name(), saved->object_type(),
              DaclInformationLike(saved->previous_descriptor()), saved->previous_dacl());
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "Cannot restore the DACL of " << saved->object_name() << ": "
               << logging::SystemErrorCodeToString(result);
  }
  saved->Reset();
  return result == ERROR_SUCCESS;
}

bool TakeOwnershipForAdministrators(const std::wstring& object_name,
                                    SE_OBJECT_TYPE object_type) {
  base::win::ScopedHandle token;
  if (!base::win::OpenProcessToken(TOKEN_ADJUST_PRIVILEGES, &token))
    return false;
  if (!EnablePrivilege(SE_TAKE_OWNERSHIP_NAME, true, token.Get()))
    return false;
  base::win::ScopedSid administrators = base::win::CreateAdministratorsSid();
  DWORD result = ERROR_INVALID_SID;
  if (administrators) {
    std::wstring name = object_name;
    result = ::SetNamedSecurityInfoW(name.data(), object_type, OWNER_SECURITY_INFORMATION,
                                     administrators.get(), nullptr, nullptr, nullptr);
  }
  EnablePrivilege(SE_TAKE_OWNERSHIP_NAME, false, token.Get());
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "Cannot take ownership of " << object_name << ": "
               << logging::SystemErrorCodeToString(result);
    return false;
  }
  return true;
}

bool EnablePrivilege(const wchar_t* privilege, bool enable, HANDLE token) {
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  if (!::LookupPrivilegeValueW(nullptr, privilege, &privileges.Privileges[0].Luid)) {
    PLOG(ERROR) << "LookupPrivilegeValueW failed";
    return false;
  }
  privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  if (!::AdjustTokenPrivileges(token, FALSE, &privileges, sizeof(privileges), nullptr,
                               nullptr)) {
    PLOG(ERROR) << "AdjustTokenPrivileges failed";
    return false;
  }
  // AdjustTokenPrivileges succeeds even when the token lacks the privilege.
  if (::GetLastError() == ERROR_NOT_ALL_ASSIGNED) {
    LOG(ERROR) << "The token does not hold the privilege";
    return false;
  }
  return true;
}

}  // namespace installer
