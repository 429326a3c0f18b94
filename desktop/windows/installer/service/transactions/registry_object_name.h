// Names under which the security functions address registry keys, and the
// text used for a registry root in log lines.
//
// A key's security object name is "CLASSES_ROOT\", "MACHINE\", "CURRENT_USER\"
// or "USERS\" for the four named roots (nothing for another root) followed by
// the key path (the root itself is "MACHINE\\" and so on). The object
// type is SE_REGISTRY_WOW64_32KEY when the operation's extra access bits are
// exactly KEY_WOW64_32KEY, else SE_REGISTRY_KEY.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_REGISTRY_OBJECT_NAME_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_REGISTRY_OBJECT_NAME_H_

#include <windows.h>
#include <accctrl.h>

#include <cstdint>
#include <string>

namespace installer {

std::wstring GetRegistryObjectName(HKEY root, const std::wstring& key_path);
SE_OBJECT_TYPE GetRegistryObjectType(uint32_t access);
// The root's handle value in hexadecimal, as log lines show it.
std::string RegistryRootToString(HKEY root);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_REGISTRY_OBJECT_NAME_H_
