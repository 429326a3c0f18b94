#include "desktop/windows/installer/service/xml_installation_status_reader.h"

#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"

namespace installer {

namespace {

constexpr char kRootElement[] = "install_log";
constexpr char kPathElement[] = "path";
constexpr char kFilesElement[] = "files";
constexpr char kRootFilesElement[] = "root_files";
constexpr char kFileElement[] = "file";
constexpr char kRegistryElement[] = "registry";
constexpr char kKeyElement[] = "key";
constexpr char kValueElement[] = "value";
constexpr char kShortcutElement[] = "shortcut";
constexpr char kComponentsElement[] = "components";
constexpr char kComponentElement[] = "component";
constexpr char kComponentNameElement[] = "name";
constexpr char kComponentPathElement[] = "path";

// Flags are true only when spelled exactly so.
constexpr char kTrue[] = "True";

bool IsSectionAfterRootFiles(const std::string& name) {
  return name == kRegistryElement || name == kShortcutElement || name == kComponentsElement;
}

}  // namespace

// The error texts of one list of "file" elements.
struct XmlInstallationStatusReader::FileListTexts {
  const char* no_first_file;
  const char* misnamed_file;
  const char* no_text;
  const char* traversal_failed;
  const char* no_way_back;
};

XmlInstallationStatusReader::XmlInstallationStatusReader() = default;
XmlInstallationStatusReader::~XmlInstallationStatusReader() = default;

const std::string& XmlInstallationStatusReader::GetError() const {
  return error_;
}

bool XmlInstallationStatusReader::Fail(const std::string& error) {
  error_ = error;
  return false;
}

std::unique_ptr<InstallationStatus> XmlInstallationStatusReader::Read(
    const std::string& contents,
    InstallationStatusSource source) {
  document_ = std::make_unique<XmlDocument>();
  std::string load_error;
  if (!document_->LoadFromString(contents, &load_error)) {
    Fail("Cannot parse the file as XML: " + load_error);
    return nullptr;
  }
  auto status = std::make_unique<InstallationStatus>(source);
  if (!ReadRoot(status.get()) || !ReadPath(status.get()))
    return nullptr;

  if (document_->MoveToNextSibling() != XmlDocument::MOVED) {
    Fail("Cannot go to files element");
    return nullptr;
  }
  std::string name;
  if (!document_->GetNodeName(&name) || name != kFilesElement) {
    Fail("Files element is incorrectly named");
    return nullptr;
  }
  static constexpr FileListTexts kFilesTexts = {
      "Cannot proceed to the first file on the list",
      "File element is incorrectly named",
      "Cannot get text content of a file element",
      "Failed traversing the files list",
      "Cannot get back to the files list",
  };
  if (!ReadFileElements(kFilesTexts, &status->files))
    return nullptr;

  // The sections after the files, each optional, in their fixed order.
  XmlDocument::MoveResult moved = document_->MoveToNextSibling();
  if (moved == XmlDocument::FAILED) {
    Fail("Cannot proceed to the expected root files list");
    return nullptr;
  }
  if (moved == XmlDocument::NO_ELEMENT)
    return status;
  if (!document_->GetNodeName(&name)) {
    Fail("Cannot get the expected root files list name");
    return nullptr;
  }
  if (name == kRootFilesElement) {
    static constexpr FileListTexts kRootFilesTexts = {
        "Cannot proceed to the first root file",
        "A root file is incorrectly named",
        "Cannot get text of a root file",
        "Failed traversing the root files list",
        "Cannot get back to the root files list",
    };
    if (!ReadFileElements(kRootFilesTexts, &status->root_files))
      return nullptr;
    moved = document_->MoveToNextSibling();
    if (moved == XmlDocument::FAILED) {
      Fail("Cannot proceed from the root files list");
      return nullptr;
    }
    if (moved == XmlDocument::NO_ELEMENT)
      return status;
    if (!document_->GetNodeName(&name)) {
      Fail("Cannot get root files list successor name");
      return nullptr;
    }
    if (!IsSectionAfterRootFiles(name)) {
      Fail("Invalid successor of root files list");
      return nullptr;
    }
  } else if (!IsSectionAfterRootFiles(name)) {
    Fail("Invalid element in place of the optional root files list");
    return nullptr;
  }

  while (name == kRegistryElement) {
    if (!ReadRegistryElement(status.get()))
      return nullptr;
    moved = document_->MoveToNextSibling();
    if (moved == XmlDocument::FAILED) {
      Fail("Failure while traversing registry keys");
      return nullptr;
    }
    if (moved == XmlDocument::NO_ELEMENT)
      return status;
    if (!document_->GetNodeName(&name) ||
        (name != kRegistryElement && name != kShortcutElement && name != kComponentsElement)) {
      Fail("Invalid successor of the registry element");
      return nullptr;
    }
  }

  while (name == kShortcutElement) {
    if (!ReadShortcut(status.get()))
      return nullptr;
    moved = document_->MoveToNextSibling();
    if (moved == XmlDocument::FAILED) {
      Fail("Failure while traversing shortcuts");
      return nullptr;
    }
    if (moved == XmlDocument::NO_ELEMENT)
      return status;
    if (!document_->GetNodeName(&name)) {
      Fail("Failed getting the shortcut successor element name");
      return nullptr;
    }
    if (name != kShortcutElement && name != kComponentsElement)
      return nullptr;
  }

  if (!ReadComponents(status.get()))
    return nullptr;
  return status;
}

bool XmlInstallationStatusReader::ReadRoot(InstallationStatus* status) {
  if (document_->MoveToFirstChild() != XmlDocument::MOVED)
    return Fail("Cannot proceed to the root element");
  std::string name;
  if (!document_->GetNodeName(&name) || name != kRootElement)
    return Fail("The root element's name is invalid");
  if (!document_->GetAttribute("version", &status->version))
    return Fail("There's no version attribute on the root element");
  document_->GetAttribute("app_id", &status->app_id);

  const std::pair<const char*, bool*> flags[] = {
      {"copy_only", &status->copy_only},
      {"all_users", &status->all_users},
      {"pinned", &status->pinned},
  };
  for (const auto& [attribute, flag] : flags) {
    std::string value;
    if (!document_->GetAttribute(attribute, &value)) {
      return Fail(std::string("There's no ") + attribute + " attribute on the root element");
    }
    *flag = value == kTrue;
  }
  return true;
}

bool XmlInstallationStatusReader::ReadPath(InstallationStatus* status) {
  if (document_->MoveToFirstChild() != XmlDocument::MOVED)
    return Fail("Cannot proceed to the path");
  std::string name;
  if (!document_->GetNodeName(&name) || name != kPathElement)
    return Fail("The path element is not named correctly");
  std::string text;
  if (!document_->GetText(&text))
    return Fail("Cannot get text contents of path");
  status->path = StatusPathFromUTF8(text);
  std::string subfolder;
  if (document_->GetAttribute("subfolder", &subfolder))
    status->subfolder = StatusPathFromUTF8(subfolder);
  return true;
}

bool XmlInstallationStatusReader::ReadFileElements(const FileListTexts& texts,
                                                   std::vector<std::wstring>* files) {
  if (document_->MoveToFirstChild() != XmlDocument::MOVED)
    return Fail(texts.no_first_file);
  for (;;) {
    std::string name;
    if (!document_->GetNodeName(&name) || name != kFileElement)
      return Fail(texts.misnamed_file);
    std::string text;
    if (!document_->GetText(&text))
      return Fail(texts.no_text);
    files->push_back(StatusPathFromUTF8(text));
    XmlDocument::MoveResult moved = document_->MoveToNextSibling();
    if (moved == XmlDocument::NO_ELEMENT)
      break;
    if (moved == XmlDocument::FAILED)
      return Fail(texts.traversal_failed);
  }
  if (document_->MoveToParent() != XmlDocument::MOVED)
    return Fail(texts.no_way_back);
  return true;
}

bool XmlInstallationStatusReader::ReadRegistryElement(InstallationStatus* status) {
  std::string hive;
  if (!document_->GetAttribute("hive", &hive))
    return Fail("Cannot get the hive attibute of a registry element");
  std::vector<InstallationStatus::RegistryKey>* keys = nullptr;
  if (hive == "HKLM")
    keys = &status->hklm_keys;
  else if (hive == "HKCU")
    keys = &status->hkcu_keys;
  else
    return Fail("The hive attribute is not HKLM nor HKCU");

  if (document_->MoveToFirstChild() != XmlDocument::MOVED)
    return false;
  for (;;) {
    InstallationStatus::RegistryKey key;
    if (!ReadRegistryKey(&key))
      return false;
    keys->push_back(std::move(key));
    XmlDocument::MoveResult moved = document_->MoveToNextSibling();
    if (moved == XmlDocument::NO_ELEMENT)
      break;
    if (moved == XmlDocument::FAILED)
      return false;
  }
  if (document_->MoveToParent() != XmlDocument::MOVED)
    return false;
  return true;
}

bool XmlInstallationStatusReader::ReadRegistryKey(InstallationStatus::RegistryKey* key) {
  std::string name;
  if (!document_->GetNodeName(&name) || name != kKeyElement)
    return false;
  if (!document_->GetAttribute("path", &key->path))
    return false;
  std::string clean;
  if (!document_->GetAttribute("clean", &clean))
    return false;
  int clean_value = 0;
  if (!base::StringToInt(clean, &clean_value))
    return false;
  key->clean = clean_value;

  XmlDocument::MoveResult moved = document_->MoveToFirstChild();
  if (moved == XmlDocument::NO_ELEMENT)
    return true;
  if (moved == XmlDocument::FAILED)
    return false;
  for (;;) {
    if (!document_->GetNodeName(&name) || name != kValueElement)
      return false;
    InstallationStatus::RegistryValue value;
    if (!document_->GetAttribute("name", &value.name))
      return false;
    if (!document_->GetAttribute("type", &value.type))
      return false;
    std::string text;
    if (!document_->GetText(&text))
      return false;
    value.data = std::string(base::TrimWhitespaceASCII(text, base::TRIM_ALL));
    key->values.push_back(std::move(value));
    moved = document_->MoveToNextSibling();
    if (moved == XmlDocument::NO_ELEMENT)
      break;
    if (moved == XmlDocument::FAILED)
      return false;
  }
  if (document_->MoveToParent() != XmlDocument::MOVED)
    return false;
  return true;
}

bool XmlInstallationStatusReader::ReadShortcut(InstallationStatus* status) {
  std::string type;
  if (!document_->GetAttribute("type", &type))
    return Fail("A shortcut element doesn't feature a type attribute");
  std::wstring* shortcut = status->FindShortcutForDestination(type);
  if (!shortcut)
    return Fail("Invalid shortcut type " + type);
  std::string text;
  if (!document_->GetText(&text))
    return false;
  *shortcut = StatusPathFromUTF8(text);
  return true;
}

bool XmlInstallationStatusReader::ReadComponents(InstallationStatus* status) {
  if (document_->MoveToFirstChild() != XmlDocument::MOVED)
    return Fail("Failed going to the first component");
  for (;;) {
    std::string name;
    if (!document_->GetNodeName(&name) || name != kComponentElement)
      return Fail("A component element is not called component");
    if (document_->MoveToFirstChild() != XmlDocument::MOVED)
      return Fail("Cannot go to first child of a component");
    if (!document_->GetNodeName(&name) || name != kComponentNameElement)
      return Fail("Component's first child is not called name");
    InstallationStatus::Component component;
    if (!document_->GetText(&component.name))
      return Fail("Cannot get component's name as text");
    if (document_->MoveToNextSibling() != XmlDocument::MOVED)
      return Fail("Cannot go to component.name sibling");
    if (!document_->GetNodeName(&name) || name != kComponentPathElement)
      return Fail("component.path is not called path");
    std::string path;
    if (!document_->GetText(&path))
      return Fail("Cannot get the path of a component as text");
    component.path = StatusPathFromUTF8(path);
    status->components.push_back(std::move(component));
    if (document_->MoveToParent() != XmlDocument::MOVED)
      return Fail("Cannot get back to the component's parent element");
    XmlDocument::MoveResult moved = document_->MoveToNextSibling();
    if (moved == XmlDocument::NO_ELEMENT)
      break;
    if (moved == XmlDocument::FAILED)
      return Fail("Failure while traversing components");
  }
  if (document_->MoveToParent() != XmlDocument::MOVED)
    return Fail("Cannot get back to the root of component list");
  if (document_->MoveToNextSibling() != XmlDocument::NO_ELEMENT)
    return Fail("Components are not the last element in status");
  return true;
}

}  // namespace installer
