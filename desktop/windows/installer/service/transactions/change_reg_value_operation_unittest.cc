#include "desktop/windows/installer/service/transactions/change_reg_value_operation.h"

#include <windows.h>

#include <memory>
#include <string>

#include "base/test/test_environment.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/test/registry_test_helpers.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr uint32_t kRemove = ChangeRegValueOperation::kRemoveValue;

class ChangeRegValueOperationTest : public testing::Test {
 protected:
  void SetUp() override { key_ = L"Software\\" + base::test::UniqueName(L"ChangeValue"); }

  static bool KeyExists(const std::wstring& path) {
    return installer::KeyExists(HKEY_CURRENT_USER, path);
  }
  static std::string ReadRaw(const std::wstring& path, const wchar_t* name) {
    return installer::ReadRawValue(HKEY_CURRENT_USER, path, name);
  }

  std::unique_ptr<Operation> SetString(const std::wstring& path, const wchar_t* name,
                                       const std::wstring& text) {
    return std::make_unique<ChangeRegValueOperation>(HKEY_CURRENT_USER, path, name, text.c_str(),
                                                     REG_SZ, (text.size() + 1) * 2, 0);
  }

  std::wstring key_;
};

TEST_F(ChangeRegValueOperationTest, RemovingUnderMissingKeyChangesNothing) {
  Transaction transaction;
  EXPECT_TRUE(transaction.Do(std::make_unique<ChangeRegValueOperation>(
      HKEY_CURRENT_USER, key_, L"v", nullptr, kRemove, 0, 0)));
  EXPECT_FALSE(KeyExists(key_));
  transaction.Rollback();
  EXPECT_FALSE(KeyExists(key_));
}

TEST_F(ChangeRegValueOperationTest, RemovingMissingValueAndUndoDoNothing) {
  base::win::RegKey key;
  ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_CURRENT_USER, key_.c_str(), KEY_ALL_ACCESS));
  ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(L"other", 5));
  Transaction transaction;
  EXPECT_TRUE(transaction.Do(std::make_unique<ChangeRegValueOperation>(
      HKEY_CURRENT_USER, key_, L"v", nullptr, kRemove, 0, 0)));
  transaction.Rollback();
  EXPECT_EQ("missing", ReadRaw(key_, L"v"));
  EXPECT_EQ(std::string("4:\x05\0\0\0", 6), ReadRaw(key_, L"other"));
}

TEST_F(ChangeRegValueOperationTest, RemovingExistingValueIsUndone) {
  base::win::RegKey key;
  ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_CURRENT_USER, key_.c_str(), KEY_ALL_ACCESS));
  ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(L"v", "\x01\x02\x03", 3, REG_BINARY));
  Transaction transaction;
  EXPECT_TRUE(transaction.Do(std::make_unique<ChangeRegValueOperation>(
      HKEY_CURRENT_USER, key_, L"v", nullptr, kRemove, 0, 0)));
  EXPECT_EQ("missing", ReadRaw(key_, L"v"));
  transaction.Rollback();
  EXPECT_EQ("3:\x01\x02\x03", ReadRaw(key_, L"v"));
}

TEST_F(ChangeRegValueOperationTest, ValueOfAnotherTypeIsRestoredWithItsTypeAndBytes) {
  base::win::RegKey key;
  ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_CURRENT_USER, key_.c_str(), KEY_ALL_ACCESS));
  // REG_EXPAND_SZ without a terminator: must come back exactly, not "fixed".
  ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(L"", L"%T%", 6, REG_EXPAND_SZ));
  const std::string before = ReadRaw(key_, L"");
  Transaction transaction;
  const DWORD number = 9;
  ASSERT_TRUE(transaction.Do(std::make_unique<ChangeRegValueOperation>(
      HKEY_CURRENT_USER, key_, L"", &number, REG_DWORD, 4, 0)));
  EXPECT_EQ(std::string("4:\x09\0\0\0", 6), ReadRaw(key_, L""));
  transaction.Rollback();
  EXPECT_EQ(before, ReadRaw(key_, L""));
}

