// Member names of installation_status.json, shared by its writer and reader.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_STATUS_JSON_KEYS_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_STATUS_JSON_KEYS_H_

namespace installer::status_json {

inline constexpr char kVersion[] = "version";
inline constexpr char kCopyOnly[] = "copy_only";
inline constexpr char kAllUsers[] = "_all_users";
inline constexpr char kPinned[] = "pinned";
inline constexpr char kAppId[] = "app_id";
inline constexpr char kPath[] = "path";
inline constexpr char kSubfolder[] = "_subfolder";
inline constexpr char kFiles[] = "files";
inline constexpr char kRootFiles[] = "root_files";
inline constexpr char kRegistry[] = "registry";
inline constexpr char kMachineHive[] = "HKLM";
inline constexpr char kUserHive[] = "HKCU";
inline constexpr char kShortcuts[] = "shortcuts";
inline constexpr char kComponents[] = "components";

// Members of one registry key and of one of its values.
inline constexpr char kKeyPath[] = "path";
inline constexpr char kKeyClean[] = "clean";
inline constexpr char kKeyValues[] = "values";
inline constexpr char kValueName[] = "name";
inline constexpr char kValueType[] = "type";
inline constexpr char kValueData[] = "data";

}  // namespace installer::status_json

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_STATUS_JSON_KEYS_H_
