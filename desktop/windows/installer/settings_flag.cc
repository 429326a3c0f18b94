#include "desktop/windows/installer/settings_flag.h"

namespace installer {

const char* GetSettingsFlagName(SettingsFlag flag) {
  static constexpr const char* kNames[kSettingsFlagCount] = {
      "COPY_ONLY",
      "SINGLE_PROFILE",
      "LAUNCH_VELTO",
      "ALL_USERS_FLAG",
      "DEFAULT_BROWSER",
      "IMPORT_BROWSER_DATA",
      "INSTALL_POMREL",
      "ENABLE_VELTO_STATS",
      "ENABLE_INSTALLER_STATS",
      "DESKTOP_SHORTCUT",
      "START_MENU_SHORTCUT",
      "QUICK_LAUNCH_SHORTCUT",
      "PINNED_SHORTCUT",
      "UNINSTALL_FLAG",
      "SILENT",
      "AUTOUPDATE",
      "DELETE_PROFILE",
      "REPLACE_DROVIK_INSTALLATION",
  };
  return flag < kSettingsFlagCount ? kNames[flag] : "UNKNOWN_FLAG";
}

}  // namespace installer
