#include "desktop/windows/installer/service/transactions/delete_reg_key_operation.h"

#include "base/logging.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/transactions/registry_object_name.h"

namespace installer {

namespace {

// DELETE | READ_CONTROL | KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY |
// KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY.
constexpr DWORD kTreeAccess = 0x3001F;
constexpr SECURITY_INFORMATION kSavedSecurity =
    GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION;

}  // namespace

DeleteRegKeyOperation::DeleteRegKeyOperation(HKEY root,
                                             const std::wstring& key_path,
                                             uint32_t access)
    : key_path_(key_path), root_(root), access_(access) {}

DeleteRegKeyOperation::~DeleteRegKeyOperation() = default;

bool DeleteRegKeyOperation::Do(Transaction* nested) {
  VLOG(1) << "Attempting to delete registry key " << key_path_ << " under "
          << RegistryRootToString(root_);
  const std::wstring object_name = GetRegistryObjectName(root_, key_path_);
  base::win::RegKey key;
  const LONG result = key.Open(root_, key_path_.c_str(), access_ | KEY_QUERY_VALUE);
  if (result == ERROR_FILE_NOT_FOUND) {
    VLOG(1) << "Key does not exist. Nothing to do.";
    return true;
  }
  if (result != ERROR_SUCCESS && result != ERROR_ACCESS_DENIED) {
    LOG(ERROR) << "Failed to open key " << object_name;
    return false;
  }
  key.Close();
  return DeleteAndSaveRecursive(key_path_, object_name);
}

bool DeleteRegKeyOperation::DeleteAndSaveRecursive(const std::wstring& path,
                                                   const std::wstring& object_name) {
  VLOG(1) << "DeleteAndSaveRecursive : " << path;
  auto node = std::make_unique<SavedRegistryKey>();
  node->path = path;

  const SE_OBJECT_TYPE object_type = GetRegistryObjectType(access_);
  base::win::RegKey key;
  LONG result = key.Open(root_, path.c_str(), access_ | kTreeAccess);
  // An open that asked for the tree rights and succeeded proves them; only a
  // denied open needs the grant. (The security of a 32-bit view key cannot
  // be read everywhere.)
  if (result == ERROR_ACCESS_DENIED) {
    VLOG(1) << "Insufficient permissions on the key";
    if (!GrantCurrentUserAccess(object_name, object_type, kTreeAccess, true, nullptr)) {
      LOG(ERROR) << "Unable to obtain sufficient permissions on key" << object_name;
      return false;
    }
    result = key.Open(root_, path.c_str(), access_ | kTreeAccess);
  }
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "Failed to open key " << object_name;
    return false;
  }

  DWORD descriptor_size = 0;
  result = ::RegGetKeySecurity(key.Handle(), kSavedSecurity, nullptr, &descriptor_size);
  if (result != ERROR_INSUFFICIENT_BUFFER) {
    LOG(ERROR) << "Failed to obtain security descriptor for " << object_name;
    return false;
  }
  node->security_descriptor.assign(descriptor_size, 0);
  result = ::RegGetKeySecurity(key.Handle(), kSavedSecurity,
                               node->security_descriptor.data(), &descriptor_size);
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "Failed to obtain security descriptor for " << object_name
               << "(but we succeeded earlier)";
    return false;
  }

  DWORD value_count = 0;
  DWORD max_value_name = 0;
  DWORD max_value_data = 0;
  DWORD max_subkey_name = 0;
  result = ::RegQueryInfoKeyW(key.Handle(), nullptr, nullptr, nullptr, nullptr, &max_subkey_name,
                              nullptr, &value_count, &max_value_name, &max_value_data, nullptr,
                              nullptr);
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "Failed to obtain key info for " << object_name;
    return false;
  }
  VLOG(1) << value_count << " values";

  for (DWORD index = 0; index < value_count; ++index) {
    auto value = std::make_unique<SavedRegistryValue>();
    std::vector<wchar_t> name(max_value_name + 1, L'\0');
    DWORD name_length = static_cast<DWORD>(name.size());
    value->data.assign(max_value_data, 0);
    DWORD data_size = max_value_data;
    DWORD type = REG_NONE;
    result = ::RegEnumValueW(key.Handle(), index, name.data(), &name_length, nullptr, &type,
                             value->data.empty() ? nullptr : value->data.data(), &data_size);
    if (result != ERROR_SUCCESS) {
      LOG(ERROR) << "Failed to obtain value nr " << index;
      return false;
    }
    value->name.assign(name.data(), name_length);
    value->type = type;
    value->data.resize(data_size);
    value->size = data_size;
    node->values.push_back(std::move(value));
  }

  saved_keys_.push_back(std::move(node));

  std::vector<wchar_t> subkey(max_subkey_name + 1, L'\0');
  for (;;) {
    DWORD subkey_length = static_cast<DWORD>(subkey.size());
    result = ::RegEnumKeyExW(key.Handle(), 0, subkey.data(), &subkey_length, nullptr, nullptr,
                             nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS)
      break;
    if (result != ERROR_SUCCESS) {
      LOG(ERROR) << "Failed to read a subkey";
      return false;
    }
    const std::wstring name(subkey.data(), subkey_length);
    if (!DeleteAndSaveRecursive(path + L"\\" + name, object_name + L"\\" + name))
      return false;
  }

  key.Close();
  // A key that stays would be enumerated again by its parent's loop forever,
  // so a failed deletion fails the operation (Undo() recreates what was saved).
  result = ::RegDeleteKeyExW(root_, path.c_str(), access_ & (KEY_WOW64_32KEY | KEY_WOW64_64KEY),
                             0);
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "Failed to delete key " << object_name;
    return false;
  }
  return true;
}

void DeleteRegKeyOperation::Undo() {
  for (const auto& node : saved_keys_) {
    SECURITY_ATTRIBUTES attributes = {};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor =
        node->security_descriptor.empty() ? nullptr : node->security_descriptor.data();
    attributes.bInheritHandle = FALSE;
    HKEY key = nullptr;
    DWORD disposition = 0;
    const LONG result = ::RegCreateKeyExW(root_, node->path.c_str(), 0, nullptr,
                                          REG_OPTION_NON_VOLATILE, access_ | kTreeAccess,
                                          &attributes, &key, &disposition);
    if (result != ERROR_SUCCESS)
      continue;
    if (disposition == REG_CREATED_NEW_KEY) {
      for (const auto& value : node->values) {
        ::RegSetValueExW(key, value->name.c_str(), 0, value->type,
                         value->data.empty() ? nullptr : value->data.data(), value->size);
      }
    }
    ::RegCloseKey(key);
  }
  for (const auto& node : saved_keys_) {
    if (!node->saved_security.empty())
      RestoreObjectSecurity(&node->saved_security);
  }
  saved_keys_.clear();
}

}  // namespace installer
