// Registry helpers for tests of code that writes the registry.
//
// ScopedUserClassesRoot makes HKEY_CLASSES_ROOT of this process the user's
// own classes (HKCU\Software\Classes of the scratch hive), so that what a
// test registers for the user is what Windows' merged view would show, and
// on destruction restores it and removes everything tests wrote under the
// scratch hives' Software keys.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_REGISTRY_TEST_HELPERS_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_REGISTRY_TEST_HELPERS_H_

#include <windows.h>

#include <shlwapi.h>

#include <string>

#include "base/win/registry.h"
#include "gtest/gtest.h"

namespace installer {

class ScopedUserClassesRoot {
 public:
  ScopedUserClassesRoot() {
    if (classes_.Create(HKEY_CURRENT_USER, L"Software\\Classes", KEY_ALL_ACCESS) ==
        ERROR_SUCCESS) {
      overridden_ =
          RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_.Handle()) == ERROR_SUCCESS;
    }
  }
  ScopedUserClassesRoot(const ScopedUserClassesRoot&) = delete;
  ScopedUserClassesRoot& operator=(const ScopedUserClassesRoot&) = delete;
  ~ScopedUserClassesRoot() {
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    classes_.Close();
    SHDeleteKeyW(HKEY_CURRENT_USER, L"Software");
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software");
  }

  bool overridden() const { return overridden_; }

 private:
  base::win::RegKey classes_;
  bool overridden_ = false;
};

inline bool KeyExists(HKEY root, const std::wstring& key) {
  base::win::RegKey reg_key;
  return reg_key.Open(root, key.c_str(), KEY_READ) == ERROR_SUCCESS;
}

// The string value, or "<none>" when it cannot be read.
inline std::wstring ReadString(HKEY root, const std::wstring& key, const wchar_t* name) {
  base::win::RegKey reg_key;
  std::wstring value;
  if (reg_key.Open(root, key.c_str(), KEY_READ) != ERROR_SUCCESS ||
      reg_key.ReadValue(name, &value) != ERROR_SUCCESS) {
    return L"<none>";
  }
  return value;
}

// "<type>:<bytes>" of a value, or "missing".
inline std::string ReadRawValue(HKEY root, const std::wstring& key, const wchar_t* name) {
  base::win::RegKey reg_key;
  if (reg_key.Open(root, key.c_str(), KEY_READ) != ERROR_SUCCESS)
    return "missing";
  char data[1024];
  DWORD size = sizeof(data);
  DWORD type = 0;
  if (reg_key.ReadValue(name, data, &size, &type) != ERROR_SUCCESS)
    return "missing";
  return std::to_string(type) + ":" + std::string(data, size);
}

inline void WriteString(HKEY root, const std::wstring& key, const wchar_t* name,
                        const std::wstring& value) {
  base::win::RegKey reg_key;
  ASSERT_EQ(ERROR_SUCCESS, reg_key.Create(root, key.c_str(), KEY_ALL_ACCESS));
  ASSERT_EQ(ERROR_SUCCESS, reg_key.WriteValue(name, value.c_str()));
}

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_REGISTRY_TEST_HELPERS_H_
