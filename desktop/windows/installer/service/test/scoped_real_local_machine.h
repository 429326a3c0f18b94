#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_SCOPED_REAL_LOCAL_MACHINE_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_SCOPED_REAL_LOCAL_MACHINE_H_

#include <windows.h>

#include "base/test/test_environment.h"
#include "base/win/registry.h"

namespace installer {

// Some system services find their registration under the real
// HKEY_LOCAL_MACHINE, which the test process's redirection hides: the
// cryptographic providers of signature checks, the in-process COM servers
// of Task Scheduler 1.0. While this object lives HKEY_LOCAL_MACHINE is the
// real one again; use it only around code that merely reads it.
class ScopedRealLocalMachine {
 public:
  ScopedRealLocalMachine() { RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr); }
  ScopedRealLocalMachine(const ScopedRealLocalMachine&) = delete;
  ScopedRealLocalMachine& operator=(const ScopedRealLocalMachine&) = delete;
  ~ScopedRealLocalMachine() {
    HKEY user = nullptr;
    if (RegOpenCurrentUser(KEY_READ, &user) != ERROR_SUCCESS)
      return;
    base::win::RegKey scratch(user, (base::test::ScratchRegistryPath() + L"\\HKLM").c_str(),
                              KEY_ALL_ACCESS);
    RegCloseKey(user);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, scratch.Handle());
  }
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_SCOPED_REAL_LOCAL_MACHINE_H_
