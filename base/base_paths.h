// Keys of the well-known paths that PathService (base/path_service.h) resolves.
// Folders come without a trailing separator.

#ifndef BASE_BASE_PATHS_H_
#define BASE_BASE_PATHS_H_

namespace base {

enum BasePathKey {
  PATH_START = 0,

  DIR_CURRENT,            // The current directory.
  FILE_EXE,               // The executable of the host process (not a DLL).
  DIR_EXE,                // The folder of FILE_EXE.
  FILE_MODULE,            // The module (exe or DLL) that contains this code.
  DIR_MODULE,             // The folder of FILE_MODULE.
  DIR_TEMP,               // The temporary folder (GetTempPathW).
  DIR_HOME,               // The user's profile folder ("C:\Users\<name>").
  DIR_WINDOWS,            // "C:\Windows", the system's (not a user's on a Remote Desktop host).
  DIR_SYSTEM,             // "C:\Windows\System32" as this process sees it.
  DIR_PROGRAM_FILES,      // Program Files of this process's bitness.
  DIR_PROGRAM_FILESX86,   // The 32-bit Program Files ("Program Files (x86)" on 64-bit Windows).
  DIR_APP_DATA,           // The roaming application data folder (CSIDL_APPDATA).
  DIR_LOCAL_APP_DATA,     // The local application data folder (CSIDL_LOCAL_APPDATA).
  DIR_COMMON_APP_DATA,    // Application data of all users (CSIDL_COMMON_APPDATA).
  DIR_USER_DESKTOP,       // The user's desktop.
  DIR_COMMON_DESKTOP,     // The desktop of all users.
  DIR_START_MENU,         // The user's Start menu "Programs" folder.
  DIR_COMMON_START_MENU,  // The all-users Start menu "Programs" folder.
  DIR_USER_QUICK_LAUNCH,  // "<roaming app data>\Microsoft\Internet Explorer\Quick Launch".
  DIR_TASKBAR_PINS,       // DIR_USER_QUICK_LAUNCH + "\User Pinned\TaskBar".

  PATH_END
};

}  // namespace base

#endif  // BASE_BASE_PATHS_H_
