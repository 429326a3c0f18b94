// ChangeRegValueOperation sets or removes one registry value and keeps the old
// type and bytes so that Undo() puts them back exactly (or removes a value that
// did not exist). A missing key is created as a nested CreateRegKeyOperation;
// removing a value whose key or value is missing changes nothing.
//
// Without query and set access on the key, the current user is granted it for
// the operation; the previous security is saved and restored by the
// destructor, whether the change was kept or undone.
//
// Undo() changes nothing when the value no longer is what Do() left (another
// run has written or removed it since): a rollback does not take back what a
// later run wrote.
//
// |new_type| kRemoveValue removes the value; |access| carries the extra REGSAM
// view bits (0, KEY_WOW64_64KEY or KEY_WOW64_32KEY) used for every open.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_CHANGE_REG_VALUE_OPERATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_CHANGE_REG_VALUE_OPERATION_H_

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/win/registry.h"
#include "desktop/windows/installer/service/object_security.h"
#include "desktop/windows/installer/service/transactions/operation.h"

namespace installer {

class ChangeRegValueOperation : public Operation {
 public:
  // As a new type: remove the value. As the old type: the value did not exist.
  static constexpr uint32_t kRemoveValue = 0xFFFFFFFF;

  ChangeRegValueOperation(HKEY root,
                          const std::wstring& key_path,
                          const std::wstring& value_name,
                          const void* data,
                          uint32_t type,
                          uint32_t size,
                          uint32_t access);
  ~ChangeRegValueOperation() override;

  bool Do(Transaction* nested) override;
  void Undo() override;

 private:
  LONG OpenKey();
  // Whether the value is still what Do() left: the new type and bytes, or
  // missing after a removal.
  bool StillHoldsNewValue();

  HKEY root_;
  std::wstring key_path_;
  std::wstring value_name_;
  base::win::RegKey key_;
  uint32_t old_type_ = kRemoveValue;
  uint32_t new_type_;
  std::vector<uint8_t> old_data_;
  std::vector<uint8_t> new_data_;
  uint32_t old_size_ = 0;
  uint32_t new_size_;
  bool changed_ = false;
  SavedObjectSecurity saved_security_;
  uint32_t access_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_CHANGE_REG_VALUE_OPERATION_H_
