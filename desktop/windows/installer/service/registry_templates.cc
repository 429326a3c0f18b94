#include "desktop/windows/installer/service/registry_templates.h"

namespace installer {

namespace {

#define PROGID_KEY L"Software\\Classes\\{Product}{Stream}"
#define PROTOCOL_KEY L"Software\\Classes\\{Protocol}"

const HKEY kAnyRoot = nullptr;
const HKEY kMachine = HKEY_LOCAL_MACHINE;
const HKEY kUser = HKEY_CURRENT_USER;

}  // namespace

const RegistryTemplate kProgIdRegistryTemplates[8] = {
    {PROGID_KEY, L"FriendlyTypeName", REG_SZ, TemplateText(L"{Product} Web Document"), 1,
     kAnyRoot, 0, 1, 0},
    {PROGID_KEY, L"URL Protocol", REG_SZ, TemplateText(nullptr), 1, kAnyRoot, 0, 1, 0},
    {PROGID_KEY L"\\DefaultIcon", nullptr, REG_SZ,
     TemplateText(L"{InstallFolder}\\Launcher.exe,0"), 1, kAnyRoot, 0, 1, 0},
    {PROGID_KEY L"\\shell\\open\\command", nullptr, REG_SZ,
     TemplateText(L"\"{InstallFolder}\\Launcher.exe\" -noautoupdate -- \"%1\""), 1, kAnyRoot,
     0, 2, 0},
    {PROGID_KEY L"\\shell\\open\\ddeexec", nullptr, kRegistryTemplateDeleteKey,
     TemplateText(L""), 1, kMachine, 0, 0, 0},
    {PROGID_KEY L"\\shell\\open\\ddeexec", nullptr, REG_SZ, TemplateText(L""), 1, kUser, 0, 2,
     0},
    {PROGID_KEY L"\\shell\\open\\ddeexec\\Application", nullptr, REG_SZ, TemplateText(L""), 1,
     kUser, 0, 1, 0},
    {PROGID_KEY L"\\shell\\open\\ddeexec\\Topic", nullptr, REG_SZ, TemplateText(L""), 1, kUser,
     0, 1, 0},
};

const RegistryTemplate kProtocolRegistryTemplates[9] = {
    {PROTOCOL_KEY, L"EditFlags", REG_DWORD, 2, 1, kAnyRoot, 0, 0, 0},
    {PROTOCOL_KEY, L"URL Protocol", REG_SZ, TemplateText(nullptr), 1, kAnyRoot, 0, 0, 0},
    {PROTOCOL_KEY L"\\DefaultIcon", nullptr, REG_SZ,
     TemplateText(L"{InstallFolder}\\Launcher.exe,0"), 1, kAnyRoot, 0, 0, 0},
    {PROTOCOL_KEY L"\\shell\\open\\command", nullptr, REG_SZ,
     TemplateText(L"\"{InstallFolder}\\launcher.exe\" -noautoupdate -- \"%1\""), 1, kAnyRoot,
     0, 0, 0},
    {PROTOCOL_KEY L"\\shell\\open\\ddeexec", nullptr, kRegistryTemplateDeleteKey,
     TemplateText(L""), 1, kMachine, 0, 0, 0},
    {PROTOCOL_KEY L"\\shell\\open\\ddeexec", nullptr, REG_SZ, TemplateText(L""), 1, kUser, 0, 0,
     0},
    {PROTOCOL_KEY L"\\shell\\open\\ddeexec\\Application", nullptr, REG_SZ, TemplateText(L""), 1,
     kUser, 0, 0, 0},
    {PROTOCOL_KEY L"\\shell\\open\\ddeexec\\Topic", nullptr, REG_SZ, TemplateText(L""), 1, kUser,
     0, 0, 0},
    {L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\{Protocol}\\UserChoice",
     L"Progid", kRegistryTemplateRemoveValue, 0, 3, kUser, 0, 0, 0},
};

const RegistryTemplate kExtensionRegistryTemplates[2] = {
    {L"Software\\Classes\\{Extension}", nullptr, REG_SZ, TemplateText(L"{Product}{Stream}"), 1,
     kAnyRoot, 0, 0, 0},
    {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\{Extension}\\UserChoice",
     L"Progid", kRegistryTemplateRemoveValue, 0, 3, kUser, 0, 0, 0},
};

#undef PROGID_KEY
#undef PROTOCOL_KEY

}  // namespace installer
