#include "desktop/windows/installer/steps/cleanup_registry_step.h"

#include <memory>
#include <string>

#include "base/files/scoped_temp_dir.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/installation_status_reader_factory.h"
#include "desktop/windows/installer/service/json_installation_status_writer.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/test/registry_test_helpers.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/steps/registration_templates.h"
#include "desktop/windows/installer/steps/setup_registry_step.h"
#include "desktop/windows/installer/steps/test/step_test.h"
#include "gtest/gtest.h"
#include "product_config/product_config.h"

namespace installer {
namespace {

const std::wstring kProgId = L"Software\\Classes\\VeltoTest";

class CleanupRegistryStepTest : public StepTest {
 protected:
  void SetUp() override {
    host_.install_path = base::FilePath(L"C:\\Velto");
    settings_.install_path = host_.install_path;
    details_.record = std::make_unique<InstallationStatus>(PRIMARY);
    SetProductVariables(&host_);
  }

  void Record(const std::wstring& key, int depth, const char* value) {
    InstallationStatus::RegistryKey entry;
    entry.clean = depth;
    entry.path = base::WideToUTF8(key);
    if (value)
      entry.values.push_back({"REG_SZ", value, "x"});
    details_.record->hkcu_keys.push_back(entry);
  }

  void RunStep(int launcher_architecture = PE_ARCHITECTURE_NOT_PE) {
    CleanupRegistryStep step(&host_, launcher_architecture);
    StepResult result;
    step.Run(&result, 0);
    EXPECT_EQ(0u, result.code);
  }

  ScopedUserClassesRoot classes_;
};

TEST_F(CleanupRegistryStepTest, DepthTwoRemovesTheParentKey) {
  WriteString(HKEY_CURRENT_USER, kProgId + L"\\shell\\open\\command", nullptr, L"cmd");
  WriteString(HKEY_CURRENT_USER, kProgId + L"\\shell\\print", nullptr, L"p");
  WriteString(HKEY_CURRENT_USER, kProgId, L"FriendlyTypeName", L"n");
  Record(kProgId + L"\\shell\\open\\command", 2, "");
  RunStep();
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kProgId + L"\\shell\\open"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kProgId + L"\\shell\\print"));
  // Undone with the run.
  host_.transaction.Rollback();
  EXPECT_EQ(L"cmd", ReadString(HKEY_CURRENT_USER, kProgId + L"\\shell\\open\\command", nullptr));
}

TEST_F(CleanupRegistryStepTest, DepthZeroRemovesOnlyTheRecordedValues) {
  const std::wstring key = L"Software\\Classes\\.htm\\OpenWithProgIDs";
  WriteString(HKEY_CURRENT_USER, key, L"VeltoTest", L"");
  WriteString(HKEY_CURRENT_USER, key, L"OtherBrowser", L"");
  Record(key, 0, "VeltoTest");
  RunStep();
  EXPECT_EQ(L"<none>", ReadString(HKEY_CURRENT_USER, key, L"VeltoTest"));
  EXPECT_EQ(L"", ReadString(HKEY_CURRENT_USER, key, L"OtherBrowser"));
}

TEST_F(CleanupRegistryStepTest, DepthNeverClimbsAboveTheProductsOwnKeys) {
  WriteString(HKEY_CURRENT_USER, L"Software\\Classes\\.htm", nullptr, L"htmlfile");
  WriteString(HKEY_CURRENT_USER, kProgId + L"\\shell\\open\\command", L"v", L"cmd");
  // A status file asking to delete "Software" and "Software\Classes\.htm".
  Record(kProgId + L"\\shell\\open\\command", 5, "v");
  Record(L"Software\\Classes\\.htm\\OpenWithProgIDs", 2, nullptr);
  RunStep();
  EXPECT_EQ(L"htmlfile", ReadString(HKEY_CURRENT_USER, L"Software\\Classes\\.htm", nullptr));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kProgId + L"\\shell\\open\\command"));
  // What the product recorded is still removed.
  EXPECT_EQ(L"<none>",
            ReadString(HKEY_CURRENT_USER, kProgId + L"\\shell\\open\\command", L"v"));
}

