#include "desktop/windows/installer/service/json_installation_status_writer.h"

#include <climits>

#include "base/files/file_util.h"
#include "base/json/json_writer.h"
#include "base/logging.h"
#include "base/values.h"
#include "desktop/windows/installer/service/installation_status_json_keys.h"

namespace installer {

namespace {

base::Value::List FileList(const std::vector<std::wstring>& files) {
  base::Value::List list;
  for (const std::wstring& file : files)
    list.Append(std::wstring_view(file));
  return list;
}

base::Value::List RegistryKeyList(const std::vector<InstallationStatus::RegistryKey>& keys) {
  base::Value::List list;
  for (const InstallationStatus::RegistryKey& key : keys) {
    base::Value::List values;
    for (const InstallationStatus::RegistryValue& value : key.values) {
      base::Value::Dict value_dict;
      value_dict.Set(status_json::kValueType, value.type);
      value_dict.Set(status_json::kValueName, value.name);
      value_dict.Set(status_json::kValueData, value.data);
      values.Append(std::move(value_dict));
    }
    base::Value::Dict key_dict;
    key_dict.Set(status_json::kKeyClean, static_cast<int>(key.clean));
    key_dict.Set(status_json::kKeyPath, key.path);
    key_dict.Set(status_json::kKeyValues, std::move(values));
    list.Append(std::move(key_dict));
  }
  return list;
}

}  // namespace

std::optional<std::string> InstallationStatusToJson(const InstallationStatus& status) {
  base::Value::Dict root;
  root.Set(status_json::kVersion, status.version);
  root.Set(status_json::kCopyOnly, status.copy_only);
  root.Set(status_json::kAllUsers, status.all_users);
  root.Set(status_json::kPinned, status.pinned);
  if (!status.app_id.empty())
    root.Set(status_json::kAppId, status.app_id);
  root.Set(status_json::kPath, std::wstring_view(status.path));
  root.Set(status_json::kSubfolder, std::wstring_view(status.subfolder));
  root.Set(status_json::kFiles, FileList(status.files));
  if (!status.root_files.empty())
    root.Set(status_json::kRootFiles, FileList(status.root_files));

  base::Value::Dict registry;
  if (!status.hklm_keys.empty())
    registry.Set(status_json::kMachineHive, RegistryKeyList(status.hklm_keys));
  if (!status.hkcu_keys.empty())
    registry.Set(status_json::kUserHive, RegistryKeyList(status.hkcu_keys));
  root.Set(status_json::kRegistry, std::move(registry));

  base::Value::Dict shortcuts;
  if (!status.desktop_shortcut.empty()) {
    shortcuts.Set(status.all_users ? kShortcutDestCommonDesktop : kShortcutDestDesktop,
                  std::wstring_view(status.desktop_shortcut));
  }
  if (!status.start_menu_shortcut.empty()) {
    shortcuts.Set(status.all_users ? kShortcutDestCommonMenu : kShortcutDestMenu,
                  std::wstring_view(status.start_menu_shortcut));
  }
  if (!status.quick_launch_shortcut.empty())
    shortcuts.Set(kShortcutDestQuickLaunch, std::wstring_view(status.quick_launch_shortcut));
  if (!shortcuts.empty())
    root.Set(status_json::kShortcuts, std::move(shortcuts));

  // Names are stored as plain keys, dots included, so that every name reads
  // back as the component it was; a later component replaces an earlier one of
  // the same name.
  base::Value::Dict components;
  for (const InstallationStatus::Component& component : status.components)
    components.Set(component.name, std::wstring_view(component.path));
  if (!components.empty())
    root.Set(status_json::kComponents, std::move(components));

  std::string json;
  if (!base::JSONWriter::Write(root, &json)) {
    LOG(ERROR) << "Failed to write status as JSON";
    return std::nullopt;
  }
  return json;
}

bool WriteInstallationStatusFile(const InstallationStatus& status, const base::FilePath& path) {
  // An empty text would wipe the status of the installation: keep what the
  // file holds instead.
  std::optional<std::string> json = InstallationStatusToJson(status);
  if (!json)
    return false;
  if (json->size() > static_cast<size_t>(INT_MAX)) {
    LOG(ERROR) << "Status text too long to write: " << json->size() << " bytes";
    return false;
  }
  return base::WriteFile(path, *json);
}

}  // namespace installer
