#include "desktop/windows/installer/folder_rights.h"

#include <aclapi.h>

#include "base/win/scoped_localalloc.h"

namespace installer {

// static
FolderRightsImpl* FolderRightsImpl::GetInstance() {
  static FolderRightsImpl* const instance = new FolderRightsImpl();
  return instance;
}

bool FolderRightsImpl::Grant(HANDLE folder, PSID user, std::vector<BYTE>* before,
                             std::string* error) {
  PACL old_dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD result = ::GetSecurityInfo(folder, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                   nullptr, &old_dacl, nullptr, &descriptor);
  if (result != ERROR_SUCCESS) {
    *error = "Cannot read the rights: error " + std::to_string(result);
    return false;
  }
  base::win::ScopedLocalAlloc descriptor_owner = base::win::TakeLocalAlloc(descriptor);
  before->clear();
  if (old_dacl) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(old_dacl);
    before->assign(bytes, bytes + old_dacl->AclSize);
  }
  EXPLICIT_ACCESSW access = {};
  access.grfAccessPermissions = GENERIC_ALL;
  access.grfAccessMode = GRANT_ACCESS;
  access.grfInheritance = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  access.Trustee.TrusteeType = TRUSTEE_IS_USER;
  access.Trustee.ptstrName = static_cast<LPWSTR>(user);
  PACL new_dacl = nullptr;
  result = ::SetEntriesInAclW(1, &access, old_dacl, &new_dacl);
  if (result != ERROR_SUCCESS) {
    *error = "Cannot add the rights: error " + std::to_string(result);
    return false;
  }
  base::win::ScopedLocalAllocTyped<ACL> new_dacl_owner = base::win::TakeLocalAlloc(new_dacl);
  result = ::SetSecurityInfo(folder, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                             new_dacl_owner.get(), nullptr);
  if (result != ERROR_SUCCESS) {
    *error = "Cannot set the rights: error " + std::to_string(result);
    return false;
  }
  return true;
}

bool FolderRightsImpl::Restore(HANDLE folder, const std::vector<BYTE>& before,
                               std::string* error) {
  std::vector<BYTE> dacl = before;
  const DWORD result = ::SetSecurityInfo(
      folder, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
      dacl.empty() ? nullptr : reinterpret_cast<PACL>(dacl.data()), nullptr);
  if (result != ERROR_SUCCESS) {
    *error = "Cannot put the rights back: error " + std::to_string(result);
    return false;
  }
  return true;
}

}  // namespace installer