TEST_F(CleanupRegistryStepTest, ProductOwnedKeys) {
  CleanupRegistryStep step(&host_, PE_ARCHITECTURE_NOT_PE);
  EXPECT_TRUE(step.IsProductOwnedKey(L"Software\\Classes\\VeltoPallex", L""));
  EXPECT_TRUE(step.IsProductOwnedKey(L"Software\\Classes\\.vex", L""));
  EXPECT_TRUE(step.IsProductOwnedKey(L"Software\\Classes\\Applications\\velto.exe", L""));
  EXPECT_TRUE(step.IsProductOwnedKey(GetUninstallRegistryKey() + L"\\Velto 1.0", L""));
  EXPECT_TRUE(step.IsProductOwnedKey(L"Software\\Classes\\WistraHTML", L"Wistra"));
  EXPECT_FALSE(step.IsProductOwnedKey(L"Software\\Classes\\WistraHTML", L""));
  EXPECT_FALSE(step.IsProductOwnedKey(L"Software\\Classes", L""));
  EXPECT_FALSE(step.IsProductOwnedKey(L"Software\\Classes\\.htm", L""));
  EXPECT_FALSE(step.IsProductOwnedKey(GetUninstallRegistryKey(), L""));
  EXPECT_FALSE(step.IsProductOwnedKey(L"Velto", L""));
  EXPECT_FALSE(step.IsProductOwnedKey(L"", L""));
}

TEST_F(CleanupRegistryStepTest, AncestorKeys) {
  EXPECT_EQ(L"a\\b\\c", CleanupRegistryStep::GetAncestorKey(L"a\\b\\c", 0));
  EXPECT_EQ(L"a", CleanupRegistryStep::GetAncestorKey(L"a\\b\\c\\", 2));
  EXPECT_EQ(L"", CleanupRegistryStep::GetAncestorKey(L"a\\b\\c", 3));
}

TEST_F(CleanupRegistryStepTest, NativeUninstallEntryGoesOnlyWhenItNamesThisFolder) {
  const std::wstring ours = GetUninstallRegistryKey() + L"\\Velto 1.0";
  const std::wstring theirs = GetUninstallRegistryKey() + L"\\Velto 1.01";
  WriteString(HKEY_CURRENT_USER, ours, L"InstallLocation", L"C:\\Velto\\");
  WriteString(HKEY_CURRENT_USER, theirs, L"InstallLocation", L"D:\\Other");
  Record(ours, 0, nullptr);
  Record(theirs, 0, nullptr);
  RunStep(PE_ARCHITECTURE_OTHER);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ours));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, theirs));
}

// An install of the folder killed after it wrote its entry, then the
// uninstall of the installation the folder's record describes: the folder is
// left with no entry, and entries naming other folders stay.
TEST_F(CleanupRegistryStepTest, UninstallTakesAwayTheFoldersLeftoverEntries) {
  const std::wstring recorded = GetUninstallRegistryKey() + L"\\Velto 1.0";
  const std::wstring leftover = GetUninstallRegistryKey() + L"\\Velto 2.0";
  const std::wstring other = GetUninstallRegistryKey() + L"\\Velto 2.01";
  WriteString(HKEY_CURRENT_USER, recorded, L"InstallLocation", L"C:\\Velto");
  WriteString(HKEY_CURRENT_USER, leftover, L"InstallLocation", L"c:\\velto\\");
  WriteString(HKEY_CURRENT_USER, other, L"InstallLocation", L"C:\\Velto 2");
  Record(recorded, 1, "DisplayName");
  settings_.operation = UPGRADING;
  RunStep();
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, recorded));
  // An upgrade leaves that to the step that writes its entry.
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, leftover));
  host_.transaction.Rollback();

  settings_.operation = UNINSTALLING;
  RunStep();
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, recorded));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, leftover));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, other));
  host_.transaction.Rollback();
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, leftover));
}

TEST_F(CleanupRegistryStepTest, RemovesWhatSetupRegistryWrote) {
  SetupRegistryStep setup(&host_, &host_.uninstall_key_name);
  StepResult result;
  setup.Run(&result, 0);
  ASSERT_EQ(0u, result.code);
  details_.record = std::make_unique<InstallationStatus>(host_.status);
  RunStep();
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER,
                         L"Software\\Clients\\StartMenuInternet\\" +
                             base::UTF8ToWide(GetProductName() + GetStreamName())));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\.vex"));
  base::win::RegKey key;
  EXPECT_NE(ERROR_SUCCESS,
            key.Open(HKEY_CURRENT_USER, host_.uninstall_key_name.c_str(), KEY_READ | KEY_WOW64_32KEY));
}


