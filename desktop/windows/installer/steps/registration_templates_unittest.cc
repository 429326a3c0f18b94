#include "desktop/windows/installer/steps/registration_templates.h"

#include <string>

#include "desktop/windows/installer/service/registry_template_entry.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(RegistrationTemplatesTest, FiftySevenRowsAndTheOptionalOne) {
  std::vector<RegistryTemplate> rows = GetRegistrationTemplates(false);
  ASSERT_EQ(57u, rows.size());
  std::vector<RegistryTemplate> hidden = GetRegistrationTemplates(true);
  ASSERT_EQ(58u, hidden.size());
  EXPECT_EQ(std::wstring(L"SystemComponent"), hidden[57].value_name);
  EXPECT_EQ(static_cast<uint32_t>(REG_DWORD), hidden[57].type);
  EXPECT_EQ(1u, hidden[57].data);
  EXPECT_TRUE(IsUninstallTemplate(hidden[57]));
}

std::wstring Text(const wchar_t* text) {
  return text ? text : L"<none>";
}

// The registration table's first ten rows, as the product's registration
// defines them.
TEST(RegistrationTemplatesTest, BeginsWithTheProgIdAndFileTypeRows) {
  const struct {
    const wchar_t* key;
    const wchar_t* value;
    uint32_t type;
    const wchar_t* data;
    HKEY only_root;
    uint32_t clean;
  } expected[] = {
      {L"Software\\Classes\\{Product}{Stream}", L"FriendlyTypeName", REG_SZ,
       L"{Product} Web Document", nullptr, 1},
      {L"Software\\Classes\\{Product}{Stream}", L"URL Protocol", REG_SZ, nullptr, nullptr, 1},
      {L"Software\\Classes\\{Product}{Stream}\\DefaultIcon", nullptr, REG_SZ,
       L"{InstallFolder}\\Launcher.exe,0", nullptr, 1},
      {L"Software\\Classes\\{Product}{Stream}\\shell\\open\\command", nullptr, REG_SZ,
       L"\"{InstallFolder}\\Launcher.exe\" -noautoupdate -- \"%1\"", nullptr, 2},
      {L"Software\\Classes\\{Product}{Stream}\\shell\\open\\ddeexec", nullptr,
       kRegistryTemplateDeleteKey, nullptr, HKEY_LOCAL_MACHINE, 0},
      {L"Software\\Classes\\{Product}{Stream}\\shell\\open\\ddeexec", nullptr, REG_SZ, L"",
       HKEY_CURRENT_USER, 2},
      {L"Software\\Classes\\{Product}{Stream}\\shell\\open\\ddeexec\\Application", nullptr,
       REG_SZ, L"", HKEY_CURRENT_USER, 1},
      {L"Software\\Classes\\{Product}{Stream}\\shell\\open\\ddeexec\\Topic", nullptr, REG_SZ,
       L"", HKEY_CURRENT_USER, 1},
      {L"Software\\Classes\\.vex", nullptr, REG_SZ, L"{Product}{Stream}.Extension", nullptr, 1},
      {L"Software\\Classes\\.vex\\OpenWithProgIDs", L"{Product}{Stream}", REG_NONE, nullptr,
       nullptr, 1},
  };
  std::vector<RegistryTemplate> rows = GetRegistrationTemplates(false);
  ASSERT_GE(rows.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Text(expected[i].key), Text(rows[i].key_path));
    EXPECT_EQ(Text(expected[i].value), Text(rows[i].value_name));
    EXPECT_EQ(expected[i].type, rows[i].type);
    if (expected[i].type == REG_SZ && expected[i].data) {
      EXPECT_EQ(Text(expected[i].data),
                Text(reinterpret_cast<const wchar_t*>(rows[i].data)));
    }
    EXPECT_EQ(expected[i].only_root, rows[i].only_root);
    EXPECT_EQ(expected[i].clean, rows[i].clean);
  }
}

TEST(RegistrationTemplatesTest, UninstallRowsUseThe32BitViewAndDepthOne) {
  std::vector<RegistryTemplate> rows = GetRegistrationTemplates(false);
  int uninstall_rows = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (!IsUninstallTemplate(rows[i])) {
      EXPECT_EQ(0u, rows[i].access) << i;
      continue;
    }
    ++uninstall_rows;
    EXPECT_GE(i, 46u);
    EXPECT_EQ(static_cast<uint32_t>(KEY_WOW64_32KEY), rows[i].access) << i;
    EXPECT_EQ(1u, rows[i].clean) << i;
  }
  EXPECT_EQ(11, uninstall_rows);
  EXPECT_EQ(std::wstring(L"UninstallString"), rows[54].value_name);
  EXPECT_EQ(std::wstring(L"\"{InstallFolder}\\Launcher.exe\" /uninstall"),
            reinterpret_cast<const wchar_t*>(rows[54].data));
}

TEST(RegistrationTemplatesTest, OnlyTheApplicationRowsNeedATamberBuild) {
  std::vector<RegistryTemplate> rows = GetRegistrationTemplates(false);
  for (size_t i = 0; i < rows.size(); ++i)
    EXPECT_EQ(i >= 17 && i <= 19 ? 4 : 0, rows[i].min_channel) << i;
  EXPECT_EQ(4u, rows[17].clean);
  // Capabilities, registered applications and the compatibility row need Vista.
  for (size_t i : {20u, 21u, 29u, 35u, 41u, 45u})
    EXPECT_EQ(3, rows[i].min_windows) << i;
  EXPECT_EQ(1, rows[28].min_windows);
}

}  // namespace
}  // namespace installer
