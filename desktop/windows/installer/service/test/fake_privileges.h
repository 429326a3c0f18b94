// Privileges for tests: answers as it was told and writes down the grants
// and elevated launches asked of it. Made without changes it is what the
// Wine test user is: an elevated administrator with access everywhere.
// Every elevated launch is refused, as by a user who declines the prompt,
// unless |elevated_program| names a program to start in its place.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_FAKE_PRIVILEGES_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_FAKE_PRIVILEGES_H_

#include <windows.h>

#include <string>
#include <vector>

#include "base/process/launch.h"
#include "base/process/process.h"
#include "desktop/windows/installer/service/object_security.h"
#include "desktop/windows/installer/service/privileges.h"

namespace installer {

class FakePrivileges : public Privileges {
 public:
  struct Grant {
    base::FilePath path;
    ACCESS_MASK access;
    bool keep;
  };

  bool IsElevatedAdministrator() override { return elevated_administrator; }
  bool IsAdministrator() override { return administrator; }
  bool IsElevated() override { return elevated; }
  bool IsUacEnabled() override { return uac_enabled; }
  bool CheckFileAccess(const base::FilePath& path, ACCESS_MASK access) override {
    return file_access;
  }
  bool GrantFileAccess(const base::FilePath& path, ACCESS_MASK access, bool keep,
                       SavedObjectSecurity* saved) override {
    grants.push_back({path, access, keep});
    // A temporary grant hands out a record to restore, as the real one does.
    if (grant_succeeds && !keep && saved) {
      *saved = SavedObjectSecurity(path.value(), SE_FILE_OBJECT, ::LocalAlloc(LPTR, 1), nullptr);
    }
    return grant_succeeds;
  }
  bool RestoreFileAccess(SavedObjectSecurity* saved) override {
    ++restores;
    saved->Reset();
    return true;
  }
  bool LaunchElevated(const base::FilePath& program, const std::wstring& parameters,
                      base::win::ScopedHandle* process, DWORD* error) override {
    elevated_launches.push_back(parameters);
    if (!elevated_program.empty()) {
      base::Process child = base::LaunchProcess(
          L"\"" + elevated_program.value() + L"\" " + parameters, base::LaunchOptions());
      HANDLE copy = nullptr;
      if (child.IsValid() && ::DuplicateHandle(::GetCurrentProcess(), child.Handle(),
                                               ::GetCurrentProcess(), &copy, 0, FALSE,
                                               DUPLICATE_SAME_ACCESS)) {
        process->Set(copy);
        return true;
      }
    }
    *error = ERROR_CANCELLED;
    return false;
  }

  bool elevated_administrator = true;
  bool administrator = true;
  // Not elevated unless a test says so, although the Wine user is: an
  // elevated run takes its package into a protected folder before it runs
  // any of it, and the tests of everything else give it package folders of
  // their own making.
  bool elevated = false;
  bool uac_enabled = true;
  bool file_access = true;
  bool grant_succeeds = true;
  std::vector<Grant> grants;
  int restores = 0;
  std::vector<std::wstring> elevated_launches;
  base::FilePath elevated_program;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_FAKE_PRIVILEGES_H_
