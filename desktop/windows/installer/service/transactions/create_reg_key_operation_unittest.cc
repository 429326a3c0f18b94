#include "desktop/windows/installer/service/transactions/create_reg_key_operation.h"

#include <windows.h>

#include <memory>

#include "base/test/test_environment.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/test/registry_test_helpers.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "gtest/gtest.h"

namespace installer {
namespace {


TEST(CreateRegKeyOperationTest, ParentKeyPath) {
  EXPECT_EQ(L"a\\b", CreateRegKeyOperation::ParentKeyPath(L"a\\b\\c"));
  EXPECT_EQ(L"", CreateRegKeyOperation::ParentKeyPath(L"a"));
}

TEST(CreateRegKeyOperationTest, CreatesMissingLevelsAndUndoRemovesFromTheHighestCreated) {
  const std::wstring base_key = L"Software\\" + base::test::UniqueName(L"CreateKey");
  base::win::RegKey existing;
  ASSERT_EQ(ERROR_SUCCESS, existing.Create(HKEY_CURRENT_USER, base_key.c_str(), KEY_ALL_ACCESS));
  ASSERT_EQ(ERROR_SUCCESS, existing.WriteValue(L"keep", 1));
  Transaction transaction;
  ASSERT_TRUE(transaction.Do(std::make_unique<CreateRegKeyOperation>(
      HKEY_CURRENT_USER, base_key + L"\\a\\b\\c", 0)));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, base_key + L"\\a\\b\\c"));
  // Something written below meanwhile goes with the created tree.
  base::win::RegKey inner;
  ASSERT_EQ(ERROR_SUCCESS,
            inner.Create(HKEY_CURRENT_USER, (base_key + L"\\a\\x").c_str(), KEY_ALL_ACCESS));
  inner.Close();
  transaction.Rollback();
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, base_key + L"\\a"));
  EXPECT_TRUE(existing.HasValue(L"keep"));
}

TEST(CreateRegKeyOperationTest, ExistingKeyIsLeftAlone) {
  const std::wstring path = L"Software\\" + base::test::UniqueName(L"CreateKey");
  base::win::RegKey existing;
  ASSERT_EQ(ERROR_SUCCESS, existing.Create(HKEY_CURRENT_USER, path.c_str(), KEY_ALL_ACCESS));
  Transaction transaction;
  ASSERT_TRUE(
      transaction.Do(std::make_unique<CreateRegKeyOperation>(HKEY_CURRENT_USER, path, 0)));
  transaction.Rollback();
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, path));
}

TEST(CreateRegKeyOperationTest, KeyDirectlyBelowTheRoot) {
  // The redirected HKLM of the test starts empty, so even "Software" is missing.
  const std::wstring top = base::test::UniqueName(L"TopLevel");
  Transaction transaction;
  ASSERT_TRUE(transaction.Do(
      std::make_unique<CreateRegKeyOperation>(HKEY_LOCAL_MACHINE, top + L"\\child", 0)));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, top + L"\\child"));
  transaction.Rollback();
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, top));
}

TEST(CreateRegKeyOperationTest, KeptKeyStays) {
  const std::wstring path = L"Software\\" + base::test::UniqueName(L"CreateKey") + L"\\kept";
  {
    Transaction transaction;
    ASSERT_TRUE(
        transaction.Do(std::make_unique<CreateRegKeyOperation>(HKEY_CURRENT_USER, path, 0)));
  }
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, path));
}

}  // namespace
}  // namespace installer
