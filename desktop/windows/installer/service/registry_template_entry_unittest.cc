#include "desktop/windows/installer/service/registry_template_entry.h"

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/test/test_environment.h"
#include "base/win/registry.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/service/registry_templates.h"
#include "desktop/windows/installer/service/transactions/change_reg_value_operation.h"
#include "desktop/windows/installer/service/transactions/delete_reg_key_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/service/variable_resolver.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// Resolves from a table; unknown names resolve to themselves without braces.
class FakeResolver : public VariableResolver {
 public:
  FakeResolver() : status_(GENERATED) {}

  std::wstring ResolveVariable(const std::wstring& name) override {
    auto it = variables.find(name);
    return it == variables.end() ? name : it->second;
  }
  std::vector<InstallationStatus::RegistryKey>* GetRegistryKeys(HKEY root) override {
    if (!record)
      return nullptr;
    return root == HKEY_LOCAL_MACHINE ? &status_.hklm_keys : &status_.hkcu_keys;
  }

  std::map<std::wstring, std::wstring> variables;
  bool record = true;
  InstallationStatus status_;
};

RegistryTemplate Row(const wchar_t* key, const wchar_t* name, uint32_t type, uintptr_t data) {
  return RegistryTemplate{key, name, type, data, 1, nullptr, 0, 0, 0};
}

class RegistryTemplateEntryTest : public testing::Test {
 protected:
  void SetUp() override {
    resolver_.variables = {{L"Product", L"Velto"},
                           {L"Stream", L"Tamber"},
                           {L"InstallFolder", L"C:\\Apps\\Velto"},
                           {L"Protocol", L"veltox"},
                           {L"Extension", L".vhtml"},
                           {L"Version", L"47.0.1.2"}};
  }

  bool ApplyTable(const RegistryTemplate* rows, size_t count, HKEY root,
                  Transaction* transaction) {
    for (size_t i = 0; i < count; ++i) {
      RegistryTemplateEntry entry(rows[i], &resolver_);
      std::unique_ptr<Operation> operation;
      if (!entry.Apply(root, &operation))
        return false;
      if (operation && !transaction->Do(std::move(operation)))
        return false;
    }
    return true;
  }

  static std::wstring ReadString(HKEY root, const std::wstring& path, const wchar_t* name) {
    base::win::RegKey key;
    std::wstring value = L"<missing>";
    if (key.Open(root, path.c_str(), KEY_READ) == ERROR_SUCCESS)
      key.ReadValue(name, &value);
    return value;
  }

  FakeResolver resolver_;
};

TEST_F(RegistryTemplateEntryTest, ExpandsPlaceholdersAndKeepsUnmatchedBraces) {
  RegistryTemplateEntry entry(Row(L"k", nullptr, REG_SZ, 0), &resolver_);
  EXPECT_EQ(L"VeltoTamber", entry.ExpandTemplateVariables(L"{Product}{Stream}"));
  EXPECT_EQ(L"Unknown", entry.ExpandTemplateVariables(L"{Unknown}"));
  EXPECT_EQ(L"a {b", entry.ExpandTemplateVariables(L"a {b"));
  EXPECT_EQ(L"", entry.ExpandTemplateVariables(nullptr));
}

TEST_F(RegistryTemplateEntryTest, BracesInAValueAreNotPlaceholders) {
  // An install folder typed by the user may hold braces of its own.
  resolver_.variables[L"InstallFolder"] = L"C:\\Apps\\{Velto}\\{Version}";
  RegistryTemplateEntry entry(Row(L"k", nullptr, REG_SZ, 0), &resolver_);
  EXPECT_EQ(L"\"C:\\Apps\\{Velto}\\{Version}\\Launcher.exe\" -- \"%1\"",
            entry.ExpandTemplateVariables(L"\"{InstallFolder}\\Launcher.exe\" -- \"%1\""));
}

TEST_F(RegistryTemplateEntryTest, SkipsRowsByVersionRootAndChannel) {
  std::unique_ptr<Operation> operation;
  RegistryTemplate row = Row(L"k", L"v", REG_SZ, TemplateText(L"x"));
  row.min_windows = base::win::VERSION_WIN_LAST;
  EXPECT_TRUE(RegistryTemplateEntry(row, &resolver_).Apply(HKEY_CURRENT_USER, &operation));
  EXPECT_FALSE(operation);
  row.min_windows = base::win::VERSION_VISTA;
  EXPECT_TRUE(RegistryTemplateEntry(row, &resolver_).Apply(HKEY_CURRENT_USER, &operation));
  EXPECT_TRUE(operation);

  row.only_root = HKEY_CURRENT_USER;
  EXPECT_TRUE(RegistryTemplateEntry(row, &resolver_).Apply(HKEY_LOCAL_MACHINE, &operation));
  EXPECT_FALSE(operation);

  row.only_root = nullptr;
  row.min_channel = 4;
  EXPECT_TRUE(RegistryTemplateEntry(row, &resolver_).Apply(HKEY_CURRENT_USER, &operation));
  EXPECT_FALSE(operation);
  row.min_channel = 3;
  EXPECT_TRUE(RegistryTemplateEntry(row, &resolver_).Apply(HKEY_CURRENT_USER, &operation));
  EXPECT_TRUE(operation);
  EXPECT_EQ(2u, resolver_.status_.hkcu_keys[0].values.size());
}

