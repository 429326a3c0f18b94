#include "desktop/windows/installer/service/registry_template_entry.h"

#include <cstdio>
#include <cstring>
#include <limits>

#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/service/transactions/change_reg_value_operation.h"
#include "desktop/windows/installer/service/transactions/delete_reg_key_operation.h"
#include "desktop/windows/installer/service/variable_resolver.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

constexpr const char* kRegistryTypeNames[] = {
    "REG_NONE",
    "REG_SZ",
    "REG_EXPAND_SZ",
    "REG_BINARY",
    "REG_DWORD",
    "REG_DWORD_BIG_ENDIAN",
    "REG_LINK",
    "REG_MULTI_SZ",
    "REG_RESOURCE_LIST",
    "REG_FULL_RESOURCE_DESCRIPTOR",
    "REG_RESOURCE_REQUIREMENTS_LIST",
    "REG_QWORD",
};

std::string RegistryTypeName(uint32_t type) {
  if (type < std::size(kRegistryTypeNames))
    return kRegistryTypeNames[type];
  return std::string();
}

std::string RecordedData(const uint8_t* data, uint32_t type, uint32_t size) {
  std::string text;
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      if (!data || size < sizeof(wchar_t))
        return text;
      std::wstring wide(reinterpret_cast<const wchar_t*>(data), size / sizeof(wchar_t));
      const size_t end = wide.find(L'\0');
      if (end != std::wstring::npos)
        wide.resize(end);
      return base::WideToUTF8(wide);
    }
    case REG_BINARY: {
      char byte[8];
      for (uint32_t i = 0; i < size; ++i) {
        snprintf(byte, sizeof(byte), i == 0 ? "%.2x" : ",%.2x", data[i]);
        text += byte;
      }
      return text;
    }
    case REG_DWORD: {
      if (!data || size < sizeof(uint32_t))
        return text;
      uint32_t number = 0;
      memcpy(&number, data, sizeof(number));
      char digits[16];
      snprintf(digits, sizeof(digits), "%.8lx", static_cast<unsigned long>(number));
      return digits;
    }
    default:
      return text;
  }
}

bool KeyPathsEqual(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

RegistryTemplateEntry::RegistryTemplateEntry(const RegistryTemplate& row,
                                             VariableResolver* resolver)
    : row_(row), resolver_(resolver) {}

RegistryTemplateEntry::~RegistryTemplateEntry() = default;

bool RegistryTemplateEntry::Apply(HKEY root, std::unique_ptr<Operation>* operation) {
  operation->reset();
  if (base::win::GetVersion() < row_.min_windows)
    return true;
  if (row_.only_root && row_.only_root != root)
    return true;
  if (row_.min_channel > GetChannelNumber())
    return true;

  if (row_.type == kRegistryTemplateDeleteKey) {
    *operation = std::make_unique<DeleteRegKeyOperation>(
        root, ExpandTemplateVariables(row_.key_path), row_.access);
    return true;
  }

  std::vector<uint8_t> data;
  switch (row_.type) {
    case REG_DWORD: {
      CHECK(row_.data <= std::numeric_limits<uint32_t>::max()) << "DWORD template datum";
      const uint32_t number = static_cast<uint32_t>(row_.data);
      data.resize(sizeof(number));
      memcpy(data.data(), &number, sizeof(number));
      break;
    }
    case kRegistryTemplateRemoveValue:
    case REG_NONE:
      break;
    case REG_BINARY: {
      const char* bytes = reinterpret_cast<const char*>(row_.data);
      if (bytes) {
        const size_t length = strlen(bytes);
        CHECK(length <= std::numeric_limits<uint32_t>::max()) << "binary template datum";
        data.assign(bytes, bytes + length);
      }
      break;
    }
    case REG_SZ:
    case REG_EXPAND_SZ: {
      const std::wstring text = ExpandTemplateVariables(reinterpret_cast<const wchar_t*>(row_.data));
      if (!text.empty()) {
        CHECK(text.size() < std::numeric_limits<uint32_t>::max() / 2) << "string template datum";
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text.c_str());
        data.assign(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
      }
      break;
    }
    default:
      LOG(ERROR) << "Unsupported registry template type " << row_.type;
      return false;
  }

  const std::wstring key_path = ExpandTemplateVariables(row_.key_path);
  const std::wstring value_name = ExpandTemplateVariables(row_.value_name);
  const uint32_t size = static_cast<uint32_t>(data.size());
  *operation = std::make_unique<ChangeRegValueOperation>(
      root, key_path, value_name, data.empty() ? nullptr : data.data(), row_.type, size,
      row_.access);

  if (row_.type != kRegistryTemplateRemoveValue) {
    std::vector<InstallationStatus::RegistryKey>* keys = resolver_->GetRegistryKeys(root);
    if (keys) {
      RecordRegistryValue(keys, key_path, value_name, data.empty() ? nullptr : data.data(),
                          row_.type, size, static_cast<int>(row_.clean));
    }
  }
  return true;
}

std::wstring RegistryTemplateEntry::ExpandTemplateVariables(const wchar_t* text) {
  // One pass over the row's own text: a substituted value may come from
  // outside (an install folder, an icon path) and is used as it is, braces and
  // all.
  const std::wstring source = text ? std::wstring(text) : std::wstring();
  std::wstring result;
  size_t position = 0;
  while (position < source.size()) {
    const size_t open = source.find(L'{', position);
    if (open == std::wstring::npos)
      break;
    const size_t close = source.find(L'}', open);
    if (close == std::wstring::npos)
      break;
    result.append(source, position, open - position);
    result += resolver_->ResolveVariable(source.substr(open + 1, close - open - 1));
    position = close + 1;
  }
  result.append(source, position, std::wstring::npos);
  return result;
}

void RecordRegistryValue(std::vector<InstallationStatus::RegistryKey>* keys,
                         const std::wstring& key_path,
                         const std::wstring& value_name,
                         const uint8_t* data,
                         uint32_t type,
                         uint32_t size,
                         int clean) {
  const std::string path = base::WideToUTF8(key_path);
  InstallationStatus::RegistryKey* entry = nullptr;
  for (auto it = keys->rbegin(); it != keys->rend(); ++it) {
    if (KeyPathsEqual(base::UTF8ToWide(it->path), key_path)) {
      entry = &*it;
      break;
    }
  }
  if (entry) {
    entry->clean = std::max(entry->clean, static_cast<int32_t>(clean));
  } else {
    InstallationStatus::RegistryKey key;
    key.clean = clean;
    key.path = path;
    keys->push_back(std::move(key));
    entry = &keys->back();
  }
  InstallationStatus::RegistryValue value;
  value.name = base::WideToUTF8(value_name);
  value.type = RegistryTypeName(type);
  value.data = RecordedData(data, type, size);
  entry->values.push_back(std::move(value));
}

}  // namespace installer
