// UninstallProcessLauncherImpl: ShellExecuteEx and WMI's Win32_Process.Create
// (needs COM initialised on the calling thread).

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_UNINSTALL_PROCESS_LAUNCHER_IMPL_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_UNINSTALL_PROCESS_LAUNCHER_IMPL_H_

#include <windows.h>

#include "desktop/windows/installer/steps/uninstall_process_launcher.h"

namespace installer {

class UninstallProcessLauncherImpl : public UninstallProcessLauncher {
 public:
  // The longest wait for the reinstall command.
  static constexpr DWORD kWaitLimitMs = 5 * 60 * 1000;

  // The process-wide instance.
  static UninstallProcessLauncher* GetInstance();

  bool RunAndWait(const std::wstring& program, const std::wstring& parameters) override;
  bool StartThroughWmi(const std::wstring& command_line) override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_UNINSTALL_PROCESS_LAUNCHER_IMPL_H_
