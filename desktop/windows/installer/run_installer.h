// The one entry of every installer process. The switches on the process's
// command line choose the mode: build information, console help, the
// set-folder-permission helper, the back end or a front end. Returns true on
// success; build information, help and the helper mode always succeed.

#ifndef DESKTOP_WINDOWS_INSTALLER_RUN_INSTALLER_H_
#define DESKTOP_WINDOWS_INSTALLER_RUN_INSTALLER_H_

namespace installer {

bool RunInstaller();

// Ends the process with exit code 1 after telling the user, when the
// processor lacks SSE2. Runs when the library is loaded.
void CheckSse2Support();

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_RUN_INSTALLER_H_
