#include "desktop/windows/installer/steps/registration_templates.h"

#include <string>

#include "desktop/windows/installer/service/registry_templates.h"
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

TEST(RegistrationTemplatesTest, BeginsWithTheProgIdRows) {
  std::vector<RegistryTemplate> rows = GetRegistrationTemplates(false);
  for (size_t i = 0; i < std::size(kProgIdRegistryTemplates); ++i)
    EXPECT_EQ(kProgIdRegistryTemplates[i].key_path, rows[i].key_path) << i;
  EXPECT_EQ(std::wstring(L"Software\\Classes\\.vex"), rows[8].key_path);
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
