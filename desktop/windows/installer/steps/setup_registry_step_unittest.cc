#include "desktop/windows/installer/steps/setup_registry_step.h"

#include <cstdio>
#include <set>
#include <string>

#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/test_environment.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/test/registry_test_helpers.h"
#include "desktop/windows/installer/steps/test/step_test.h"
#include "desktop/windows/installer/test/installer_test_support.h"
#include "features/feature_registry.h"
#include "features/features.h"
#include "features/installer_features.h"
#include "gtest/gtest.h"
#include "product_config/product_config.h"

namespace installer {
namespace {

std::wstring UninstallBase() {
  return GetUninstallRegistryKey() + L"\\" + base::UTF8ToWide(GetProductName()) + L" " +
         base::UTF8ToWide(GetVersion());
}

// The value as the status record writes it.
std::string RecordedForm(HKEY root, const std::string& key, const std::string& name,
                         REGSAM view) {
  base::win::RegKey reg_key;
  if (reg_key.Open(root, base::UTF8ToWide(key).c_str(), KEY_READ | view) != ERROR_SUCCESS)
    return "<no key>";
  uint8_t data[2048];
  DWORD size = sizeof(data);
  DWORD type = 0;
  if (reg_key.ReadValue(base::UTF8ToWide(name).c_str(), data, &size, &type) != ERROR_SUCCESS)
    return "<no value>";
  if (type == REG_SZ)
    return base::WideToUTF8(std::wstring(reinterpret_cast<wchar_t*>(data),
                                         size / sizeof(wchar_t))
                                .c_str());
  if (type == REG_DWORD) {
    char digits[16];
    snprintf(digits, sizeof(digits), "%.8lx", *reinterpret_cast<unsigned long*>(data));
    return digits;
  }
  return size == 0 ? std::string() : "<type " + std::to_string(type) + ">";
}

class SetupRegistryStepTest : public StepTest {
 protected:
  void SetUp() override {
    host_.install_path = base::FilePath(L"C:\\Users\\u\\AppData\\Local\\Velto");
    SetProductVariables(&host_);
  }

  StepResult RunStep() {
    SetupRegistryStep step(&host_, &host_.uninstall_key_name);
    StepResult result;
    step.Run(&result, 0);
    return result;
  }

  ScopedUserClassesRoot classes_;
};

TEST_F(SetupRegistryStepTest, StandAloneCopyWritesNothing) {
  settings_.Set(COPY_ONLY, true);
  EXPECT_EQ(0u, RunStep().code);
  EXPECT_TRUE(host_.uninstall_key_name.empty());
  EXPECT_TRUE(host_.status.hkcu_keys.empty());
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Clients"));
}

TEST_F(SetupRegistryStepTest, UninstallKeyTakesTheFirstFreeNumber) {
  for (const std::wstring& taken : {UninstallBase(), UninstallBase() + L"1"}) {
    base::win::RegKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              key.Create(HKEY_CURRENT_USER, taken.c_str(), KEY_ALL_ACCESS | KEY_WOW64_32KEY));
  }
  EXPECT_EQ(0u, RunStep().code);
  EXPECT_EQ(UninstallBase() + L"2", host_.uninstall_key_name);
  EXPECT_EQ(L"\"C:\\Users\\u\\AppData\\Local\\Velto\\Launcher.exe\" /uninstall",
            ReadString(HKEY_CURRENT_USER, UninstallBase() + L"2", L"UninstallString"));
}

// A run that expands its first registry row (after it has chosen its
// uninstall key, before it has written a value there) lets another run of
// the same version go through its whole step at that moment: the two choices
// overlap as they do for installers started at once.
class InterleavingHost : public FakeStepHost {
 public:
  explicit InterleavingHost(base::OnceClosure meanwhile) : meanwhile_(std::move(meanwhile)) {}

  std::wstring ResolveVariable(const std::wstring& name) override {
    if (meanwhile_)
      std::move(meanwhile_).Run();
    return FakeStepHost::ResolveVariable(name);
  }

