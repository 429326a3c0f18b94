#include "desktop/windows/installer/service/transactions/registry_key_tree.h"

namespace installer {

LONG DeleteRegistryKeyTree(HKEY root, const std::wstring& key_path, uint32_t access) {
  HKEY key = nullptr;
  LONG result = ::RegOpenKeyExW(root, key_path.c_str(), 0,
                                access | DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE |
                                    KEY_SET_VALUE,
                                &key);
  if (result != ERROR_SUCCESS)
    return result;
  // The handle is already in the right view, so the subtree below it is too.
  result = ::RegDeleteTreeW(key, nullptr);
  ::RegCloseKey(key);
  if (result != ERROR_SUCCESS)
    return result;
  return ::RegDeleteKeyExW(root, key_path.c_str(), access & (KEY_WOW64_32KEY | KEY_WOW64_64KEY),
                           0);
}

}  // namespace installer
