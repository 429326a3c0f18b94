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
inline constexpr int kTermsSentence = 37005;
inline constexpr int kOptions = 37006;
inline constexpr int kAcceptAndInstall = 37007;
inline constexpr int kAcceptAndUpgrade = 37008;
inline constexpr int kBack = 37009;
inline constexpr int kLanguage = 37010;
inline constexpr int kInstallFor = 37011;
inline constexpr int kInstallPath = 37012;
inline constexpr int kChange = 37016;
inline constexpr int kInvalidPath = 37017;
inline constexpr int kMakeDefaultBrowser = 37018;
inline constexpr int kImportData = 37019;
inline constexpr int kShareUsageData = 37020;
inline constexpr int kTagline = 37022;
inline constexpr int kProductNameCapitals = 37023;
inline constexpr int kThankYou = 37024;
inline constexpr int kDownloading = 37025;
inline constexpr int kExtracting = 37026;
inline constexpr int kInstalling = 37027;
inline constexpr int kInstallingForUser = 37028;
inline constexpr int kUninstalling = 37029;
inline constexpr int kBrowseForFolder = 37031;
inline constexpr int kAllUsers = 37032;
inline constexpr int kCurrentUser = 37033;
inline constexpr int kStandAlone = 37034;
inline constexpr int kUninstallQuestion = 37035;
inline constexpr int kDeleteUserData = 37036;
inline constexpr int kUninstall = 37037;
inline constexpr int kConfirmCancelInstall = 37038;
inline constexpr int kConfirmCancelUninstall = 37039;
// The install-for tooltip: a heading and an explanation per mode.
inline constexpr int kAllUsersTipTitle = 37040;
inline constexpr int kAllUsersTipText = 37041;
inline constexpr int kCurrentUserTipTitle = 37042;
inline constexpr int kCurrentUserTipText = 37043;
inline constexpr int kStandAloneTipTitle = 37044;
inline constexpr int kStandAloneTipText = 37045;
inline constexpr int kInstallFailed = 37046;
inline constexpr int kUninstallFailed = 37047;
inline constexpr int kTryAgain = 37048;
inline constexpr int kGetFullInstaller = 37049;
inline constexpr int kCorruptedInstallerTitle = 37066;
inline constexpr int kCorruptedInstallerText = 37067;
inline constexpr int kCorruptedInstallerGo = 37068;
inline constexpr int kCorruptedInstallerCancel = 37069;

}  // namespace installer::strings

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_STRING_IDS_H_