 private:
  base::OnceClosure meanwhile_;
};

TEST_F(SetupRegistryStepTest, RunsAtTheSameTimeEachClaimAnUninstallKeyOfTheirOwn) {
  FakeSettings other_settings;
  FakeInstallationFolderDetails other_details;
  FakeStepHost other;
  other.settings = &other_settings;
  other.details = &other_details;
  other.install_path = base::FilePath(L"C:\\Users\\u\\AppData\\Local\\Other Velto");
  SetProductVariables(&other);
  StepResult other_result;
  InterleavingHost host(base::BindOnce([&] {
    SetupRegistryStep step(&other, &other.uninstall_key_name);
    other_result = RunOnce(&step);
  }));
  host.settings = &settings_;
  host.details = &details_;
  host.install_path = host_.install_path;
  SetProductVariables(&host);
  SetupRegistryStep step(&host, &host.uninstall_key_name);
  ASSERT_EQ(0u, RunOnce(&step).code);
  ASSERT_EQ(0u, other_result.code);

  EXPECT_EQ(UninstallBase(), host.uninstall_key_name);
  EXPECT_EQ(UninstallBase() + L"1", other.uninstall_key_name);
  EXPECT_EQ(host.install_path.value(),
            ReadString(HKEY_CURRENT_USER, host.uninstall_key_name, L"InstallLocation"));
  EXPECT_EQ(other.install_path.value(),
            ReadString(HKEY_CURRENT_USER, other.uninstall_key_name, L"InstallLocation"));
  // Each record names its own entry, which an uninstall takes away.
  auto records_key = [](const InstallationStatus& status, const std::wstring& key) {
    for (const InstallationStatus::RegistryKey& recorded : status.hkcu_keys) {
      if (base::UTF8ToWide(recorded.path) == key)
        return true;
    }
    return false;
  };
  EXPECT_TRUE(records_key(host.status, host.uninstall_key_name));
  EXPECT_FALSE(records_key(host.status, other.uninstall_key_name));
  EXPECT_TRUE(records_key(other.status, other.uninstall_key_name));

  // A run that fails gives its key back and leaves the other's.
  host.transaction.Rollback();
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UninstallBase()));
  EXPECT_EQ(other.install_path.value(),
            ReadString(HKEY_CURRENT_USER, other.uninstall_key_name, L"InstallLocation"));
}

// An entry left by a run of this folder that was interrupted after it wrote
// it: no record names it. The run takes it away and writes its own under the
// same name; a rollback brings the leftover back.
TEST_F(SetupRegistryStepTest, TheFoldersLeftoverEntryMakesWayForTheNewOne) {
  const std::wstring leftover = UninstallBase();
  base::win::RegKey key;
  ASSERT_EQ(ERROR_SUCCESS,
            key.Create(HKEY_CURRENT_USER, leftover.c_str(), KEY_ALL_ACCESS | KEY_WOW64_32KEY));
  ASSERT_EQ(ERROR_SUCCESS,
            key.WriteValue(L"InstallLocation", host_.install_path.value().c_str()));
  ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(L"DisplayVersion", L"left over"));
  key.Close();
  // The entry of an installation in another folder stays.
  const std::wstring others = UninstallBase() + L"1";
  ASSERT_EQ(ERROR_SUCCESS,
            key.Create(HKEY_CURRENT_USER, others.c_str(), KEY_ALL_ACCESS | KEY_WOW64_32KEY));
  ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(L"InstallLocation", L"C:\\Other"));
  key.Close();

  ASSERT_EQ(0u, RunStep().code);
  EXPECT_EQ(leftover, host_.uninstall_key_name);
  EXPECT_EQ(base::UTF8ToWide(GetVersion()),
            ReadString(HKEY_CURRENT_USER, leftover, L"DisplayVersion"));
  EXPECT_EQ(L"C:\\Other", ReadString(HKEY_CURRENT_USER, others, L"InstallLocation"));
  host_.transaction.Rollback();
  EXPECT_EQ(L"left over", ReadString(HKEY_CURRENT_USER, leftover, L"DisplayVersion"));
}

