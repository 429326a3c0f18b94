#include "desktop/windows/installer/steps/leftover_uninstall_entries.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "base/files/file_util.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/test_environment.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/json_installation_status_writer.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/test/registry_test_helpers.h"
#include "desktop/windows/installer/steps/test/step_test.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class LeftoverUninstallEntriesTest : public StepTest {
 protected:
  void SetUp() override {
    host_.install_path = base::FilePath(base::test::ScratchFolder())
                             .Append(base::test::UniqueName(L"leftover"))
                             .Append(L"Velto");
    ASSERT_TRUE(base::CreateDirectory(host_.install_path));
  }

  static std::wstring Key(const std::wstring& name) {
    return GetUninstallRegistryKey() + L"\\" + name;
  }

  static void Entry(HKEY root, const std::wstring& name, const std::wstring& location) {
    base::win::RegKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              key.Create(root, Key(name).c_str(), KEY_ALL_ACCESS | KEY_WOW64_32KEY));
    ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(L"InstallLocation", location.c_str()));
  }

  static InstallationStatus::RegistryKey Recorded(const std::wstring& name) {
    InstallationStatus::RegistryKey key;
    key.clean = 1;
    key.path = base::WideToUTF8(Key(name));
    return key;
  }

  std::vector<std::wstring> Find(HKEY root) {
    std::vector<const InstallationStatus*> records;
    if (details_.record)
      records.push_back(details_.record.get());
    return LeftoverUninstallEntries::Find(root, host_.install_path, records);
  }

  std::wstring folder() const { return host_.install_path.value(); }
};

TEST_F(LeftoverUninstallEntriesTest, ProductEntryNames) {
  for (const wchar_t* name :
       {L"Velto 47.0.2631.23", L"Velto 47.0.2631.231", L"velto 1.0", L"Velto 9"}) {
    EXPECT_TRUE(LeftoverUninstallEntries::IsProductEntryName(name)) << name;
  }
  for (const wchar_t* name : {L"Velto", L"Velto ", L"Velto Mail 1.0", L"Velto 47.0 beta",
                              L"Veltox 47.0.2631.23", L"Other 47.0.2631.23", L"Velto .1"}) {
    EXPECT_FALSE(LeftoverUninstallEntries::IsProductEntryName(name)) << name;
  }
}

TEST_F(LeftoverUninstallEntriesTest, OnlyTheFoldersEntriesNoRecordNames) {
  Entry(HKEY_CURRENT_USER, L"Velto 47.0.2631.23", folder());
  Entry(HKEY_CURRENT_USER, L"Velto 47.0.2631.231", folder() + L"\\");
  Entry(HKEY_CURRENT_USER, L"Velto 48.0.2700.5", base::ToLowerASCII(folder()));
  Entry(HKEY_CURRENT_USER, L"Velto 48.0.2700.51", folder() + L" 2");
  Entry(HKEY_CURRENT_USER, L"Velto Mail 1.0", folder());
  Entry(HKEY_LOCAL_MACHINE, L"Velto 46.0.1.1", folder());
  details_.record = std::make_unique<InstallationStatus>(PRIMARY);
  details_.record->hkcu_keys.push_back(Recorded(L"Velto 47.0.2631.23"));
  // A name under the other root is no name of this root's entry.
  details_.record->hklm_keys.push_back(Recorded(L"Velto 48.0.2700.5"));

  std::vector<std::wstring> found = Find(HKEY_CURRENT_USER);
  std::sort(found.begin(), found.end());
  EXPECT_EQ((std::vector<std::wstring>{Key(L"Velto 47.0.2631.231"), Key(L"Velto 48.0.2700.5")}),
            found);
  EXPECT_EQ(std::vector<std::wstring>{Key(L"Velto 46.0.1.1")}, Find(HKEY_LOCAL_MACHINE));
}

TEST_F(LeftoverUninstallEntriesTest, RemovedInTheRunsTransactionJudgedByEveryRecord) {
  Entry(HKEY_CURRENT_USER, L"Velto 47.0.2631.23", folder());
  Entry(HKEY_CURRENT_USER, L"Velto 46.0.2500.1", folder());
  Entry(HKEY_LOCAL_MACHINE, L"Velto 48.0.2700.5", folder());
  Entry(HKEY_CURRENT_USER, L"Velto 48.0.2700.5", L"C:\\Other");
  // The record kept by an earlier upgrade names the older entry.
  InstallationStatus kept(RECOVERED);
  kept.version = "46.0.2500.1";
  kept.hkcu_keys.push_back(Recorded(L"Velto 46.0.2500.1"));
  std::optional<std::string> json = InstallationStatusToJson(kept);
  ASSERT_TRUE(json);
  ASSERT_TRUE(base::CreateDirectory(host_.install_path.Append(L"old_status")));
  ASSERT_TRUE(base::WriteFile(
      host_.install_path.Append(L"old_status").Append(L"installation_status.json.1500000000"),
      *json));

  LeftoverUninstallEntries::Remove(&host_);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key(L"Velto 47.0.2631.23")));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Key(L"Velto 48.0.2700.5")));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key(L"Velto 46.0.2500.1")));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key(L"Velto 48.0.2700.5")));
  host_.transaction.Rollback();
  EXPECT_EQ(folder(), ReadString(HKEY_CURRENT_USER, Key(L"Velto 47.0.2631.23"),
                                 L"InstallLocation"));
  EXPECT_EQ(folder(), ReadString(HKEY_LOCAL_MACHINE, Key(L"Velto 48.0.2700.5"),
                                 L"InstallLocation"));
}

}  // namespace
}  // namespace installer
