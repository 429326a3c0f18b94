#include "desktop/windows/installer/steps/registration_templates.h"

#include <iterator>
#include <string_view>

#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/service/registry_templates.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

#define CLASSES_KEY L"Software\\Classes\\"
#define CLIENT_KEY L"Software\\Clients\\StartMenuInternet\\{Product}{Stream}"
#define LAUNCHER L"{InstallFolder}\\Launcher.exe"

const HKEY kAnyRoot = nullptr;
constexpr int32_t kAnyWindows = 1;
constexpr int32_t kVista = 3;
constexpr int32_t kTamberChannel = 4;
constexpr uint32_t k32BitView = KEY_WOW64_32KEY;

// A REG_SZ row of any root.
RegistryTemplate Text(const wchar_t* key, const wchar_t* name, const wchar_t* data,
                                int32_t min_windows, uint32_t clean, int32_t channel = 0,
                                uint32_t access = 0) {
  return {key, name, REG_SZ, TemplateText(data), min_windows, kAnyRoot, channel, clean, access};
}

// An empty REG_NONE value naming the ProgID as a handler of the type.
RegistryTemplate OpenWith(const wchar_t* key, uint32_t clean) {
  return {key, L"{Product}{Stream}", REG_NONE, 0, kAnyWindows, kAnyRoot, 0, clean, 0};
}

RegistryTemplate Uninstall(const wchar_t* name, const wchar_t* data) {
  return Text(kUninstallKeyPlaceholder, name, data, kAnyWindows, 1, 0, k32BitView);
}

RegistryTemplate UninstallFlag(const wchar_t* name) {
  return {kUninstallKeyPlaceholder, name, REG_DWORD, 1, kAnyWindows, kAnyRoot, 0, 1, k32BitView};
}

