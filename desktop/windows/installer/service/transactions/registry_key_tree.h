// Deletes a registry key with its values and everything below it, in the
// registry view named by the extra access bits |access| (0, KEY_WOW64_64KEY or
// KEY_WOW64_32KEY), so that a key created in one view is never looked for, or
// deleted, in the other.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_REGISTRY_KEY_TREE_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_REGISTRY_KEY_TREE_H_

#include <windows.h>

#include <cstdint>
#include <string>

namespace installer {

// Returns the Win32 result; ERROR_FILE_NOT_FOUND when the key is missing.
LONG DeleteRegistryKeyTree(HKEY root, const std::wstring& key_path, uint32_t access);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_REGISTRY_KEY_TREE_H_
