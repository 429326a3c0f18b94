#include "desktop/windows/installer/service/transactions/claim_reg_key_operation.h"

#include <windows.h>

#include <memory>

#include "base/test/test_environment.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/test/registry_test_helpers.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(ClaimRegKeyOperationTest, ANewKeyIsClaimedAndGoesWithTheRollback) {
  const std::wstring base_key = L"Software\\" + base::test::UniqueName(L"Claim");
  base::win::RegKey existing;
  ASSERT_EQ(ERROR_SUCCESS, existing.Create(HKEY_CURRENT_USER, base_key.c_str(), KEY_ALL_ACCESS));
  const std::wstring parent = base_key + L"\\Windows\\Uninstall";
  const std::wstring path = parent + L"\\Velto 1.0";
  Transaction transaction;
  ASSERT_TRUE(transaction.Do(
      std::make_unique<ClaimRegKeyOperation>(HKEY_CURRENT_USER, path, KEY_WOW64_32KEY)));
  base::win::RegKey key;
  ASSERT_EQ(ERROR_SUCCESS,
            key.Open(HKEY_CURRENT_USER, path.c_str(), KEY_SET_VALUE | KEY_WOW64_32KEY));
  ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(L"DisplayName", L"Velto"));
  key.Close();
  transaction.Rollback();
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, path));
  // What it made above the key goes too, and what was there stays.
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, base_key + L"\\Windows"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, base_key));
}

// Another run has claimed a key of its own below the keys this claim made:
// those stay with the other run's key.
TEST(ClaimRegKeyOperationTest, KeysItMadeAboveStayWhenTheyHoldOthersKeys) {
  const std::wstring parent =
      L"Software\\" + base::test::UniqueName(L"Claim") + L"\\Uninstall";
  Transaction mine;
  ASSERT_TRUE(mine.Do(std::make_unique<ClaimRegKeyOperation>(HKEY_CURRENT_USER,
                                                             parent + L"\\Velto 1.0", 0)));
  Transaction theirs;
  ASSERT_TRUE(theirs.Do(std::make_unique<ClaimRegKeyOperation>(HKEY_CURRENT_USER,
                                                               parent + L"\\Velto 1.01", 0)));
  mine.Rollback();
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, parent + L"\\Velto 1.0"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, parent + L"\\Velto 1.01"));
  theirs.Rollback();
  // The other claim found them there: they are not its to remove.
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, parent));
}

TEST(ClaimRegKeyOperationTest, AKeyThatExistsIsNotTakenNorTouched) {
  const std::wstring path = L"Software\\" + base::test::UniqueName(L"Claim");
  base::win::RegKey existing;
  ASSERT_EQ(ERROR_SUCCESS, existing.Create(HKEY_CURRENT_USER, path.c_str(), KEY_ALL_ACCESS));
  ASSERT_EQ(ERROR_SUCCESS, existing.WriteValue(L"InstallLocation", L"C:\\other"));
  Transaction transaction;
  EXPECT_FALSE(
      transaction.Do(std::make_unique<ClaimRegKeyOperation>(HKEY_CURRENT_USER, path, 0)));
  transaction.Rollback();
  std::wstring location;
  EXPECT_EQ(ERROR_SUCCESS, existing.ReadValue(L"InstallLocation", &location));
  EXPECT_EQ(L"C:\\other", location);
}

TEST(ClaimRegKeyOperationTest, OnlyOneOfTwoClaimsOfOneKeySucceeds) {
  const std::wstring path = L"Software\\" + base::test::UniqueName(L"Claim");
  Transaction first;
  Transaction second;
  EXPECT_TRUE(first.Do(std::make_unique<ClaimRegKeyOperation>(HKEY_CURRENT_USER, path, 0)));
  EXPECT_FALSE(second.Do(std::make_unique<ClaimRegKeyOperation>(HKEY_CURRENT_USER, path, 0)));
  // The loser's rollback leaves the winner's key.
  second.Rollback();
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, path));
  first.Rollback();
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, path));
}

}  // namespace
}  // namespace installer