// Rows 8 onwards; rows 0 to 7 are the installation model's ProgID rows.
const RegistryTemplate kRegistrationRows[] = {
    Text(CLASSES_KEY L".vex", nullptr, L"{Product}{Stream}.Extension", kAnyWindows, 1),
    OpenWith(CLASSES_KEY L".vex\\OpenWithProgIDs", 1),
    OpenWith(CLASSES_KEY L".vldownload\\OpenWithProgIDs", 0),
    OpenWith(CLASSES_KEY L".htm\\OpenWithProgIDs", 0),
    OpenWith(CLASSES_KEY L".html\\OpenWithProgIDs", 0),
    OpenWith(CLASSES_KEY L".pdf\\OpenWithProgIDs", 0),
    OpenWith(CLASSES_KEY L".shtml\\OpenWithProgIDs", 0),
    OpenWith(CLASSES_KEY L".xht\\OpenWithProgIDs", 0),
    OpenWith(CLASSES_KEY L".xhtml\\OpenWithProgIDs", 0),
    Text(CLASSES_KEY L"Applications\\{Executable}\\shell\\open\\command", nullptr,
         L"\"" LAUNCHER L"\" \"%1\"", kAnyWindows, 4, kTamberChannel),
    Text(L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\{Executable}", nullptr,
         L"\"" LAUNCHER L"\"", kAnyWindows, 0, kTamberChannel),
    Text(L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\{Executable}", L"Path",
         L"\"{InstallFolder}\"", kAnyWindows, 0, kTamberChannel),
    {L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\"
     L"Compatibility Assistant\\Persisted",
     LAUNCHER, REG_DWORD, 32, kVista, kAnyRoot, 0, 0, 0},
    Text(L"Software\\RegisteredApplications", L"{Product} {Stream}",
         CLIENT_KEY L"\\Capabilities", kVista, 0),
    Text(CLIENT_KEY, nullptr, L"{Product} {Stream}", kAnyWindows, 1),
    Text(CLIENT_KEY L"\\DefaultIcon", nullptr, LAUNCHER L",0", kAnyWindows, 1),
    Text(CLIENT_KEY L"\\InstallInfo", L"ShowIconsCommand", L"\"" LAUNCHER L"\" --showicons",
         kAnyWindows, 1),
    Text(CLIENT_KEY L"\\InstallInfo", L"HideIconsCommand", L"\"" LAUNCHER L"\" --hideicons",
         kAnyWindows, 1),
    Text(CLIENT_KEY L"\\InstallInfo", L"ReinstallCommand",
         L"\"" LAUNCHER L"\" --makedefaultbrowser", kAnyWindows, 1),
    {CLIENT_KEY L"\\InstallInfo", L"IconsVisible", REG_DWORD, 1, kAnyWindows, kAnyRoot, 0, 1, 0},
    Text(CLIENT_KEY L"\\shell\\open\\command", nullptr, L"\"" LAUNCHER L"\"", kAnyWindows, 2),
    Text(CLIENT_KEY L"\\Capabilities", L"ApplicationDescription",
         L"A fast, private web browser that is yours to shape.", kVista, 1),
    Text(CLIENT_KEY L"\\Capabilities", L"ApplicationIcon", L"\"" LAUNCHER L"\",0", kVista, 1),
    Text(CLIENT_KEY L"\\Capabilities", L"ApplicationName", L"{Product} {Stream}", kVista, 1),
    Text(CLIENT_KEY L"\\Capabilities\\FileAssociations", L".crx", L"{Product}{Stream}", kVista, 1),
    Text(CLIENT_KEY L"\\Capabilities\\FileAssociations", L".htm", L"{Product}{Stream}", kVista, 1),
    Text(CLIENT_KEY L"\\Capabilities\\FileAssociations", L".html", L"{Product}{Stream}", kVista, 1),
    Text(CLIENT_KEY L"\\Capabilities\\FileAssociations", L".nex", L"{Product}{Stream}", kVista, 1),
    Text(CLIENT_KEY L"\\Capabilities\\FileAssociations", L".vldownload", L"{Product}{Stream}",
         kVista, 1),
    Text(CLIENT_KEY L"\\Capabilities\\FileAssociations", L".pdf", L"{Product}{Stream}", kVista, 1),
    Text(CLIENT_KEY L"\\Capabilities\\FileAssociations", L".shtml", L"{Product}{Stream}", kVista,
         1),
    Text(CLIENT_KEY L"\\Capabilities\\FileAssociations", L".xht", L"{Product}{Stream}", kVista, 1),
    Text(CLIENT_KEY L"\\Capabilities\\FileAssociations", L".xhtml", L"{Product}{Stream}", kVista,
         1),
    Text(CLIENT_KEY L"\\Capabilities\\Startmenu", L"StartMenuInternet", L"{Product}{Stream}",
         kVista, 1),
    Text(CLIENT_KEY L"\\Capabilities\\UrlAssociations", L"http", L"{Product}{Stream}", kVista, 1),
    Text(CLIENT_KEY L"\\Capabilities\\UrlAssociations", L"https", L"{Product}{Stream}", kVista, 1),
    Text(CLIENT_KEY L"\\Capabilities\\UrlAssociations", L"ftp", L"{Product}{Stream}", kVista, 1),
    Text(CLIENT_KEY L"\\Capabilities\\UrlAssociations", L"mailto", L"{Product}{Stream}", kVista, 1),
    Uninstall(L"DisplayName", L"{Product} {Stream} {Version}"),
    Uninstall(L"DisplayIcon", L"\"" LAUNCHER L"\",0"),
    Uninstall(L"DisplayVersion", L"{Version}"),
    Uninstall(L"HelpLink", L"{HelpURL}"),
    Uninstall(L"InstallLocation", L"{InstallFolder}"),
    UninstallFlag(L"NoModify"),
    UninstallFlag(L"NoRepair"),
    Uninstall(L"Publisher", L"{Company}"),
    Uninstall(L"UninstallString", L"\"" LAUNCHER L"\" /uninstall"),
    Uninstall(L"URLInfoAbout", L"{CompanyURL}"),
    Uninstall(L"URLUpdateInfo", L"{DownloadsURL}"),
};

const RegistryTemplate kHideFromProgramsRow = UninstallFlag(L"SystemComponent");

}  // namespace

std::vector<RegistryTemplate> GetRegistrationTemplates(bool hide_from_programs) {
  std::vector<RegistryTemplate> rows(std::begin(kProgIdRegistryTemplates),
                                     std::end(kProgIdRegistryTemplates));
  rows.insert(rows.end(), std::begin(kRegistrationRows), std::end(kRegistrationRows));
  if (hide_from_programs)
    rows.push_back(kHideFromProgramsRow);
  return rows;
}

bool IsUninstallTemplate(const RegistryTemplate& row) {
  return row.key_path && std::wstring_view(row.key_path) == kUninstallKeyPlaceholder;
}

std::wstring GetUninstallEntryName(const std::string& version) {
  return base::UTF8ToWide(GetProductName() + " " + version);
}

}  // namespace installer
