#include "desktop/windows/installer/service/transactions/delete_reg_key_operation.h"

#include <utility>

#include "base/logging.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/transactions/registry_object_name.h"

namespace installer {

namespace {

// DELETE | READ_CONTROL | KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY |
// KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY.
constexpr DWORD kTreeAccess = 0x3001F;
constexpr uint32_t kViewBits = KEY_WOW64_32KEY | KEY_WOW64_64KEY;
constexpr SECURITY_INFORMATION kSavedSecurity =
    GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION;

}  // namespace

DeleteRegKeyOperation::DeleteRegKeyOperation(HKEY root,
                                             const std::wstring& key_path,
                                             uint32_t access,
                                             std::unique_ptr<DeletedKeyRelocation> relocation)
    : key_path_(key_path), root_(root), access_(access), relocation_(std::move(relocation)) {}

DeleteRegKeyOperation::~DeleteRegKeyOperation() = default;

bool DeleteRegKeyOperation::Do(Transaction* nested) {
  VLOG(1) << "Attempting to delete registry key " << key_path_ << " under "
          << RegistryRootToString(root_);
  deleted_ = false;
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
  if (path == key_path_)
    deleted_ = true;
  return true;
}

LONG DeleteRegKeyOperation::CreateSavedKey(const SavedRegistryKey& node, const std::wstring& path,
                                           HKEY* key, DWORD* disposition) {
  SECURITY_ATTRIBUTES attributes = {};
  attributes.nLength = sizeof(attributes);
  attributes.lpSecurityDescriptor =
      node.security_descriptor.empty()
          ? nullptr
          : const_cast<uint8_t*>(node.security_descriptor.data());
  attributes.bInheritHandle = FALSE;
  return ::RegCreateKeyExW(root_, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           access_ | kTreeAccess, &attributes, key, disposition);
}

LONG DeleteRegKeyOperation::CreateRelocatedKey(const SavedRegistryKey& node, std::wstring* path,
                                               HKEY* key) {
  for (int index = 0;; ++index) {
    const std::wstring candidate = relocation_->GetCandidate(index);
    if (candidate.empty())
      return ERROR_ALREADY_EXISTS;
    DWORD disposition = 0;
    const LONG result = CreateSavedKey(node, candidate, key, &disposition);
    if (result == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY) {
      *path = candidate;
      return ERROR_SUCCESS;
    }
    if (result == ERROR_SUCCESS) {
      ::RegCloseKey(*key);
      *key = nullptr;
      continue;
    }
    // Another run's key that this one may not open is as taken as one it
    // may; a name that cannot be made at all ends the search.
    base::win::RegKey existing;
    if (existing.Open(root_, candidate.c_str(), KEY_QUERY_VALUE | (access_ & kViewBits)) ==
        ERROR_FILE_NOT_FOUND) {
      return result;
    }
  }
}

void DeleteRegKeyOperation::Undo() {
  // Where the deleted key goes back: its own path, or the path the
  // relocation chose when another run has taken that.
  std::wstring restored_path = key_path_;
  for (size_t index = 0; index < saved_keys_.size(); ++index) {
    const SavedRegistryKey& node = *saved_keys_[index];
    const std::wstring path = restored_path + node.path.substr(key_path_.size());
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG result = CreateSavedKey(node, path, &key, &disposition);
    // The first node is the deleted key itself.
    if (index == 0 && result == ERROR_SUCCESS && disposition != REG_CREATED_NEW_KEY &&
        deleted_ && relocation_) {
      ::RegCloseKey(key);
      key = nullptr;
      result = CreateRelocatedKey(node, &restored_path, &key);
      if (result != ERROR_SUCCESS) {
        LOG(ERROR) << "The key " << key_path_
                   << " was taken by another run, and no other name is free for it: "
                   << result;
        break;
      }
      disposition = REG_CREATED_NEW_KEY;
    }
    if (result != ERROR_SUCCESS)
      continue;
    if (disposition == REG_CREATED_NEW_KEY) {
      for (const auto& value : node.values) {
        ::RegSetValueExW(key, value->name.c_str(), 0, value->type,
                         value->data.empty() ? nullptr : value->data.data(), value->size);
      }
    }
    ::RegCloseKey(key);
  }
  if (restored_path != key_path_)
    relocation_->OnRelocated(key_path_, restored_path);
  for (const auto& node : saved_keys_) {
    if (!node->saved_security.empty())
      RestoreObjectSecurity(&node->saved_security);
  }
  saved_keys_.clear();
}

}  // namespace installer