// The recorded entry's name was freed by a rolled-back run of this folder
// and claimed by another folder's install: neither an upgrade nor an
// uninstall of this folder takes it away.
TEST_F(CleanupRegistryStepTest, RecordedEntryNamingAnotherFolderStays) {
  const std::wstring entry = GetUninstallRegistryKey() + L"\\Velto 1.0";
  WriteString(HKEY_CURRENT_USER, entry, L"InstallLocation", L"D:\\Other\\");
  WriteString(HKEY_CURRENT_USER, entry, L"DisplayName", L"Velto");
  Record(entry, 1, "DisplayName");
  for (InstallationOperation operation : {UPGRADING, UNINSTALLING}) {
    settings_.operation = operation;
    RunStep();
    EXPECT_EQ(L"Velto", ReadString(HKEY_CURRENT_USER, entry, L"DisplayName")) << operation;
  }
}

// An upgrade took the folder's entry away; before it was rolled back, an
// install into another folder claimed the freed name. The rollback leaves
// that entry to the other install, puts the folder's entry back under the
// next free name, and the folder's status (put back by then) names it.
TEST_F(CleanupRegistryStepTest, RollbackPutsTheEntryBackUnderAFreeNameWhenItWasTaken) {
  base::ScopedTempDir folder;
  ASSERT_TRUE(folder.CreateUniqueTempDir());
  host_.install_path = folder.GetPath();
  settings_.install_path = host_.install_path;
  SetProductVariables(&host_);
  const std::wstring entry =
      GetUninstallRegistryKey() + L"\\" + GetUninstallEntryName(GetVersion());
  WriteString(HKEY_CURRENT_USER, entry, L"InstallLocation", folder.GetPath().value() + L"\\");
  WriteString(HKEY_CURRENT_USER, entry, L"DisplayName", L"this folder");
  // The next name belongs to a third installation already.
  WriteString(HKEY_CURRENT_USER, entry + L"1", L"InstallLocation", L"D:\\Third");
  details_.record->version = GetVersion();
  details_.record->app_id = "app";
  Record(entry, 1, "DisplayName");
  Record(kProgId, 1, nullptr);
  const base::FilePath status_file = folder.GetPath().Append(kInstallationStatusFileName);
  ASSERT_TRUE(WriteInstallationStatusFile(*details_.record, status_file));

  settings_.operation = UPGRADING;
  RunStep();
  ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, entry));
  Transaction other_install;
  std::wstring claimed;
  ASSERT_TRUE(SetupRegistryStep::ClaimUninstallKey(HKEY_CURRENT_USER, &other_install, &claimed));
  ASSERT_EQ(entry, claimed);
  WriteString(HKEY_CURRENT_USER, entry, L"InstallLocation", L"D:\\Other");
  host_.transaction.Rollback();

  EXPECT_EQ(L"D:\\Other", ReadString(HKEY_CURRENT_USER, entry, L"InstallLocation"));
  EXPECT_EQ(L"<none>", ReadString(HKEY_CURRENT_USER, entry, L"DisplayName"));
  EXPECT_EQ(L"D:\\Third", ReadString(HKEY_CURRENT_USER, entry + L"1", L"InstallLocation"));
  EXPECT_EQ(L"this folder", ReadString(HKEY_CURRENT_USER, entry + L"2", L"DisplayName"));
  std::string error;
  std::unique_ptr<InstallationStatus> status =
      ReadInstallationStatusFile(status_file, PRIMARY, &error);
  ASSERT_TRUE(status) << error;
  InstallationStatus expected = *details_.record;
  expected.hkcu_keys[0].path = base::WideToUTF8(entry + L"2");
  EXPECT_EQ(expected, *status);

  // The folder's next uninstall takes away its own entry only.
  details_.record = std::move(status);
  settings_.operation = UNINSTALLING;
  RunStep();
  host_.CommitTransaction();
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, entry + L"2"));
  EXPECT_EQ(L"D:\\Other", ReadString(HKEY_CURRENT_USER, entry, L"InstallLocation"));
  EXPECT_EQ(L"D:\\Third", ReadString(HKEY_CURRENT_USER, entry + L"1", L"InstallLocation"));
}

}  // namespace
}  // namespace installer
