#include "desktop/windows/installer/service/transactions/claim_reg_key_operation.h"

#include "base/logging.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/transactions/create_reg_key_operation.h"
#include "desktop/windows/installer/service/transactions/registry_object_name.h"

namespace installer {

namespace {

constexpr uint32_t kViewBits = KEY_WOW64_32KEY | KEY_WOW64_64KEY;

}  // namespace

ClaimRegKeyOperation::ClaimRegKeyOperation(HKEY root, const std::wstring& key_path,
                                           uint32_t access)
    : root_(root), key_path_(key_path), access_(access) {}

ClaimRegKeyOperation::~ClaimRegKeyOperation() = default;

bool ClaimRegKeyOperation::Do(Transaction* nested) {
  VLOG(1) << "Attempting to claim registry key " << key_path_ << " under "
          << RegistryRootToString(root_);
  const uint32_t view = access_ & kViewBits;
  missing_parents_.clear();
  for (std::wstring parent = CreateRegKeyOperation::ParentKeyPath(key_path_); !parent.empty();
       parent = CreateRegKeyOperation::ParentKeyPath(parent)) {
    base::win::RegKey existing;
    if (existing.Open(root_, parent.c_str(), KEY_QUERY_VALUE | view) != ERROR_FILE_NOT_FOUND)
      break;
    missing_parents_.push_back(parent);
  }
  base::win::RegKey key;
  DWORD disposition = 0;
  const LONG result =
      key.CreateWithDisposition(root_, key_path_.c_str(), &disposition, view | KEY_QUERY_VALUE);
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "Failed creating key " << key_path_ << ": " << result;
    return false;
  }
  if (disposition != REG_CREATED_NEW_KEY) {
    VLOG(1) << "The key exists already: it is not this run's.";
    return false;
  }
  created_ = true;
  return true;
}

void ClaimRegKeyOperation::Undo() {
  if (!created_)
    return;
  created_ = false;
  base::win::RegKey root;
  if (root.Open(root_, L"", KEY_QUERY_VALUE | (access_ & kViewBits)) != ERROR_SUCCESS)
    return;
  root.DeleteKey(key_path_.c_str());
  for (const std::wstring& parent : missing_parents_) {
    if (root.DeleteEmptyKey(parent.c_str()) != ERROR_SUCCESS)
      break;
  }
}

}  // namespace installer
