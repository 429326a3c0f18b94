// ClaimRegKeyOperation creates a registry key that must be new: the key is
// the operation's only when this creation made it. Runs of other installers
// choosing among the same names at the same time each get a key of their own,
// as the registry creates a key for only one of them; the others find it
// there, and Do() fails for them without any change.
//
// Undo() deletes the key with everything written below it since. Missing keys
// above it are created with it; Undo() removes those that were missing before
// Do(), from the lowest up, while they are empty: meanwhile they may have come
// to hold the keys of other runs, which stay.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_CLAIM_REG_KEY_OPERATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_CLAIM_REG_KEY_OPERATION_H_

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "desktop/windows/installer/service/transactions/operation.h"

namespace installer {

class ClaimRegKeyOperation : public Operation {
 public:
  // |access| holds the extra REGSAM bits of the view (0, KEY_WOW64_32KEY or
  // KEY_WOW64_64KEY).
  ClaimRegKeyOperation(HKEY root, const std::wstring& key_path, uint32_t access);
  ~ClaimRegKeyOperation() override;

  bool Do(Transaction* nested) override;
  void Undo() override;

 private:
  HKEY root_;
  std::wstring key_path_;
  uint32_t access_;
  bool created_ = false;
  // The keys above |key_path_| that were missing before Do(), lowest first.
  std::vector<std::wstring> missing_parents_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_CLAIM_REG_KEY_OPERATION_H_