TEST_F(RegistryTemplateEntryTest, RejectsUnsupportedTypes) {
  std::unique_ptr<Operation> operation = std::make_unique<ChangeRegValueOperation>(
      HKEY_CURRENT_USER, L"k", L"v", nullptr, REG_NONE, 0, 0);
  EXPECT_FALSE(RegistryTemplateEntry(Row(L"k", L"v", REG_MULTI_SZ, 0), &resolver_)
                   .Apply(HKEY_CURRENT_USER, &operation));
  EXPECT_FALSE(operation);
  EXPECT_TRUE(resolver_.status_.hkcu_keys.empty());
}

TEST_F(RegistryTemplateEntryTest, RecordsValuesByKeyWithTheLargestClean) {
  RegistryTemplate dword = Row(L"Software\\{Product}", L"Flags", REG_DWORD, 2);
  dword.clean = 1;
  RegistryTemplate binary =
      Row(L"SOFTWARE\\velto", L"Bytes", REG_BINARY, TemplateBytes("\x01\xab"));
  binary.clean = 2;
  RegistryTemplate text = Row(L"Software\\Other", nullptr, REG_SZ, TemplateText(L"{Product}"));
  RegistryTemplate empty = Row(L"Software\\Other", L"Empty", REG_EXPAND_SZ, TemplateText(L""));
  RegistryTemplate removal = Row(L"Software\\Gone", L"v", kRegistryTemplateRemoveValue, 0);
  RegistryTemplate deletion = Row(L"Software\\{Product}\\Old", nullptr, kRegistryTemplateDeleteKey,
                                  0);
  std::unique_ptr<Operation> operation;
  for (const RegistryTemplate& row : {dword, binary, text, empty, removal}) {
    ASSERT_TRUE(RegistryTemplateEntry(row, &resolver_).Apply(HKEY_LOCAL_MACHINE, &operation));
    EXPECT_TRUE(dynamic_cast<ChangeRegValueOperation*>(operation.get()));
  }
  ASSERT_TRUE(RegistryTemplateEntry(deletion, &resolver_).Apply(HKEY_LOCAL_MACHINE, &operation));
  EXPECT_TRUE(dynamic_cast<DeleteRegKeyOperation*>(operation.get()));

  const auto& keys = resolver_.status_.hklm_keys;
  ASSERT_EQ(2u, keys.size());
  EXPECT_TRUE(resolver_.status_.hkcu_keys.empty());
  EXPECT_EQ("Software\\Velto", keys[0].path);
  EXPECT_EQ(2, keys[0].clean);
  ASSERT_EQ(2u, keys[0].values.size());
  EXPECT_EQ((InstallationStatus::RegistryValue{"REG_DWORD", "Flags", "00000002"}),
            keys[0].values[0]);
  EXPECT_EQ((InstallationStatus::RegistryValue{"REG_BINARY", "Bytes", "01,ab"}),
            keys[0].values[1]);
  EXPECT_EQ("Software\\Other", keys[1].path);
  ASSERT_EQ(2u, keys[1].values.size());
  EXPECT_EQ((InstallationStatus::RegistryValue{"REG_SZ", "", "Velto"}), keys[1].values[0]);
  EXPECT_EQ((InstallationStatus::RegistryValue{"REG_EXPAND_SZ", "Empty", ""}), keys[1].values[1]);

  // The same row again is recorded again.
  ASSERT_TRUE(RegistryTemplateEntry(dword, &resolver_).Apply(HKEY_LOCAL_MACHINE, &operation));
  EXPECT_EQ(3u, keys[0].values.size());
}

TEST_F(RegistryTemplateEntryTest, NothingIsRecordedWithoutAKeyList) {
  resolver_.record = false;
  std::unique_ptr<Operation> operation;
  EXPECT_TRUE(RegistryTemplateEntry(Row(L"k", L"v", REG_DWORD, 1), &resolver_)
                  .Apply(HKEY_CURRENT_USER, &operation));
  EXPECT_TRUE(operation);
}

