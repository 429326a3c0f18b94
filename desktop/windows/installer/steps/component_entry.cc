#include "desktop/windows/installer/steps/component_entry.h"

#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/string_split.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/service/contained_path.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/settings_switches.h"

namespace installer {

namespace {

constexpr char kInstallerSuffix[] = "_installer.exe";

}  // namespace

bool IsPlainComponentName(std::string_view name) {
  return IsContainedRelativePath(name) && name.find_first_of("\\/") == std::string_view::npos;
}

std::vector<ComponentEntry> ParseComponentEntries(const std::wstring& value) {
  std::vector<ComponentEntry> entries;
  for (const std::wstring& text :
       base::SplitString(value, L"|", base::TRIM_WHITESPACE, base::SPLIT_WANT_NONEMPTY)) {
    std::vector<std::wstring> parts =
        base::SplitString(text, L":", base::TRIM_WHITESPACE, base::SPLIT_WANT_NONEMPTY);
    if (parts.size() != 2 || !IsPlainComponentName(base::WideToUTF8(parts[0])) ||
        !IsContainedRelativePath(parts[1])) {
      LOG(WARNING) << "Ignoring component entry " << text;
      continue;
    }
    entries.push_back({text, base::WideToUTF8(parts[0]), base::FilePath(parts[1])});
  }
  return entries;
}

void AppendComponentModeSwitches(const Settings& settings, base::CommandLine* command_line) {
  command_line->AppendSwitchNative(switches::kCopyOnly, settings.GetCopyOnly() ? L"1" : L"0");
  command_line->AppendSwitchNative(switches::kAllUsers, settings.GetAllUsers() ? L"1" : L"0");
}

base::FilePath GetComponentInstallerPath(const base::FilePath& folder, const std::string& name) {
  base::FilePath installer = folder.Append(base::UTF8ToWide(name + kInstallerSuffix));
  if (name == kSuiteComponentName && !base::PathExists(installer))
    return folder.AppendASCII(std::string(kPomrelComponentName) + kInstallerSuffix);
  return installer;
}

}  // namespace installer
