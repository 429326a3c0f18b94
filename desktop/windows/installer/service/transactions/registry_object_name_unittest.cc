#include "desktop/windows/installer/service/transactions/registry_object_name.h"

#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(RegistryObjectNameTest, NamesAndTypes) {
  EXPECT_EQ(L"MACHINE\\Software\\Velto", GetRegistryObjectName(HKEY_LOCAL_MACHINE,
                                                                L"Software\\Velto"));
  EXPECT_EQ(L"CURRENT_USER\\a", GetRegistryObjectName(HKEY_CURRENT_USER, L"a"));
  EXPECT_EQ(L"CLASSES_ROOT\\a", GetRegistryObjectName(HKEY_CLASSES_ROOT, L"a"));
  EXPECT_EQ(L"USERS\\a", GetRegistryObjectName(HKEY_USERS, L"a"));
  EXPECT_EQ(L"MACHINE\\", GetRegistryObjectName(HKEY_LOCAL_MACHINE, L""));
  EXPECT_EQ(L"a", GetRegistryObjectName(HKEY_CURRENT_CONFIG, L"a"));
  EXPECT_EQ(SE_REGISTRY_WOW64_32KEY, GetRegistryObjectType(KEY_WOW64_32KEY));
  EXPECT_EQ(SE_REGISTRY_KEY, GetRegistryObjectType(KEY_WOW64_64KEY));
  EXPECT_EQ(SE_REGISTRY_KEY, GetRegistryObjectType(0));
}

}  // namespace
}  // namespace installer
