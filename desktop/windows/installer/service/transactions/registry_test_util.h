// Test helpers over the real registry for the operation tests (header only:
// nothing of it goes into the product).

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_REGISTRY_TEST_UTIL_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_REGISTRY_TEST_UTIL_H_

#include <windows.h>

#include <string>

#include "base/win/registry.h"

namespace installer::test {

inline bool KeyExists(HKEY root, const std::wstring& path) {
  base::win::RegKey key;
  return key.Open(root, path.c_str(), KEY_READ) == ERROR_SUCCESS;
}

// "<type>:<bytes>" of a value, or "missing".
inline std::string ReadRawValue(HKEY root, const std::wstring& path, const wchar_t* name) {
  base::win::RegKey key;
  if (key.Open(root, path.c_str(), KEY_READ) != ERROR_SUCCESS)
    return "missing";
  char data[1024];
  DWORD size = sizeof(data);
  DWORD type = 0;
  if (key.ReadValue(name, data, &size, &type) != ERROR_SUCCESS)
    return "missing";
  return std::to_string(type) + ":" + std::string(data, size);
}

}  // namespace installer::test

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_REGISTRY_TEST_UTIL_H_
