// InstallationStatus: what one installation of the browser put on the machine
// (version, app id, flags, folder, files, registry keys and values, shortcuts
// and components). The running installer fills a GENERATED record while it
// works and stores it as the status file of the installation folder; a later
// upgrade, uninstall or folder analysis reads it back to undo or reuse what the
// earlier installation did.
//
// The record is a plain value: it owns its strings and lists, and whoever holds
// it owns it. Narrow strings are UTF-8, wide strings UTF-16.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_STATUS_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_STATUS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace installer {

// Where a record came from. The values double as format codes of the status
// files: the loader picks a reader by them.
enum InstallationStatusSource : uint32_t {
  INVALID = 0,     // empty record, nothing loaded
  GENERATED = 1,   // built by the running installer
  PRIMARY = 2,     // the JSON status file of the folder
  LEGACY_XML = 3,  // the legacy XML status file of the folder
  RECOVERED = 4,   // a JSON status file kept in the old status folder
  LEGACY_XML_RECOVERED_FROM_OLD_FILES = 5,  // an XML one kept there
  DROVIK = 6,      // the former engine's install log
  STRING = 7,      // a name only; nothing reads or produces it
};

// "INVALID", "GENERATED", ... as the enumerators are spelled; empty for values
// outside the enumeration.
const char* InstallationStatusSourceToString(InstallationStatusSource source);

// Files and folder that hold status records, relative to an installation folder.
inline constexpr wchar_t kInstallationStatusFileName[] = L"installation_status.json";
inline constexpr wchar_t kLegacyXmlStatusFileName[] = L"installation_status.xml";
inline constexpr wchar_t kDrovikStatusFileName[] = L"velto_install_log.xml";
// The three, in the order in which a folder's status file is looked for.
inline constexpr const wchar_t* kStatusFileNames[] = {
    kInstallationStatusFileName, kLegacyXmlStatusFileName, kDrovikStatusFileName};
// Earlier status files moved aside by an upgrade, each named after the file it
// was with "." and the seconds since 1970 of the move appended.
inline constexpr wchar_t kOldStatusFolderName[] = L"old_status";

// Names of the shortcut destinations as the status files spell them.
inline constexpr char kShortcutDestDesktop[] = "SC_DEST_DESKTOP";
inline constexpr char kShortcutDestCommonDesktop[] = "SC_DEST_COMMON_DESKTOP";
inline constexpr char kShortcutDestMenu[] = "SC_DEST_MENU";
inline constexpr char kShortcutDestCommonMenu[] = "SC_DEST_COMMON_MENU";
inline constexpr char kShortcutDestQuickLaunch[] = "SC_DEST_QUICK_LAUNCH";

struct InstallationStatus {
  struct RegistryValue {
    // Windows type name ("REG_SZ", "REG_DWORD", ...).
    std::string type;
    std::string name;
    // UTF-8 text for string types, "%.2x" bytes joined by "," for REG_BINARY,
    // "%.8lx" for REG_DWORD, empty for other types.
    std::string data;

    bool operator==(const RegistryValue&) const = default;
  };

  struct RegistryKey {
    // Cleanup mode of the key as the registry templates give it.
    int32_t clean = 0;
    // Key path below the hive.
    std::string path;
    std::vector<RegistryValue> values;

    bool operator==(const RegistryKey&) const = default;
  };

  struct Component {
    std::string name;
    std::wstring path;

    bool operator==(const Component&) const = default;
  };

  // All flags false, every string and list empty.
  explicit InstallationStatus(InstallationStatusSource source);

  // The shortcut member a destination name fills: desktop for both desktop
  // names, start menu for both menu names, quick launch for its name; null for
  // any other name.
  std::wstring* FindShortcutForDestination(std::string_view destination);

  bool operator==(const InstallationStatus&) const = default;

  bool copy_only = false;
  // Also chooses the common shortcut destination names when written.
  bool all_users = false;
  bool pinned = false;
  InstallationStatusSource source;
  std::string app_id;
  std::wstring path;
  std::wstring subfolder;
  std::string version;
  std::wstring desktop_shortcut;
  std::wstring start_menu_shortcut;
  std::wstring quick_launch_shortcut;
  std::vector<std::wstring> files;
  std::vector<std::wstring> root_files;
  std::vector<Component> components;
  std::vector<RegistryKey> hklm_keys;
  std::vector<RegistryKey> hkcu_keys;
};

// A folder or file path as the status readers store it: UTF-8 converted to
// UTF-16, Unicode white space trimmed at both ends, then cut at the first NUL.
std::wstring StatusPathFromUTF8(std::string_view utf8);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_STATUS_H_
