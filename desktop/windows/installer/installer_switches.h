// Names of the switches that choose an installer process's mode. On the
// command line a switch is written "--name" or "--name=value".

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_SWITCHES_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_SWITCHES_H_

namespace installer::switches {

// Build information: print the value and return.
inline constexpr char kVersion[] = "version";
inline constexpr char kInternalVersion[] = "internal-version";
inline constexpr char kStream[] = "stream";

// The crash reporter process.
inline constexpr char kCrashReporterParentId[] = "crash-reporter-parent-id";
inline constexpr char kCrashReporterExceptionInfo[] = "crash-reporter-exception-info";
inline constexpr char kCrashReporterPid[] = "crash-reporter-pid";

// Console help.
inline constexpr char kHelp[] = "help";
inline constexpr char kHelpShort[] = "?";

// The set-folder-permission helper mode.
inline constexpr char kSetFolderPermission[] = "set-folder-permission";
inline constexpr char kRunUninstallBat[] = "run-uninstall-bat";
inline constexpr char kPermissionsForUser[] = "permissions-for-user";
inline constexpr char kWaitForPackage[] = "wait-for-package";
inline constexpr char kInitialPid[] = "initial-pid";
inline constexpr char kPermanentPermissions[] = "permanent-permissions";

// Process modes and their flags.
inline constexpr char kBackend[] = "backend";
inline constexpr char kRegisterAsProtocolHandler[] = "register-velto-as-protocol-handler";
// The front end that started a back end: an inherited handle, else its id.
inline constexpr char kInitialProcHandle[] = "initial-proc-handle";
inline constexpr char kUninstall[] = "uninstall";
inline constexpr char kSilent[] = "silent";
inline constexpr char kRunImmediately[] = "runimmediately";
inline constexpr char kAutoupdate[] = "autoupdate";
inline constexpr char kReplaceOldEngine[] = "replacedrovikinstallation";
inline constexpr char kInstallFolder[] = "installfolder";
inline constexpr char kLanguage[] = "language";
inline constexpr char kServerTrackingBlob[] = "server-tracking-blob";
inline constexpr char kTempFolder[] = "temp-folder";

// Between an installer and the installer processes it starts.
inline constexpr char kParentPid[] = "parent-pid";
inline constexpr char kRunElevated[] = "run-elevated";
inline constexpr char kPostElevatedInstallTasks[] = "post-elevated-install-tasks";
// The event a child installer sets when its run has succeeded.
inline constexpr char kSuccessEvent[] = "success-event";
// For the browser's launcher after an install.
inline constexpr char kStartMaximized[] = "start-maximized";

// Logging detail: verbose entries up to this level are written.
inline constexpr char kVerboseLevel[] = "v";

}  // namespace installer::switches

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_SWITCHES_H_