TEST_F(ChangeRegValueOperationTest, SettingUnderMissingKeysCreatesThemAndRollbackRemovesThem) {
  base::win::RegKey key;
  ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_CURRENT_USER, key_.c_str(), KEY_ALL_ACCESS));
  const std::wstring deep = key_ + L"\\a\\b\\c";
  Transaction transaction;
  ASSERT_TRUE(transaction.Do(SetString(deep, L"name", L"text")));
  EXPECT_EQ(2u, transaction.size());
  EXPECT_EQ(std::string("1:t\0e\0x\0t\0\0\0", 12), ReadRaw(deep, L"name"));
  transaction.Rollback();
  EXPECT_FALSE(KeyExists(key_ + L"\\a"));
  EXPECT_TRUE(KeyExists(key_));
}

TEST_F(ChangeRegValueOperationTest, KeptChangeStays) {
  {
    Transaction transaction;
    ASSERT_TRUE(transaction.Do(SetString(key_, L"name", L"kept")));
  }
  EXPECT_EQ(std::string("1:k\0e\0p\0t\0\0\0", 12), ReadRaw(key_, L"name"));
}

TEST_F(ChangeRegValueOperationTest, EmptyDataWritesAZeroByteValue) {
  Transaction transaction;
  ASSERT_TRUE(transaction.Do(std::make_unique<ChangeRegValueOperation>(
      HKEY_CURRENT_USER, key_, L"empty", nullptr, REG_SZ, 0, 0)));
  EXPECT_EQ("1:", ReadRaw(key_, L"empty"));
}

TEST_F(ChangeRegValueOperationTest, ThirtyTwoBitViewUnderMissingKeys) {
  base::win::RegKey existing;
  ASSERT_EQ(ERROR_SUCCESS, existing.Create(HKEY_CURRENT_USER, key_.c_str(), KEY_ALL_ACCESS));
  existing.Close();
  const std::wstring deep = key_ + L"\\view\\key";
  const DWORD number = 32;
  Transaction transaction;
  ASSERT_TRUE(transaction.Do(std::make_unique<ChangeRegValueOperation>(
      HKEY_CURRENT_USER, deep, L"bits", &number, REG_DWORD, 4, KEY_WOW64_32KEY)));
  base::win::RegKey key;
  ASSERT_EQ(ERROR_SUCCESS,
            key.Open(HKEY_CURRENT_USER, deep.c_str(), KEY_READ | KEY_WOW64_32KEY));
  DWORD read = 0;
  EXPECT_EQ(ERROR_SUCCESS, key.ReadValueDW(L"bits", &read));
  EXPECT_EQ(32u, read);
  key.Close();
  transaction.Rollback();
  EXPECT_NE(ERROR_SUCCESS,
            key.Open(HKEY_CURRENT_USER, (key_ + L"\\view").c_str(), KEY_READ | KEY_WOW64_32KEY));
}

// Runs at the same time share values such as the last install path: the
// rollback of the run that wrote first must not take back what a later run
// wrote since.
TEST_F(ChangeRegValueOperationTest, RollbackLeavesAValueALaterRunWroteSince) {
  base::win::RegKey key;
  ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_CURRENT_USER, key_.c_str(), KEY_ALL_ACCESS));
  ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(L"path", L"C:\\before\\"));
  key.Close();
  Transaction first;
  ASSERT_TRUE(first.Do(SetString(key_, L"path", L"C:\\first\\")));
  Transaction later;
  ASSERT_TRUE(later.Do(SetString(key_, L"path", L"C:\\later\\")));
  first.Rollback();
  EXPECT_EQ(L"C:\\later\\", ReadString(HKEY_CURRENT_USER, key_, L"path"));
}

