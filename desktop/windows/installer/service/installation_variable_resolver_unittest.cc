#include "desktop/windows/installer/service/installation_variable_resolver.h"

#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(InstallationVariableResolverTest, ResolvesByExactName) {
  InstallationVariableResolver resolver(L".html", base::FilePath(L"C:\\Velto"));
  EXPECT_EQ(L"C:\\Velto", resolver.ResolveVariable(L"InstallFolder"));
  EXPECT_EQ(L"Velto", resolver.ResolveVariable(L"Product"));
  EXPECT_EQ(L"quenn", resolver.ResolveVariable(L"Stream"));
  EXPECT_EQ(L".html", resolver.ResolveVariable(L"Extension"));
  EXPECT_EQ(L".html", resolver.ResolveVariable(L"Protocol"));
  // Names are case-sensitive; unknown ones stand for themselves.
  EXPECT_EQ(L"product", resolver.ResolveVariable(L"product"));
  EXPECT_EQ(L"Version", resolver.ResolveVariable(L"Version"));
  EXPECT_EQ(nullptr, resolver.GetRegistryKeys(HKEY_CURRENT_USER));
  EXPECT_EQ(nullptr, resolver.GetRegistryKeys(HKEY_LOCAL_MACHINE));
}

}  // namespace
}  // namespace installer
