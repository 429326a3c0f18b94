// ShellLauncherImpl: ShellLauncher through ShellExecuteExW.

#ifndef DESKTOP_WINDOWS_INSTALLER_SHELL_LAUNCHER_IMPL_H_
#define DESKTOP_WINDOWS_INSTALLER_SHELL_LAUNCHER_IMPL_H_

#include <string>

#include "desktop/windows/installer/shell_launcher.h"

namespace installer {

class ShellLauncherImpl : public ShellLauncher {
 public:
  // A process-wide instance that is never destroyed.
  static ShellLauncher* GetInstance();

  ShellLauncherImpl() = default;
  ShellLauncherImpl(const ShellLauncherImpl&) = delete;
  ShellLauncherImpl& operator=(const ShellLauncherImpl&) = delete;

  bool Open(const std::wstring& file, const std::wstring& parameters) override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SHELL_LAUNCHER_IMPL_H_
