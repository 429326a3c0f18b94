#include "desktop/windows/installer/shell_launcher_impl.h"

#include "gtest/gtest.h"

namespace installer {
namespace {

// The program's path is expanded by the shell: unexpanded, it names nothing.
TEST(ShellLauncherImplTest, OpensAProgramNamedWithEnvironmentStrings) {
  EXPECT_TRUE(
      ShellLauncherImpl::GetInstance()->Open(L"%SystemRoot%\\system32\\cmd.exe", L"/c exit 0"));
}

}  // namespace
}  // namespace installer
