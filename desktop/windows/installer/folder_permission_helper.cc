#include "desktop/windows/installer/folder_permission_helper.h"

#include <windows.h>
#include <aclapi.h>

#include <string>

#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/process/process_handle.h"
#include "base/strings/string_number_conversions.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/cleanup_batch_launch.h"
#include "desktop/windows/installer/installer_kernel_objects.h"
#include "desktop/windows/installer/installer_paths.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/service/system_utils.h"

namespace installer {

namespace {

base::win::ScopedHandle OpenNamedEvent(DWORD access, const base::FilePath& folder,
                                       const wchar_t* base_name, bool global) {
  std::wstring name = GetKernelObjectName(folder.value(), base_name, global);
  return base::win::ScopedHandle(OpenEventW(access, FALSE, name.c_str()));
}

// Waits for the package, the interruption or the end of the initial process
// or of |requester|; only a ready package goes on to the package's own helper.
void WaitForPackageAndDelegate(const base::CommandLine& command_line,
                               const base::FilePath& folder,
                               const base::Process& requester) {
  if (!command_line.HasSwitch(switches::kInitialPid))
    return;
  // The program to start comes from this path: a relative one would be
  // looked up in whatever folder the elevated process runs in.
  const base::FilePath package_folder = command_line.GetSwitchValuePath(switches::kWaitForPackage);
  if (!package_folder.IsAbsolute())
    return;
  base::win::ScopedHandle package_ready =
      OpenNamedEvent(SYNCHRONIZE, folder, kernel_objects::kPackageReadyEvent, true);
  if (!package_ready.IsValid())
    return;
  base::win::ScopedHandle interrupted =
      OpenNamedEvent(SYNCHRONIZE, folder, kernel_objects::kInstallationInterruptedEvent, true);
  if (!interrupted.IsValid())
    return;
  unsigned pid = 0;
  if (!base::StringToUint(command_line.GetSwitchValueNative(switches::kInitialPid), &pid))
    return;
  base::win::ScopedHandle initial_process(OpenProcess(SYNCHRONIZE, FALSE, pid));
  if (!initial_process.IsValid())
    return;

  HANDLE handles[] = {package_ready.Get(), interrupted.Get(), initial_process.Get(),
                      requester.Handle()};
  const DWORD count = requester.IsValid() ? 4 : 3;
  if (WaitForMultipleObjects(count, handles, FALSE, INFINITE) != WAIT_OBJECT_0)
    return;

  base::FilePath package_installer = package_folder.Append(kPackageInstallerName);
  base::CommandLine helper(package_installer);
  helper.CopySwitchesFrom(command_line,
                          {switches::kCrashReporterPid, switches::kSetFolderPermission,
                           switches::kPermissionsForUser, switches::kPermanentPermissions});
  base::Process process = base::LaunchProcess(helper.GetCommandLineString(), base::LaunchOptions());
  if (!process.IsValid())
    return;
  // The package's helper keeps a temporary grant while this process lives
  // (it is its requester): once the installer that asked has gone, this one
  // ends too, and the grant is taken back.
  HANDLE running[] = {process.Handle(), requester.Handle()};
  WaitForMultipleObjects(requester.IsValid() ? 2 : 1, running, FALSE, INFINITE);
}

// Gives the user full rights on the folder; unless permanent, the old rights
// return once the installer signals Undo, at once when signalling fails or when
// |requester| ends without signalling. A temporary grant needs |requester|.
void GrantFolderPermission(const base::CommandLine& command_line,
                           const base::FilePath& folder,
                           const base::Process& requester) {
  const bool permanent = command_line.HasSwitch(switches::kPermanentPermissions);
  if (!permanent && !requester.IsValid())
    return;
  base::win::ScopedHandle granted = OpenNamedEvent(
      EVENT_ALL_ACCESS, folder, kernel_objects::kGiveInstallPermissionEvent, false);
  if (!granted.IsValid())
    return;
  base::win::ScopedHandle undo = OpenNamedEvent(
      EVENT_ALL_ACCESS, folder, kernel_objects::kGiveInstallPermissionUndoEvent, false);
  if (!undo.IsValid())
    return;
  if (!base::DirectoryExists(folder) && !base::CreateDirectory(folder))
    return;

  std::wstring object_name = folder.value();
  PACL old_dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(object_name.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, &old_dacl, nullptr,
                            &descriptor) != ERROR_SUCCESS) {
    return;
  }

  std::wstring user = command_line.GetSwitchValueNative(switches::kPermissionsForUser);
  EXPLICIT_ACCESSW access = {};
  access.grfAccessPermissions = GENERIC_ALL;
  access.grfAccessMode = GRANT_ACCESS;
  access.grfInheritance = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  access.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
  access.Trustee.TrusteeType = TRUSTEE_IS_USER;
  access.Trustee.ptstrName = user.data();
  PACL new_dacl = nullptr;
  if (SetEntriesInAclW(1, &access, old_dacl, &new_dacl) != ERROR_SUCCESS) {
    LocalFree(descriptor);
    return;
  }
  DWORD applied = SetNamedSecurityInfoW(object_name.data(), SE_FILE_OBJECT,
                                        DACL_SECURITY_INFORMATION, nullptr, nullptr, new_dacl,
                                        nullptr);
  LocalFree(new_dacl);
  if (applied == ERROR_SUCCESS) {
    if (permanent) {
      SetEvent(granted.Get());
    } else {
      if (SetEvent(granted.Get())) {
        HANDLE handles[] = {undo.Get(), requester.Handle()};
        if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0)
          Sleep(kRestoreDelayMs);
      }
      SetNamedSecurityInfoW(object_name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, old_dacl, nullptr);
    }
  }
  LocalFree(descriptor);
}

// The installer that started this helper to ask for the grant: its parent.
// An invalid process when the parent has ended already; its id may then have
// been given to a newer process, which is told apart by its later start.
base::Process OpenRequestingInstaller() {
  const base::ProcessId parent = base::GetParentProcessId(base::GetCurrentProcId());
  if (parent == base::kNullProcessId)
    return base::Process();
  base::Process process =
      base::Process::OpenWithAccess(parent, SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION);
  if (!process.IsValid())
    return base::Process();
  FILETIME parent_start, own_start, unused1, unused2, unused3;
  if (!GetProcessTimes(process.Handle(), &parent_start, &unused1, &unused2, &unused3) ||
      !GetProcessTimes(GetCurrentProcess(), &own_start, &unused1, &unused2, &unused3) ||
      CompareFileTime(&parent_start, &own_start) > 0) {
    return base::Process();
  }
  return process;
}

}  // namespace

void RunFolderPermissionHelper(const base::CommandLine& command_line) {
  RunFolderPermissionHelper(command_line, OpenRequestingInstaller());
}

void RunFolderPermissionHelper(const base::CommandLine& command_line,
                               const base::Process& requester) {
  if (!command_line.HasSwitch(switches::kPermissionsForUser))
    return;
  base::FilePath folder = command_line.GetSwitchValuePath(switches::kSetFolderPermission);
  // The helper runs elevated: a relative folder would be taken from its
  // current folder, which the requesting installer does not choose.
  if (!folder.IsAbsolute())
    return;
  if (command_line.HasSwitch(switches::kWaitForPackage))
    WaitForPackageAndDelegate(command_line, folder, requester);
  else
    GrantFolderPermission(command_line, folder, requester);
}

base::Process RunUninstallBatch(const base::FilePath& folder) {
  if (!base::PathExists(folder.Append(kCleanupBatchFileName)))
    return base::Process();
  return StartCleanupBatchFile(folder);
}

}  // namespace installer
