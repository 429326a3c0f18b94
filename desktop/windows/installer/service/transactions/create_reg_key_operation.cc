#include "desktop/windows/installer/service/transactions/create_reg_key_operation.h"

#include "base/logging.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/transactions/registry_object_name.h"

namespace installer {

CreateRegKeyOperation::CreateRegKeyOperation(HKEY root,
                                             const std::wstring& key_path,
                                             uint32_t access)
    : key_path_(key_path), root_(root), access_(access) {}

CreateRegKeyOperation::~CreateRegKeyOperation() {
  if (!saved_security_.empty())
    RestoreObjectSecurity(&saved_security_);
}

// static
std::wstring CreateRegKeyOperation::ParentKeyPath(const std::wstring& key_path) {
  const size_t separator = key_path.rfind(L'\\');
  if (separator == std::wstring::npos)
    return std::wstring();
  return key_path.substr(0, separator);
}

bool CreateRegKeyOperation::Do(Transaction* nested) {
  VLOG(1) << "Attempting to create registry key " << key_path_ << " under "
          << RegistryRootToString(root_);
  HKEY key = nullptr;
  LONG result = ::RegOpenKeyExW(root_, key_path_.c_str(), 0, access_ | KEY_QUERY_VALUE, &key);
  if (result != ERROR_FILE_NOT_FOUND) {
    if (result == ERROR_SUCCESS)
      ::RegCloseKey(key);
    VLOG(1) << "The key already exists. No need to do anything.";
    return true;
  }

  VLOG(1) << "Attempting to find the nearest existing ancestor.";
  // The walk ends at the root itself (the empty path), which always opens, so
  // a key directly below the root can be created too.
  std::wstring current = key_path_;
  std::wstring ancestor;
  bool ancestor_denied = false;
  for (;;) {
    if (current.empty()) {
      LOG(ERROR) << "No existing ancestor found.";
      return false;
    }
    std::wstring parent = ParentKeyPath(current);
    key = nullptr;
    result = ::RegOpenKeyExW(root_, parent.c_str(), 0, access_ | KEY_CREATE_SUB_KEY, &key);
    if (result == ERROR_SUCCESS || result == ERROR_ACCESS_DENIED) {
      if (result == ERROR_SUCCESS)
        ::RegCloseKey(key);
      ancestor = parent;
      ancestor_denied = result == ERROR_ACCESS_DENIED;
      break;
    }
    if (result != ERROR_FILE_NOT_FOUND) {
      LOG(ERROR) << "Existing ancestor could not be opened.";
      return false;
    }
    current = parent;
  }

  VLOG(1) << "Ancestor found: " << ancestor;
  const std::wstring object_name = GetRegistryObjectName(root_, ancestor);
  const SE_OBJECT_TYPE object_type = GetRegistryObjectType(access_);
  // Creating the missing keys needs the right to create subkeys of the
  // ancestor, so that is the right granted when the ancestor's open with it
  // was denied. (An open that succeeded proves the right; the security of a
  // 32-bit view key cannot be read everywhere.)
  if (ancestor_denied) {
    VLOG(1) << "No access to" << object_name;
    if (!GrantCurrentUserAccess(object_name, object_type, KEY_CREATE_SUB_KEY, false,
                                &saved_security_)) {
      LOG(ERROR) << "Failed obtaining permissions on " << object_name;
      return false;
    }
  }

  created_top_ = current;
  key = nullptr;
  result = ::RegCreateKeyExW(root_, key_path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             access_ | KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "Failed creating key.";
    return false;
  }
  ::RegCloseKey(key);
  return true;
}

void CreateRegKeyOperation::Undo() {
  if (created_top_.empty())
    return;
  // The root is opened in the operation's view, so the delete stays in it.
  base::win::RegKey root;
  if (root.Open(root_, L"", KEY_QUERY_VALUE | (access_ & (KEY_WOW64_32KEY | KEY_WOW64_64KEY))) ==
      ERROR_SUCCESS) {
    root.DeleteKey(created_top_.c_str());
  }
  created_top_.clear();
}

}  // namespace installer
