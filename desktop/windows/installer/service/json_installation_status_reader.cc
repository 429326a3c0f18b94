#include "desktop/windows/installer/service/json_installation_status_reader.h"

#include <optional>
#include <utility>

#include "base/json/json_reader.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/service/installation_status_json_keys.h"

namespace installer {

namespace {


// Converts a shortcut path: cut at the first NUL, white space kept.
std::wstring ShortcutPathFromUTF8(const std::string& utf8) {
  std::wstring path = base::UTF8ToWide(utf8);
  size_t nul = path.find(L'\0');
  if (nul != std::wstring::npos)
    path.resize(nul);
  return path;
}

}  // namespace

JsonInstallationStatusReader::JsonInstallationStatusReader() = default;
JsonInstallationStatusReader::~JsonInstallationStatusReader() = default;

const std::string& JsonInstallationStatusReader::GetError() const {
  return error_;
}

std::unique_ptr<InstallationStatus> JsonInstallationStatusReader::Read(
    const std::string& contents,
    InstallationStatusSource source) {
  base::JSONReader::Result parsed = base::JSONReader::ReadAndReturnValueWithError(contents);
  if (!parsed.has_value()) {
    error_ = "Cannot parse the file as JSON: " + parsed.error.message;
    return nullptr;
  }
  const base::Value::Dict* root = parsed.value->GetIfDict();
  if (!root) {
    error_ = "The root is not a dictionary";
    return nullptr;
  }

  auto status = std::make_unique<InstallationStatus>(source);

  const std::string* version = root->FindString(status_json::kVersion);
  if (!version) {
    error_ = "No version information";
    return nullptr;
  }
  status->version = *version;

  if (const base::Value* app_id = root->Find(status_json::kAppId)) {
    if (!app_id->is_string()) {
      error_ = "Invalid app id type";
      return nullptr;
    }
    status->app_id = app_id->GetString();
  }

  std::optional<bool> copy_only = root->FindBool(status_json::kCopyOnly);
  if (!copy_only) {
    error_ = "No copy only information";
    return nullptr;
  }
  status->copy_only = *copy_only;

  std::optional<bool> all_users = root->FindBool(status_json::kAllUsers);
  if (!all_users) {
    error_ = "No all users information";
    return nullptr;
  }
  status->all_users = *all_users;

  std::optional<bool> pinned = root->FindBool(status_json::kPinned);
  if (!pinned) {
    error_ = "No pinned information";
    return nullptr;
  }
  status->pinned = *pinned;

  const std::string* path = root->FindString(status_json::kPath);
  if (!path) {
    error_ = "No install path information";
    return nullptr;
  }
  status->path = StatusPathFromUTF8(*path);

  if (const base::Value* subfolder = root->Find(status_json::kSubfolder)) {
    if (!subfolder->is_string()) {
      error_ = "Subfolder not a string";
      return nullptr;
    }
    status->subfolder = StatusPathFromUTF8(subfolder->GetString());
  }

  const base::Value::List* files = root->FindList(status_json::kFiles);
  if (!files) {
    error_ = std::string("No ") + status_json::kFiles + " list";
    return nullptr;
  }
  if (!ReadFileList(*files, &status->files))
    return nullptr;

  if (const base::Value* root_files = root->Find(status_json::kRootFiles)) {
    if (!root_files->is_list()) {
      error_ = std::string(status_json::kRootFiles) + " is not a list";
      return nullptr;
    }
    if (!ReadFileList(root_files->GetList(), &status->root_files))
      return nullptr;
  }

  const base::Value::Dict* registry = root->FindDict(status_json::kRegistry);
  if (!registry) {
    error_ = "No registry dictionary";
    return nullptr;
  }
  if (!ReadRegistry(*registry, status.get()))
    return nullptr;

  if (const base::Value* shortcuts = root->Find(status_json::kShortcuts)) {
    if (!shortcuts->is_dict()) {
      error_ = "Shortcuts not a dictionary";
      return nullptr;
    }
    if (!ReadShortcuts(shortcuts->GetDict(), status.get()))
      return nullptr;
  }

  // Components of any other type than a dictionary are ignored.
  if (const base::Value::Dict* components = root->FindDict(status_json::kComponents)) {
    if (!ReadComponents(*components, status.get()))
      return nullptr;
  }
  return status;
}

bool JsonInstallationStatusReader::ReadFileList(const base::Value::List& list,
                                                std::vector<std::wstring>* files) {
  for (const base::Value& element : list) {
    if (!element.is_string()) {
      error_ = "Element on files list is not a string";
      return false;
    }
    files->push_back(StatusPathFromUTF8(element.GetString()));
  }
  return true;
}

bool JsonInstallationStatusReader::ReadRegistry(const base::Value::Dict& registry,
                                                InstallationStatus* status) {
  const std::pair<const char*, std::vector<InstallationStatus::RegistryKey>*> hives[] = {
      {status_json::kMachineHive, &status->hklm_keys},
      {status_json::kUserHive, &status->hkcu_keys},
  };
  for (const auto& [hive, keys] : hives) {
    const base::Value* list = registry.Find(hive);
    if (!list)
      continue;
    if (!list->is_list()) {
      // A hive of the wrong kind has no message of its own.
      error_.clear();
      return false;
    }
    if (!ReadRegistryKeys(list->GetList(), keys))
      return false;
  }
  return true;
}

bool JsonInstallationStatusReader::ReadRegistryKeys(
    const base::Value::List& list,
    std::vector<InstallationStatus::RegistryKey>* keys) {
  for (const base::Value& element : list) {
    const base::Value::Dict* key_dict = element.GetIfDict();
    if (!key_dict) {
      error_ = "Registry key not a dictionary";
      return false;
    }
    InstallationStatus::RegistryKey key;
    const std::string* path = key_dict->FindString(status_json::kKeyPath);
    if (!path) {
      error_ = "Registry key dictionary doesn't specify a path";
      return false;
    }
    key.path = *path;
    std::optional<int> clean = key_dict->FindInt(status_json::kKeyClean);
    if (!clean) {
      error_ = "No cleanup information on a registry key";
      return false;
    }
    key.clean = *clean;
    const base::Value::List* values = key_dict->FindList(status_json::kKeyValues);
    if (!values) {
      error_ = "No values list in a registry key";
      return false;
    }
    for (const base::Value& value_element : *values) {
      const base::Value::Dict* value_dict = value_element.GetIfDict();
      if (!value_dict) {
        error_ = "Registry value is not a dictionary";
        return false;
      }
      InstallationStatus::RegistryValue value;
      const std::string* name = value_dict->FindString(status_json::kValueName);
      if (!name) {
        error_ = "No name in a registry key value";
        return false;
      }
      value.name = *name;
      const std::string* type = value_dict->FindString(status_json::kValueType);
      if (!type) {
        error_ = "No type information on a registry key value";
        return false;
      }
      value.type = *type;
      if (const std::string* data = value_dict->FindString(status_json::kValueData))
        value.data = *data;
      key.values.push_back(std::move(value));
    }
    keys->push_back(std::move(key));
  }
  return true;
}

bool JsonInstallationStatusReader::ReadShortcuts(const base::Value::Dict& shortcuts,
                                                 InstallationStatus* status) {
  for (const auto& [destination, value] : shortcuts) {
    if (!value.is_string()) {
      error_ = "Shorcut path is not a string";
      return false;
    }
    std::wstring* shortcut = status->FindShortcutForDestination(destination);
    if (!shortcut) {
      error_ = "Invalid shortcut type " + destination;
      return false;
    }
    *shortcut = ShortcutPathFromUTF8(value.GetString());
  }
  return true;
}

bool JsonInstallationStatusReader::ReadComponents(const base::Value::Dict& components,
                                                  InstallationStatus* status) {
  for (const auto& [name, value] : components) {
    if (!value.is_string()) {
      error_ = "Component path is not a string";
      return false;
    }
    status->components.push_back({name, StatusPathFromUTF8(value.GetString())});
  }
  return true;
}

}  // namespace installer
