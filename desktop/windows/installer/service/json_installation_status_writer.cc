#include "desktop/windows/installer/service/json_installation_status_writer.h"

#include <climits>

#include "base/files/file_util.h"
#include "base/json/json_writer.h"
#include "base/logging.h"
#include "base/values.h"

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
      value_dict.Set("type", value.type);
      value_dict.Set("name", value.name);
      value_dict.Set("data", value.data);
      values.Append(std::move(value_dict));
    }
    base::Value::Dict key_dict;
    key_dict.Set("clean", static_cast<int>(key.clean));
    key_dict.Set("path", key.path);
    key_dict.Set("values", std::move(values));
    list.Append(std::move(key_dict));
  }
  return list;
}

}  // namespace

std::optional<std::string> InstallationStatusToJson(const InstallationStatus& status) {
  base::Value::Dict root;
  root.Set("version", status.version);
  root.Set("copy_only", status.copy_only);
  root.Set("_all_users", status.all_users);
  root.Set("pinned", status.pinned);
  if (!status.app_id.empty())
    root.Set("app_id", status.app_id);
  root.Set("path", std::wstring_view(status.path));
  root.Set("_subfolder", std::wstring_view(status.subfolder));
  root.Set("files", FileList(status.files));
  if (!status.root_files.empty())
    root.Set("root_files", FileList(status.root_files));

  base::Value::Dict registry;
  if (!status.hklm_keys.empty())
    registry.Set("HKLM", RegistryKeyList(status.hklm_keys));
  if (!status.hkcu_keys.empty())
    registry.Set("HKCU", RegistryKeyList(status.hkcu_keys));
  root.Set("registry", std::move(registry));

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
    root.Set("shortcuts", std::move(shortcuts));

  // Names are stored as plain keys, dots included, so that every name reads
  // back as the component it was; a later component replaces an earlier one of
  // the same name.
  base::Value::Dict components;
  for (const InstallationStatus::Component& component : status.components)
    components.Set(component.name, std::wstring_view(component.path));
  if (!components.empty())
    root.Set("components", std::move(components));

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
