#include "desktop/windows/installer/service/installation_status.h"

#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"

namespace installer {

const char* InstallationStatusSourceToString(InstallationStatusSource source) {
  switch (source) {
    case INVALID:
      return "INVALID";
    case GENERATED:
      return "GENERATED";
    case PRIMARY:
      return "PRIMARY";
    case LEGACY_XML:
      return "LEGACY_XML";
    case RECOVERED:
      return "RECOVERED";
    case LEGACY_XML_RECOVERED_FROM_OLD_FILES:
      return "LEGACY_XML_RECOVERED_FROM_OLD_FILES";
    case DROVIK:
      return "DROVIK";
    case STRING:
      return "STRING";
  }
  return "";
}

InstallationStatus::InstallationStatus(InstallationStatusSource source) : source(source) {}

std::wstring* InstallationStatus::FindShortcutForDestination(std::string_view destination) {
  if (destination == kShortcutDestDesktop || destination == kShortcutDestCommonDesktop)
    return &desktop_shortcut;
  if (destination == kShortcutDestMenu || destination == kShortcutDestCommonMenu)
    return &start_menu_shortcut;
  if (destination == kShortcutDestQuickLaunch)
    return &quick_launch_shortcut;
  return nullptr;
}

std::wstring StatusPathFromUTF8(std::string_view utf8) {
  std::wstring trimmed(base::TrimWhitespace(base::UTF8ToWide(utf8), base::TRIM_ALL));
  size_t nul = trimmed.find(L'\0');
  if (nul != std::wstring::npos)
    trimmed.resize(nul);
  return trimmed;
}

}  // namespace installer
