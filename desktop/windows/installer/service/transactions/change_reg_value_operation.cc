#include "desktop/windows/installer/service/transactions/change_reg_value_operation.h"

#include <algorithm>
#include <memory>

#include "base/logging.h"
#include "desktop/windows/installer/service/transactions/create_reg_key_operation.h"
#include "desktop/windows/installer/service/transactions/registry_object_name.h"
#include "desktop/windows/installer/service/transactions/transaction.h"

namespace installer {

namespace {

constexpr DWORD kValueAccess = KEY_QUERY_VALUE | KEY_SET_VALUE;

}  // namespace

ChangeRegValueOperation::ChangeRegValueOperation(HKEY root,
                                                 const std::wstring& key_path,
                                                 const std::wstring& value_name,
                                                 const void* data,
                                                 uint32_t type,
                                                 uint32_t size,
                                                 uint32_t access)
    : root_(root),
      key_path_(key_path),
      value_name_(value_name),
      new_type_(type),
      new_size_(data ? size : 0),
      access_(access) {
  if (data && size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    new_data_.assign(bytes, bytes + size);
  }
}

ChangeRegValueOperation::~ChangeRegValueOperation() {
  if (!saved_security_.empty())
    RestoreObjectSecurity(&saved_security_);
  key_.Close();
}

LONG ChangeRegValueOperation::OpenKey() {
  return key_.Open(root_, key_path_.c_str(), access_ | kValueAccess);
}

bool ChangeRegValueOperation::Do(Transaction* nested) {
  VLOG(1) << "Attempting to change registry value at " << RegistryRootToString(root_) << ": "
          << key_path_ << " - " << value_name_ << ". New Type:" << new_type_;
  LONG result = OpenKey();
  if (result == ERROR_FILE_NOT_FOUND) {
    VLOG(1) << "Key does not exist,";
    if (new_type_ == kRemoveValue) {
      VLOG(1) << "but we are trying to remove the value, nothing to do.";
      return true;
    }
    VLOG(1) << "try to create it.";
    if (!nested->Do(std::make_unique<CreateRegKeyOperation>(root_, key_path_, access_)))
      return false;
    result = OpenKey();
  }
  const std::wstring object_name = GetRegistryObjectName(root_, key_path_);
  const SE_OBJECT_TYPE object_type = GetRegistryObjectType(access_);
  if (result != ERROR_SUCCESS && result != ERROR_ACCESS_DENIED) {
    LOG(ERROR) << "Failed to open " << object_name;
    return false;
  }
  // An open that asked for the value rights and succeeded proves them; only a
  // denied open needs the grant. (The security of a 32-bit view key cannot
  // be read everywhere.)
  if (result == ERROR_ACCESS_DENIED) {
    VLOG(1) << "We don't have enough permissions on the key.";
    if (saved_security_.empty() &&
        GrantCurrentUserAccess(object_name, object_type, kValueAccess, false,
                               &saved_security_)) {
      if (OpenKey() != ERROR_SUCCESS) {
        LOG(ERROR) << "Failed to open " << object_name;
        return false;
      }
    } else {
      LOG(ERROR) << "Failed to obtain sufficient permissions on " << object_name;
      return false;
    }
  }

  DWORD size = 0;
  result = ::RegQueryValueExW(key_.Handle(), value_name_.c_str(), nullptr, nullptr, nullptr,
                              &size);
  if (result == ERROR_FILE_NOT_FOUND) {
    VLOG(1) << "The value doesn't already exist.";
    old_type_ = kRemoveValue;
  } else if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "Failed to read " << value_name_ << " from " << object_name;
    return false;
  } else {
    old_data_.assign(size, 0);
    DWORD type = 0;
    result = ::RegQueryValueExW(key_.Handle(), value_name_.c_str(), nullptr, &type,
                                old_data_.empty() ? nullptr : old_data_.data(), &size);
    if (result != ERROR_SUCCESS) {
      LOG(ERROR) << "Failed to read " << value_name_ << " from " << object_name
                 << " (but we succeeded before).";
      old_data_.clear();
      return false;
    }
    old_type_ = type;
    old_size_ = size;
    old_data_.resize(size);
    VLOG(1) << "Value read successfully.";
  }

  if (new_type_ != kRemoveValue) {
    result = ::RegSetValueExW(key_.Handle(), value_name_.c_str(), 0, new_type_,
                              new_data_.empty() ? nullptr : new_data_.data(), new_size_);
    if (result != ERROR_SUCCESS) {
      LOG(ERROR) << "Failed writing " << value_name_ << " to " << object_name;
      return false;
    }
  } else {
    if (old_type_ == kRemoveValue) {
      VLOG(1) << "We are supposed to remove the value. Nothing to do.";
      return true;
    }
    if (::RegDeleteValueW(key_.Handle(), value_name_.c_str()) != ERROR_SUCCESS) {
      LOG(ERROR) << "Failed to remove " << value_name_ << " from " << object_name;
      return false;
    }
  }
  VLOG(1) << "Value changed successfully.";
  changed_ = true;
  return true;
}

bool ChangeRegValueOperation::StillHoldsNewValue() {
  DWORD type = 0;
  DWORD size = 0;
  LONG result =
      ::RegQueryValueExW(key_.Handle(), value_name_.c_str(), nullptr, &type, nullptr, &size);
  if (new_type_ == kRemoveValue)
    return result == ERROR_FILE_NOT_FOUND;
  if (result != ERROR_SUCCESS || type != new_type_ || size != new_size_)
    return false;
  std::vector<uint8_t> data(size);
  result = ::RegQueryValueExW(key_.Handle(), value_name_.c_str(), nullptr, &type,
                              data.empty() ? nullptr : data.data(), &size);
  return result == ERROR_SUCCESS && type == new_type_ && size == new_size_ &&
         std::equal(data.begin(), data.begin() + size, new_data_.begin(), new_data_.end());
}

void ChangeRegValueOperation::Undo() {
  if (!changed_)
    return;
  changed_ = false;
  // Another run may have written the value since (runs at the same time
  // share values such as the last install path): what it wrote stays, as
  // the value this run saw before is no longer the one to come back.
  if (!StillHoldsNewValue()) {
    VLOG(1) << "Leaving " << value_name_ << ", changed by someone else since";
    return;
  }
  if (old_type_ == kRemoveValue) {
    ::RegDeleteValueW(key_.Handle(), value_name_.c_str());
  } else {
    ::RegSetValueExW(key_.Handle(), value_name_.c_str(), 0, old_type_,
                     old_data_.empty() ? nullptr : old_data_.data(), old_size_);
  }
}

}  // namespace installer
