// Facts shared by both ends of the installer's mailslot channel.

#ifndef DESKTOP_WINDOWS_INSTALLER_IPC_MAILSLOT_CONSTANTS_H_
#define DESKTOP_WINDOWS_INSTALLER_IPC_MAILSLOT_CONSTANTS_H_

#include <cstddef>

namespace installer {

// Prefix of every mailslot path; the caller's name follows it.
inline constexpr wchar_t kMailslotPathPrefix[] = L"\\\\.\\mailslot\\";

// The name of the mailslot of one installation is this followed by its
// install path.
inline constexpr wchar_t kInstallerMailslotName[] = L"velto_installer\\";

// The largest message the receiving mailslot accepts, in bytes. Larger writes
// are refused by Windows and cut short by Wine, so the sender never tries one.
inline constexpr size_t kMailslotMaxMessageSize = 2048;

// The name of each channel end's own thread.
inline constexpr char kIpcThreadName[] = "Installer IPC thread";

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_IPC_MAILSLOT_CONSTANTS_H_