TEST_F(SetupRegistryStepTest, UninstallKeyNumberingIsBounded) {
  for (int number = 0; number < 1000; ++number) {
    base::win::RegKey key;
    const std::wstring taken = UninstallBase() + (number ? std::to_wstring(number) : L"");
    ASSERT_EQ(ERROR_SUCCESS,
              key.Create(HKEY_CURRENT_USER, taken.c_str(), KEY_ALL_ACCESS | KEY_WOW64_32KEY));
  }
  StepResult result = RunStep();
  EXPECT_EQ(1u, result.code);
  EXPECT_EQ("Failed writing uninstallation information", result.message);
  EXPECT_TRUE(host_.status.hkcu_keys.empty());
}

// The record is what an upgrade or uninstall takes back: it must hold
// exactly the values the step wrote, each as it stands on disk.
TEST_F(SetupRegistryStepTest, RecordHoldsExactlyTheValuesWritten) {
  // The registry of this test process, with the files of an empty folder.
  const base::FilePath no_files =
      base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"none"));
  ASSERT_TRUE(base::CreateDirectory(no_files));
  const MachineSnapshot before = MachineSnapshot::Take(no_files);
  ASSERT_EQ(0u, RunStep().code);
  EXPECT_TRUE(host_.status.hklm_keys.empty());
  ASSERT_FALSE(host_.status.hkcu_keys.empty());
  std::set<std::string> recorded;
  for (const InstallationStatus::RegistryKey& key : host_.status.hkcu_keys) {
    const REGSAM view = key.path.rfind("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 0) == 0
                            ? KEY_WOW64_32KEY
                            : 0;
    for (const InstallationStatus::RegistryValue& value : key.values) {
      recorded.insert("value:HKCU\\" + key.path + ":" + value.name);
      EXPECT_EQ(value.data, RecordedForm(HKEY_CURRENT_USER, key.path, value.name, view))
          << key.path << " " << value.name;
    }
  }
  const MachineSnapshot after = MachineSnapshot::Take(no_files);
  std::set<std::string> written;
  for (const auto& [entry, data] : after.entries()) {
    if (entry.rfind("value:HKCU\\", 0) == 0 && !before.HasEntry(entry))
      written.insert(entry);
  }
  EXPECT_EQ(written, recorded);
  // Recording ends with the step.
  EXPECT_FALSE(host_.recording);
}

TEST_F(SetupRegistryStepTest, HiddenFromTheProgramListWithItsFeature) {
  ASSERT_EQ(0u, RunStep().code);
  EXPECT_EQ("missing", ReadRawValue(HKEY_CURRENT_USER, UninstallBase(), L"SystemComponent"));
  host_.transaction.Rollback();
  host_.status.hkcu_keys.clear();
  GetFeatureRegistry()->RegisterFeature(kInstallerHideFromProgramAndFeaturesFeature, true, false);
  ASSERT_EQ(0u, RunStep().code);
  base::win::RegKey key;
  ASSERT_EQ(ERROR_SUCCESS,
            key.Open(HKEY_CURRENT_USER, UninstallBase().c_str(), KEY_READ | KEY_WOW64_32KEY));
  DWORD hidden = 0;
  EXPECT_EQ(ERROR_SUCCESS, key.ReadValueDW(L"SystemComponent", &hidden));
  EXPECT_EQ(1u, hidden);
}

TEST_F(SetupRegistryStepTest, AllUsersWritesToTheMachine) {
  settings_.Set(ALL_USERS_FLAG, true);
  ASSERT_EQ(0u, RunStep().code);
  EXPECT_TRUE(host_.status.hkcu_keys.empty());
  EXPECT_FALSE(host_.status.hklm_keys.empty());
  EXPECT_EQ(L"C:\\Users\\u\\AppData\\Local\\Velto\\Launcher.exe,0",
            ReadString(HKEY_LOCAL_MACHINE, L"Software\\Clients\\StartMenuInternet\\" +
                                               base::UTF8ToWide(GetProductName() + GetStreamName()) +
                                               L"\\DefaultIcon",
                       nullptr));
}

TEST_F(SetupRegistryStepTest, RollingBackTheTransactionRemovesEverything) {
  ASSERT_EQ(0u, RunStep().code);
  host_.transaction.Rollback();
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Clients\\StartMenuInternet"));
  base::win::RegKey key;
  EXPECT_NE(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, UninstallBase().c_str(),
                                    KEY_READ | KEY_WOW64_32KEY));
}

}  // namespace
}  // namespace installer
