// Access checks and temporary access grants on named securable objects: files
// and folders (by path, SE_FILE_OBJECT) and registry keys (by their security
// object name: "CLASSES_ROOT\", "MACHINE\", "CURRENT_USER\" or "USERS\"
// followed by the key path; SE_REGISTRY_KEY, or SE_REGISTRY_WOW64_32KEY for the
// 32-bit view).
//
// SavedObjectSecurity holds the security descriptor an object had before a
// grant, so that RestoreObjectSecurity can put its DACL back. It owns the
// descriptor (freed with LocalFree) and is move-only; an empty record holds
// nothing. Whoever keeps a record decides when to restore it; destroying a
// record does not restore anything.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_OBJECT_SECURITY_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_OBJECT_SECURITY_H_

#include <windows.h>

#include <aclapi.h>

#include <string>

namespace installer {

class SavedObjectSecurity {
 public:
  SavedObjectSecurity() = default;
  // Takes ownership of |descriptor| (from LocalAlloc); |dacl| points into it
  // (or is null for a NULL DACL).
  SavedObjectSecurity(std::wstring object_name, SE_OBJECT_TYPE object_type,
                      PSECURITY_DESCRIPTOR descriptor, PACL dacl);
  SavedObjectSecurity(SavedObjectSecurity&& other) noexcept;
  SavedObjectSecurity& operator=(SavedObjectSecurity&& other) noexcept;
  SavedObjectSecurity(const SavedObjectSecurity&) = delete;
  SavedObjectSecurity& operator=(const SavedObjectSecurity&) = delete;
  ~SavedObjectSecurity();

  bool empty() const { return previous_descriptor_ == nullptr; }
  // Frees the descriptor and forgets the object.
  void Reset();

  const std::wstring& object_name() const { return object_name_; }
  SE_OBJECT_TYPE object_type() const { return object_type_; }
  PACL previous_dacl() const { return previous_dacl_; }
  PSECURITY_DESCRIPTOR previous_descriptor() const { return previous_descriptor_; }

 private:
  std::wstring object_name_;
  SE_OBJECT_TYPE object_type_ = SE_UNKNOWN_OBJECT_TYPE;
  PACL previous_dacl_ = nullptr;
  PSECURITY_DESCRIPTOR previous_descriptor_ = nullptr;
};

// Whether the process's user has |desired| access to the object, by the
// object's own owner, group and DACL. Generic rights in |desired| are mapped
// for the object type first. False for other object types and on any failure.
bool CheckObjectAccess(const std::wstring& object_name, SE_OBJECT_TYPE object_type,
                       ACCESS_MASK desired);

// Adds an entry granting the process's user |access| (inherited by
// subfolders, files and subkeys) to the object's DACL, and lifts those rights
// from explicit deny entries of groups the user belongs to. On success with
// |keep| false the previous security is handed out in |saved| (which may be
// null only with |keep| true); with |keep| true the grant stays for good. A
// failure before the new DACL is set leaves the object unchanged. Takes
// ownership for the Administrators group when reading or writing the DACL is
// denied.
bool GrantCurrentUserAccess(const std::wstring& object_name, SE_OBJECT_TYPE object_type,
                            ACCESS_MASK access, bool keep, SavedObjectSecurity* saved);

// Puts the saved DACL back and empties |saved|. False when it is empty or the
// DACL cannot be set (the record is emptied either way).
bool RestoreObjectSecurity(SavedObjectSecurity* saved);

// Makes the built-in Administrators group the owner of the object, with
// SeTakeOwnershipPrivilege enabled for the call.
bool TakeOwnershipForAdministrators(const std::wstring& object_name,
                                    SE_OBJECT_TYPE object_type);

// Enables or disables |privilege| (such as SE_TAKE_OWNERSHIP_NAME) in |token|,
// which must be open with TOKEN_ADJUST_PRIVILEGES. False when the privilege is
// unknown or was not adjusted (the token does not hold it).
bool EnablePrivilege(const wchar_t* privilege, bool enable, HANDLE token);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_OBJECT_SECURITY_H_
