// Names of the switches that carry the settings of an installation run from
// the front end to the back end (and the user's own choices on the first
// command line), and the parser of their boolean values. The switches that
// choose the process mode are in installer_switches.h.

#ifndef DESKTOP_WINDOWS_INSTALLER_SETTINGS_SWITCHES_H_
#define DESKTOP_WINDOWS_INSTALLER_SETTINGS_SWITCHES_H_

#include <string>

namespace installer {

namespace switches {

inline constexpr char kInstall[] = "install";
inline constexpr char kImportBrowserData[] = "import-browser-data";
inline constexpr char kEnableStats[] = "enable-stats";
inline constexpr char kEnableInstallerStats[] = "enable-installer-stats";
inline constexpr char kLaunchVelto[] = "launchvelto";
inline constexpr char kLaunchBrowser[] = "launchbrowser";
inline constexpr char kProfileFolder[] = "profile-folder";
inline constexpr char kNiuid[] = "niuid";
inline constexpr char kMedium[] = "medium";
inline constexpr char kSingleProfile[] = "singleprofile";
inline constexpr char kCopyOnly[] = "copyonly";
inline constexpr char kAllUsers[] = "allusers";
inline constexpr char kSetDefaultBrowser[] = "setdefaultbrowser";
inline constexpr char kStartMenuShortcut[] = "startmenushortcut";
inline constexpr char kDesktopShortcut[] = "desktopshortcut";
inline constexpr char kQuickLaunchShortcut[] = "quicklaunchshortcut";
inline constexpr char kPinToTaskbar[] = "pintotaskbar";
inline constexpr char kInstallPomrel[] = "install-pomrel";
inline constexpr char kDeleteUserProfile[] = "deleteuserprofile";
inline constexpr char kComponents[] = "components";
inline constexpr char kServerTrackingData[] = "server-tracking-data";
// Passed through unchanged to the browser's first run.
inline constexpr char kImportBookmarks[] = "import-bookmarks";
inline constexpr char kImportSession[] = "import-session";
inline constexpr char kImportTopsitesToSpeeddial[] = "import-topsites-to-speeddial";

}  // namespace switches

// A boolean switch value: false when empty, true for "yes" or "true" (ASCII
// case ignored), otherwise whether its leading decimal number is not 0.
bool ParseBoolSwitchValue(const std::wstring& value);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SETTINGS_SWITCHES_H_
