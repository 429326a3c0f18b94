#include "desktop/windows/installer/service/transactions/registry_object_name.h"

#include <cstdio>

namespace installer {

std::wstring GetRegistryObjectName(HKEY root, const std::wstring& key_path) {
  std::wstring name;
  if (root == HKEY_CLASSES_ROOT)
    name = L"CLASSES_ROOT\\";
  else if (root == HKEY_LOCAL_MACHINE)
    name = L"MACHINE\\";
  else if (root == HKEY_CURRENT_USER)
    name = L"CURRENT_USER\\";
  else if (root == HKEY_USERS)
    name = L"USERS\\";
  return name + key_path;
}

SE_OBJECT_TYPE GetRegistryObjectType(uint32_t access) {
  return access == KEY_WOW64_32KEY ? SE_REGISTRY_WOW64_32KEY : SE_REGISTRY_KEY;
}

std::string RegistryRootToString(HKEY root) {
  char text[32];
  snprintf(text, sizeof(text), "0x%llx",
           static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(root)));
  return text;
}

}  // namespace installer
