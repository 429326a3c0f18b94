// ShellLauncher: hands a program or an address to the Windows shell, the way
// the Run box would: the "open" verb, shown normally, environment strings
// expanded, without waiting for what it starts. The interactive installer
// opens the full installer's download page with it. ShellLauncherImpl makes
// the real call; tests hand in their own so that no browser is started.

#ifndef DESKTOP_WINDOWS_INSTALLER_SHELL_LAUNCHER_H_
#define DESKTOP_WINDOWS_INSTALLER_SHELL_LAUNCHER_H_

#include <string>

namespace installer {

class ShellLauncher {
 public:
  virtual ~ShellLauncher() = default;

  // Opens |file| (a program, document or URL) with |parameters| (may be
  // empty). False when the shell could not start it; it shows no error box.
  virtual bool Open(const std::wstring& file, const std::wstring& parameters) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SHELL_LAUNCHER_H_
