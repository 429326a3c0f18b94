// Reading back the security of kernel objects, and making objects as another
// account would, for the tests of the installer's named objects. Wine keeps
// the security of named objects (and makes none for an object created
// without one); it lets a test give an object an owner that is none of its
// own, which Windows refuses.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_KERNEL_OBJECT_TEST_UTIL_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_KERNEL_OBJECT_TEST_UTIL_H_

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "base/win/scoped_handle.h"
#include "base/win/scoped_localalloc.h"
#include "base/win/security_util.h"

namespace installer::test {

inline std::wstring SidText(PSID sid) {
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(sid, &text))
    return std::wstring();
  base::win::ScopedLocalAllocTyped<wchar_t> owner = base::win::TakeLocalAlloc(text);
  return owner.get();
}

inline std::wstring ProcessUserSidText() {
  std::vector<BYTE> sid;
  return base::win::GetProcessUserSid(&sid) ? SidText(sid.data()) : std::wstring();
}

// The SIDs that the access list of |object| grants full access, in order,
// followed by "deny", "partial" or "other" for each entry that denies, grants
// less or is of another kind; "none" when the object has no access list.
// Full access is GENERIC_ALL or every specific and standard right the object
// type has (Windows maps generic rights when it creates the object).
inline std::vector<std::wstring> AccessListOf(HANDLE object, ACCESS_MASK all_access) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR raw = nullptr;
  if (::GetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        &dacl, nullptr, &raw) != ERROR_SUCCESS) {
    return {L"unreadable"};
  }
  base::win::ScopedLocalAlloc descriptor = base::win::TakeLocalAlloc(raw);
  if (!dacl)
    return {L"none"};
  std::vector<std::wstring> entries;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACE_HEADER* header = nullptr;
    if (!::GetAce(dacl, i, reinterpret_cast<void**>(&header)))
      return {L"unreadable"};
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
      entries.push_back(L"deny");
      continue;
    }
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
      entries.push_back(L"other");
      continue;
    }
    auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
    const bool full =
        (allowed->Mask & GENERIC_ALL) || (allowed->Mask & all_access) == all_access;
    entries.push_back(full ? SidText(&allowed->SidStart) : L"partial");
  }
  return entries;
}

// What the installer's objects let in: the user, the Administrators, the
// system.
inline std::vector<std::wstring> ExpectedAccessList() {
  return {ProcessUserSidText(), L"S-1-5-32-544", L"S-1-5-18"};
}

// A security descriptor as another account of the machine would give its
// object: its own SID as owner, and access for everyone.
class ForeignObjectSecurity {
 public:
  ForeignObjectSecurity() {
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"O:S-1-5-21-1004336348-1177238915-682003330-1001D:(A;;GA;;;WD)", SDDL_REVISION_1,
            &raw, nullptr)) {
      descriptor_ = base::win::TakeLocalAlloc(raw);
    }
    attributes_ = {sizeof(attributes_), descriptor_.get(), FALSE};
  }
  SECURITY_ATTRIBUTES* get() { return &attributes_; }

 private:
  base::win::ScopedLocalAlloc descriptor_;
  SECURITY_ATTRIBUTES attributes_;
};

// Attributes as a process of this user that opens its object to everyone
// gives it: no access list at all (the owner is this user).
class NoAccessListSecurity {
 public:
  NoAccessListSecurity() {
    ::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION);
    ::SetSecurityDescriptorDacl(&descriptor_, TRUE, nullptr, FALSE);
    attributes_ = {sizeof(attributes_), &descriptor_, FALSE};
  }
  SECURITY_ATTRIBUTES* get() { return &attributes_; }

 private:
  SECURITY_DESCRIPTOR descriptor_;
  SECURITY_ATTRIBUTES attributes_;
};

inline base::win::ScopedHandle CreateForeignEvent(const std::wstring& name, bool set) {
  ForeignObjectSecurity security;
  return base::win::ScopedHandle(::CreateEventW(security.get(), TRUE, set, name.c_str()));
}

inline base::win::ScopedHandle CreateForeignMutex(const std::wstring& name) {
  ForeignObjectSecurity security;
  return base::win::ScopedHandle(::CreateMutexW(security.get(), FALSE, name.c_str()));
}

}  // namespace installer::test

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_KERNEL_OBJECT_TEST_UTIL_H_