TEST_F(ChangeRegValueOperationTest, RollbacksInTheOrderOfTheWritesRestoreTheFirstValue) {
  base::win::RegKey key;
  ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_CURRENT_USER, key_.c_str(), KEY_ALL_ACCESS));
  ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(L"path", L"C:\\before\\"));
  key.Close();
  Transaction first;
  ASSERT_TRUE(first.Do(SetString(key_, L"path", L"C:\\first\\")));
  Transaction later;
  ASSERT_TRUE(later.Do(SetString(key_, L"path", L"C:\\later\\")));
  later.Rollback();
  first.Rollback();
  EXPECT_EQ(L"C:\\before\\", ReadString(HKEY_CURRENT_USER, key_, L"path"));
}

TEST_F(ChangeRegValueOperationTest, RollbackOfAnAddedValueLeavesALaterRunsValue) {
  base::win::RegKey key;
  ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_CURRENT_USER, key_.c_str(), KEY_ALL_ACCESS));
  key.Close();
  Transaction first;
  ASSERT_TRUE(first.Do(SetString(key_, L"path", L"C:\\first\\")));
  Transaction later;
  ASSERT_TRUE(later.Do(SetString(key_, L"path", L"C:\\later\\")));
  first.Rollback();
  EXPECT_EQ(L"C:\\later\\", ReadString(HKEY_CURRENT_USER, key_, L"path"));
}

TEST_F(ChangeRegValueOperationTest, RollbackOfARemovalLeavesAValueALaterRunWrote) {
  base::win::RegKey key;
  ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_CURRENT_USER, key_.c_str(), KEY_ALL_ACCESS));
  ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(L"path", L"C:\\before\\"));
  Transaction first;
  ASSERT_TRUE(first.Do(std::make_unique<ChangeRegValueOperation>(
      HKEY_CURRENT_USER, key_, L"path", nullptr, kRemove, 0, 0)));
  ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(L"path", L"C:\\later\\"));
  first.Rollback();
  EXPECT_EQ(L"C:\\later\\", ReadString(HKEY_CURRENT_USER, key_, L"path"));
}

TEST_F(ChangeRegValueOperationTest, RollbackComparesTypeAsWellAsBytes) {
  base::win::RegKey key;
  ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_CURRENT_USER, key_.c_str(), KEY_ALL_ACCESS));
  const DWORD number = 0x00610062;
  Transaction first;
  ASSERT_TRUE(first.Do(std::make_unique<ChangeRegValueOperation>(
      HKEY_CURRENT_USER, key_, L"v", &number, REG_DWORD, 4, 0)));
  ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(L"v", &number, 4, REG_BINARY));
  first.Rollback();
  EXPECT_EQ(std::string("3:\x62\0\x61\0", 6), ReadRaw(key_, L"v"));
}

TEST_F(ChangeRegValueOperationTest, DeniedKeyIsGrantedAndItsSecurityRestored) {
  base::win::RegKey key;
  ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_CURRENT_USER, key_.c_str(), KEY_ALL_ACCESS));
  // A DACL that lets everyone read and manage security but not set values.
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                       &everyone));
  BYTE acl_buffer[256];
  PACL acl = reinterpret_cast<PACL>(acl_buffer);
  InitializeAcl(acl, sizeof(acl_buffer), ACL_REVISION);
  AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ | WRITE_DAC | WRITE_OWNER | DELETE, everyone);
  SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key.Handle(), DACL_SECURITY_INFORMATION, &descriptor));
  key.Close();
  FreeSid(everyone);

  base::win::RegKey probe;
  if (probe.Open(HKEY_CURRENT_USER, key_.c_str(), KEY_SET_VALUE) == ERROR_SUCCESS)
    GTEST_SKIP() << "key DACLs are not enforced here";

  {
    Transaction transaction;
    ASSERT_TRUE(transaction.Do(SetString(key_, L"name", L"granted")));
  }
  EXPECT_EQ(std::string("1:g\0r\0a\0n\0t\0e\0d\0\0\0", 18), ReadRaw(key_, L"name"));
  // The grant was given back when the operation ended.
  EXPECT_NE(ERROR_SUCCESS, probe.Open(HKEY_CURRENT_USER, key_.c_str(), KEY_SET_VALUE));
}

}  // namespace
}  // namespace installer
