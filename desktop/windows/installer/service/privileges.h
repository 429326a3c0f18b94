// Privileges: what the installer asks Windows about the rights of the running
// user and how it starts a program with more of them — the administrator
// checks, the access check and temporary grant on the install folder, whether
// UAC may be asked at all, and the "runas" launch that shows the UAC prompt.
//
// PrivilegesImpl makes the plain system calls (system_utils.h,
// object_security.h, ShellExecuteExW). Tests substitute answers of their own:
// the test user under Wine is always an elevated administrator whose folder
// access checks always pass, so the standard-user, UAC-filtered and
// no-access paths cannot be reached otherwise.
#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_PRIVILEGES_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_PRIVILEGES_H_

#include <windows.h>

#include <string>

#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"

namespace installer {

class SavedObjectSecurity;

class Privileges {
 public:
  virtual ~Privileges() = default;

  // An administrator whose token holds the rights now (elevated, or UAC off):
  // IsUserAdministrator without the linked token.
  virtual bool IsElevatedAdministrator() = 0;
  // An administrator, counting the full token linked to a UAC-filtered one.
  virtual bool IsAdministrator() = 0;
  // Whether this process runs with more rights than a standard user's: an
  // elevated token, an administrator's unfiltered token (UAC off, or no UAC)
  // or the system's. Such a process runs nothing that another account can
  // change, whatever its command line says it was started for.
  virtual bool IsElevated() = 0;
  // False only when UAC is switched off by policy (EnableLUA 0), so that a
  // standard user cannot be elevated; true where it cannot be read.
  virtual bool IsUacEnabled() = 0;
  // Whether the user has |access| on the file or folder |path|.
  virtual bool CheckFileAccess(const base::FilePath& path, ACCESS_MASK access) = 0;
  // Grants the user |access| on |path|; with |keep| false the previous
  // security is handed out in |saved| for RestoreFileAccess.
  virtual bool GrantFileAccess(const base::FilePath& path, ACCESS_MASK access, bool keep,
                               SavedObjectSecurity* saved) = 0;
  // Puts back what GrantFileAccess saved and empties |saved|.
  virtual bool RestoreFileAccess(SavedObjectSecurity* saved) = 0;
  // Starts |program| with |parameters| through the "runas" verb (the UAC
  // prompt where the user is not elevated) and hands out its process handle.
  // False with the system error in |error| when it did not start, the user's
  // refusal included; the shell shows no error box.
  virtual bool LaunchElevated(const base::FilePath& program, const std::wstring& parameters,
                              base::win::ScopedHandle* process, DWORD* error) = 0;
};

class PrivilegesImpl : public Privileges {
 public:
  PrivilegesImpl() = default;
  PrivilegesImpl(const PrivilegesImpl&) = delete;
  PrivilegesImpl& operator=(const PrivilegesImpl&) = delete;

  // A process-wide instance that is never destroyed.
  static PrivilegesImpl* GetInstance();

  bool IsElevatedAdministrator() override;
  bool IsAdministrator() override;
  bool IsElevated() override;
  bool IsUacEnabled() override;
  bool CheckFileAccess(const base::FilePath& path, ACCESS_MASK access) override;
  bool GrantFileAccess(const base::FilePath& path, ACCESS_MASK access, bool keep,
                       SavedObjectSecurity* saved) override;
  bool RestoreFileAccess(SavedObjectSecurity* saved) override;
  bool LaunchElevated(const base::FilePath& program, const std::wstring& parameters,
                      base::win::ScopedHandle* process, DWORD* error) override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_PRIVILEGES_H_
