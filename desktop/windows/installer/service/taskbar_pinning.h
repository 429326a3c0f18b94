// Pinning the browser's shortcut to the Windows taskbar. Windows 7, 8 and 8.1
// pin through the shell verb "taskbarpin"; from Windows 10 on a helper
// program of the package ("installer_helper_64.exe" on 64-bit Windows, else
// "installer_helper.exe") pins, started as "explorer.exe" from the temporary
// folder. Finding existing pins is in shortcut_matching.h.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TASKBAR_PINNING_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TASKBAR_PINNING_H_

#include "base/files/file_path.h"
#include "base/time/time.h"

namespace installer {

class WindowsVersionProvider;

// Pin modes.
constexpr int kPinAlways = 0;
// Pins at most once per kRepinInterval; the first call only starts the clock.
constexpr int kPinPeriodically = 2;
constexpr base::TimeDelta kRepinInterval = base::TimeDelta::FromDays(182);

// Pins |shortcut| to the taskbar; the helper lies in |helper_folder|. False
// when it was not pinned (also when mode kPinPeriodically holds it back).
bool PinShortcutToTaskbar(const base::FilePath& helper_folder,
                          const base::FilePath& shortcut,
                          int mode);
// The same on the Windows version |version| reports, at time |now|.
bool PinShortcutToTaskbar(const base::FilePath& helper_folder,
                          const base::FilePath& shortcut,
                          int mode,
                          const WindowsVersionProvider& version,
                          base::Time now);

// Copies the helper to the temporary folder as "explorer.exe", runs it with
// |shortcut| and deletes the copy again. True when the helper exited with 0.
bool PinWithHelper(const base::FilePath& helper_folder, const base::FilePath& shortcut);

// The helper's name on this Windows ("installer_helper_64.exe" or
// "installer_helper.exe").
const wchar_t* GetPinHelperName();

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TASKBAR_PINNING_H_
