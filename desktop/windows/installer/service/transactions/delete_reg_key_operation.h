// DeleteRegKeyOperation deletes a registry key with its whole subtree. Before
// deleting, it saves every key of the tree (path, security descriptor and
// values), parents before children, so that Undo() can recreate the tree with
// the same values and security. A key it cannot read or delete is granted to
// the current user for good. A deletion that fails partway leaves the saved
// part for Undo() to recreate.
//
// With a DeletedKeyRelocation, a key of the deleted name that another run has
// made since the deletion is that run's: Undo() leaves it as it is and
// recreates the tree under the first candidate name of the relocation that it
// can create new (nothing, when none). Without one, the tree is recreated
// where it was, into whatever key is there now.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_DELETE_REG_KEY_OPERATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_DELETE_REG_KEY_OPERATION_H_

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "desktop/windows/installer/service/object_security.h"
#include "desktop/windows/installer/service/transactions/deleted_key_relocation.h"
#include "desktop/windows/installer/service/transactions/operation.h"

namespace installer {

struct SavedRegistryValue {
  std::wstring name;
  uint32_t type = REG_NONE;
  std::vector<uint8_t> data;
  uint32_t size = 0;
};

struct SavedRegistryKey {
  // Key path below the root.
  std::wstring path;
  // Self-relative descriptor: group, DACL and label as read.
  std::vector<uint8_t> security_descriptor;
  SavedObjectSecurity saved_security;
  std::vector<std::unique_ptr<SavedRegistryValue>> values;
};

class DeleteRegKeyOperation : public Operation {
 public:
  DeleteRegKeyOperation(HKEY root, const std::wstring& key_path, uint32_t access,
                        std::unique_ptr<DeletedKeyRelocation> relocation = nullptr);
  ~DeleteRegKeyOperation() override;

  bool Do(Transaction* nested) override;
  void Undo() override;

 private:
  // Saves |path| with its values, then each subkey in turn (deleting it), then
  // deletes |path| itself.
  bool DeleteAndSaveRecursive(const std::wstring& path, const std::wstring& object_name);
  // Creates the key of |node| at |path| with its saved security.
  LONG CreateSavedKey(const SavedRegistryKey& node, const std::wstring& path, HKEY* key,
                      DWORD* disposition);
  // Creates the deleted key, whose name another run has taken, new under the
  // first free candidate of |relocation_|; |path| is set to it.
  LONG CreateRelocatedKey(const SavedRegistryKey& node, std::wstring* path, HKEY* key);

  std::wstring key_path_;
  HKEY root_;
  std::vector<std::unique_ptr<SavedRegistryKey>> saved_keys_;
  uint32_t access_;
  std::unique_ptr<DeletedKeyRelocation> relocation_;
  // Whether Do() deleted |key_path_| itself, not only part of its tree: a key
  // of that name found by Undo() was then made by someone else.
  bool deleted_ = false;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_DELETE_REG_KEY_OPERATION_H_
