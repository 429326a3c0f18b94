// Ids of the installer's localized strings (the string tables of the
// installer executable) that the front ends show.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_STRING_IDS_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_STRING_IDS_H_

namespace installer::strings {

inline constexpr int kInstallerTitle = 37000;
inline constexpr int kOk = 37001;
inline constexpr int kCancel = 37002;
inline constexpr int kYes = 37003;
inline constexpr int kNo = 37004;
inline constexpr int kCorruptedInstallerTitle = 37066;
inline constexpr int kCorruptedInstallerText = 37067;
inline constexpr int kCorruptedInstallerGo = 37068;
inline constexpr int kCorruptedInstallerCancel = 37069;

}  // namespace installer::strings

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_STRING_IDS_H_