TEST_F(RegistryTemplateEntryTest, ProgIdTableUnderCurrentUser) {
  Transaction transaction;
  ASSERT_TRUE(ApplyTable(kProgIdRegistryTemplates, std::size(kProgIdRegistryTemplates),
                         HKEY_CURRENT_USER, &transaction));
  const std::wstring prog_id = L"Software\\Classes\\VeltoTamber";
  EXPECT_EQ(L"Velto Web Document", ReadString(HKEY_CURRENT_USER, prog_id, L"FriendlyTypeName"));
  EXPECT_EQ(L"", ReadString(HKEY_CURRENT_USER, prog_id, L"URL Protocol"));
  EXPECT_EQ(L"C:\\Apps\\Velto\\Launcher.exe,0",
            ReadString(HKEY_CURRENT_USER, prog_id + L"\\DefaultIcon", L""));
  EXPECT_EQ(L"\"C:\\Apps\\Velto\\Launcher.exe\" -noautoupdate -- \"%1\"",
            ReadString(HKEY_CURRENT_USER, prog_id + L"\\shell\\open\\command", L""));
  EXPECT_EQ(L"", ReadString(HKEY_CURRENT_USER, prog_id + L"\\shell\\open\\ddeexec\\Topic", L""));

  // An empty string is written as a value of zero bytes.
  base::win::RegKey key(HKEY_CURRENT_USER, prog_id.c_str(), KEY_READ);
  DWORD size = 99;
  DWORD type = 0;
  ASSERT_EQ(ERROR_SUCCESS, key.ReadValue(L"URL Protocol", nullptr, &size, &type));
  EXPECT_EQ(0u, size);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  key.Close();

  const auto& keys = resolver_.status_.hkcu_keys;
  ASSERT_EQ(6u, keys.size());
  EXPECT_EQ("Software\\Classes\\VeltoTamber", keys[0].path);
  EXPECT_EQ(1, keys[0].clean);
  EXPECT_EQ(2u, keys[0].values.size());
  EXPECT_EQ(2, keys[2].clean);  // shell\open\command

  transaction.Rollback();
  EXPECT_EQ(L"<missing>", ReadString(HKEY_CURRENT_USER, prog_id, L"FriendlyTypeName"));
}

TEST_F(RegistryTemplateEntryTest, ProgIdTableUnderMachineDeletesDdeexec) {
  const std::wstring ddeexec = L"Software\\Classes\\VeltoTamber\\shell\\open\\ddeexec";
  base::win::RegKey stale;
  ASSERT_EQ(ERROR_SUCCESS, stale.Create(HKEY_LOCAL_MACHINE, (ddeexec + L"\\Topic").c_str(),
                                        KEY_ALL_ACCESS));
  stale.Close();
  Transaction transaction;
  ASSERT_TRUE(ApplyTable(kProgIdRegistryTemplates, std::size(kProgIdRegistryTemplates),
                         HKEY_LOCAL_MACHINE, &transaction));
  EXPECT_EQ(L"<missing>", ReadString(HKEY_LOCAL_MACHINE, ddeexec, L""));
  EXPECT_EQ(3u, resolver_.status_.hklm_keys.size());
  transaction.Rollback();
  base::win::RegKey back;
  EXPECT_EQ(ERROR_SUCCESS,
            back.Open(HKEY_LOCAL_MACHINE, (ddeexec + L"\\Topic").c_str(), KEY_READ));
}

TEST_F(RegistryTemplateEntryTest, ProtocolTableRemovesTheUserChoice) {
  const std::wstring choice =
      L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\veltox\\UserChoice";
  base::win::RegKey key;
  ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_CURRENT_USER, choice.c_str(), KEY_ALL_ACCESS));
  ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(L"Progid", L"OtherBrowser"));
  key.Close();

  Transaction transaction;
  ASSERT_TRUE(ApplyTable(kProtocolRegistryTemplates, std::size(kProtocolRegistryTemplates),
                         HKEY_CURRENT_USER, &transaction));
  EXPECT_EQ(L"\"C:\\Apps\\Velto\\launcher.exe\" -noautoupdate -- \"%1\"",
            ReadString(HKEY_CURRENT_USER, L"Software\\Classes\\veltox\\shell\\open\\command",
                       L""));
  base::win::RegKey flags(HKEY_CURRENT_USER, L"Software\\Classes\\veltox", KEY_READ);
  DWORD edit_flags = 0;
  EXPECT_EQ(ERROR_SUCCESS, flags.ReadValueDW(L"EditFlags", &edit_flags));
  EXPECT_EQ(2u, edit_flags);
  flags.Close();
  EXPECT_EQ(L"<missing>", ReadString(HKEY_CURRENT_USER, choice, L"Progid"));
  // The removal is not recorded.
  for (const auto& recorded : resolver_.status_.hkcu_keys)
    EXPECT_EQ(std::string::npos, recorded.path.find("UserChoice"));

  transaction.Rollback();
  EXPECT_EQ(L"OtherBrowser", ReadString(HKEY_CURRENT_USER, choice, L"Progid"));
}

TEST_F(RegistryTemplateEntryTest, ExtensionTable) {
  Transaction transaction;
  ASSERT_TRUE(ApplyTable(kExtensionRegistryTemplates, std::size(kExtensionRegistryTemplates),
                         HKEY_CURRENT_USER, &transaction));
  EXPECT_EQ(L"VeltoTamber", ReadString(HKEY_CURRENT_USER, L"Software\\Classes\\.vhtml", L""));
  ASSERT_EQ(1u, resolver_.status_.hkcu_keys.size());
  EXPECT_EQ((InstallationStatus::RegistryValue{"REG_SZ", "", "VeltoTamber"}),
            resolver_.status_.hkcu_keys[0].values[0]);
}

}  // namespace
}  // namespace installer
