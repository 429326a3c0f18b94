// UninstallProcessLauncher: the programs an uninstallation starts outside the
// installer's own files — the old default browser's reinstall command, which
// hands the default back, and the uninstall survey page in a private browser
// window, started through WMI so that it does not become a child of the
// installer. UninstallProcessLauncherImpl makes the real calls; tests of the
// uninstall steps hand in their own.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_UNINSTALL_PROCESS_LAUNCHER_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_UNINSTALL_PROCESS_LAUNCHER_H_

#include <string>

namespace installer {

class UninstallProcessLauncher {
 public:
  virtual ~UninstallProcessLauncher() = default;

  // Runs |program| with |parameters| (environment strings expanded) through
  // the shell, with the file-system redirection of a 32-bit process on
  // 64-bit Windows off, and waits for it to end. False when it could not be
  // started, with the system error left as the last error; the shell shows
  // no error box for it.
  virtual bool RunAndWait(const std::wstring& program, const std::wstring& parameters) = 0;

  // Starts |command_line| through WMI process creation. False on failure.
  virtual bool StartThroughWmi(const std::wstring& command_line) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_UNINSTALL_PROCESS_LAUNCHER_H_
