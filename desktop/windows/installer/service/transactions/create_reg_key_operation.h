// CreateRegKeyOperation creates a registry key with every missing key above
// it. It remembers the highest key it created, and Undo() deletes that key
// with its whole subtree, in the same registry view the key was created in.
// A key that already exists (or cannot be told apart from one because opening
// it is denied) is left alone.
//
// Without the right to create subkeys of the nearest existing ancestor, the
// current user is granted it; the previous security is saved and restored by
// the destructor in every outcome.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_CREATE_REG_KEY_OPERATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_CREATE_REG_KEY_OPERATION_H_

#include <windows.h>

#include <cstdint>
#include <string>

#include "desktop/windows/installer/service/object_security.h"
#include "desktop/windows/installer/service/transactions/operation.h"

namespace installer {

class CreateRegKeyOperation : public Operation {
 public:
  CreateRegKeyOperation(HKEY root, const std::wstring& key_path, uint32_t access);
  ~CreateRegKeyOperation() override;

  bool Do(Transaction* nested) override;
  void Undo() override;

  // The parent of a key path: the part before its last backslash, or the
  // empty path (the root itself) for a path without one.
  static std::wstring ParentKeyPath(const std::wstring& key_path);

 private:
  std::wstring key_path_;
  HKEY root_;
  std::wstring created_top_;
  SavedObjectSecurity saved_security_;
  uint32_t access_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_CREATE_REG_KEY_OPERATION_H_
