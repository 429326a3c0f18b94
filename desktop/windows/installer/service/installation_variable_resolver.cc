#include "desktop/windows/installer/service/installation_variable_resolver.h"

#include "base/strings/utf_string_conversions.h"
#include "product_config/product_config.h"

namespace installer {

InstallationVariableResolver::InstallationVariableResolver(const std::wstring& target_name,
                                                           const base::FilePath& folder)
    : target_name_(target_name), folder_(folder) {}

InstallationVariableResolver::~InstallationVariableResolver() = default;

std::wstring InstallationVariableResolver::ResolveVariable(const std::wstring& name) {
  if (name == L"InstallFolder")
    return folder_.value();
  if (name == L"Stream")
    return base::UTF8ToWide(GetStreamName());
  if (name == L"Product")
    return base::UTF8ToWide(GetProductName());
  if (name == L"Extension" || name == L"Protocol")
    return target_name_;
  return name;
}

std::vector<InstallationStatus::RegistryKey>* InstallationVariableResolver::GetRegistryKeys(
    HKEY root) {
  return nullptr;
}

}  // namespace installer
