// The choices of one installation run that are plain on/off flags, the
// operation a run performs and the installation mode. Settings keeps the
// flags as one word with bit N standing for SettingsFlag N; the flag names
// double as the names under which changes are logged.

#ifndef DESKTOP_WINDOWS_INSTALLER_SETTINGS_FLAG_H_
#define DESKTOP_WINDOWS_INSTALLER_SETTINGS_FLAG_H_

#include <cstdint>

namespace installer {

enum SettingsFlag : uint32_t {
  COPY_ONLY = 0,
  SINGLE_PROFILE = 1,
  LAUNCH_VELTO = 2,
  ALL_USERS_FLAG = 3,
  DEFAULT_BROWSER = 4,
  IMPORT_BROWSER_DATA = 5,
  INSTALL_POMREL = 6,
  ENABLE_VELTO_STATS = 7,
  ENABLE_INSTALLER_STATS = 8,
  DESKTOP_SHORTCUT = 9,
  START_MENU_SHORTCUT = 10,
  QUICK_LAUNCH_SHORTCUT = 11,
  PINNED_SHORTCUT = 12,
  UNINSTALL_FLAG = 13,
  SILENT = 14,
  AUTOUPDATE = 15,
  DELETE_PROFILE = 16,
  REPLACE_DROVIK_INSTALLATION = 17,
};

inline constexpr uint32_t kSettingsFlagCount = 18;

// The enumerator's spelling ("COPY_ONLY", ...); "UNKNOWN_FLAG" outside the set.
const char* GetSettingsFlagName(SettingsFlag flag);

// What a run does in its install folder. 0 until a folder analysis decided it,
// and again when the folder cannot be used.
enum InstallationOperation : int32_t {
  INVALID_PATH = 0,
  INSTALLING = 1,
  UPGRADING = 2,
  UNINSTALLING = 3,
  // Only registers the existing installation as the protocol handler.
  REGISTERING_PROTOCOL_HANDLER = 4,
};

enum InstallationMode : int32_t {
  ALL_USERS = 0,
  CURRENT_USER = 1,
  STANDALONE = 2,
};

// Bits of the |kind| argument of Settings::GetDefaultInstallFolder: which
// sources may give the default folder, tried from the highest bit down.
enum DefaultFolderKind : int {
  DEFAULT_FOLDER_STANDARD = 1,
  DEFAULT_FOLDER_REGISTRY = 2,
  DEFAULT_FOLDER_COMMAND_LINE = 4,
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SETTINGS_FLAG_H_
