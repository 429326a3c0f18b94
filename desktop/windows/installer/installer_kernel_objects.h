// Base names of the named events and mutexes through which installer
// processes of one installation meet. The full name adds the install folder
// (see GetKernelObjectName).

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_KERNEL_OBJECTS_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_KERNEL_OBJECTS_H_

namespace installer::kernel_objects {

inline constexpr wchar_t kPackageReadyEvent[] = L"VeltoInstaller/PackageReady";
inline constexpr wchar_t kInstallationInterruptedEvent[] =
    L"VeltoInstaller/InstallationInterrupted";
inline constexpr wchar_t kGiveInstallPermissionEvent[] = L"VeltoInstaller/GiveInstallPermission";
inline constexpr wchar_t kGiveInstallPermissionUndoEvent[] =
    L"VeltoInstaller/GiveInstallPermission/Undo";
// Set by a child installer whose run succeeded; named after the waiting
// process rather than the folder (see ChildSuccessEvent).
inline constexpr wchar_t kChildSucceededEvent[] = L"VeltoInstaller/ChildSucceeded";

}  // namespace installer::kernel_objects

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_KERNEL_OBJECTS_H_
