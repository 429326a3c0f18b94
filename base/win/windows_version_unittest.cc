#include "base/win/windows_version.h"

#include <string>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/test/test_environment.h"
#include "base/win/registry.h"
#include "gtest/gtest.h"

namespace base::win {
namespace {

TEST(WindowsVersionTest, InfoIsConsistent) {
  OSInfo* info = OSInfo::GetInstance();
  ASSERT_NE(nullptr, info);
  EXPECT_EQ(info, OSInfo::GetInstance());
  OSInfo::VersionNumber number = info->version_number();
  EXPECT_GE(number.major, 5);
  EXPECT_GT(number.build, 0);
  EXPECT_EQ(info->version(), GetVersion());
  EXPECT_GE(GetVersion(), VERSION_XP);
  EXPECT_LT(GetVersion(), VERSION_WIN_LAST);
  // The numbering is part of the contract: stored data and tables use it.
  EXPECT_EQ(3, VERSION_VISTA);
  EXPECT_EQ(4, VERSION_WIN7);
  EXPECT_EQ(7, VERSION_WIN10);
  if (number.major == 6 && number.minor == 1) {
    EXPECT_EQ(VERSION_WIN7, GetVersion());
  }
  if (number.major == 10) {
    EXPECT_EQ(VERSION_WIN10, GetVersion());
  }

  // This is a 64-bit build: the machine is x64 and the process is native.
  EXPECT_EQ(OSInfo::X64_ARCHITECTURE, info->architecture());
  EXPECT_EQ(OSInfo::WOW64_DISABLED, info->wow64_status());
  EXPECT_GE(info->processors(), 1);
  EXPECT_GE(info->allocation_granularity(), 4096u);
}

// Wine reports the Windows version that the prefix sets for an executable's
// name (HKCU\Software\Wine\AppDefaults\<name>\Version). A copy of this test
// program under a name of its own runs this test again, reports what it read
// into a file the parent names, and the parent compares it with what that
// version of Windows is.
TEST(WindowsVersionTest, EachWindowsVersionIsTheVersionItReports) {
  constexpr wchar_t kReportVariable[] = L"VELTO_WINDOWS_VERSION_REPORT";
  wchar_t report_path[MAX_PATH] = {};
  if (GetEnvironmentVariableW(kReportVariable, report_path, MAX_PATH) != 0) {
    OSInfo* info = OSInfo::GetInstance();
    OSInfo::VersionNumber number = info->version_number();
    std::string report = std::to_string(number.major) + "." + std::to_string(number.minor) +
                         " " + std::to_string(info->version());
    ASSERT_TRUE(WriteFile(FilePath(report_path), report));
    return;
  }
  if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
    GTEST_SKIP() << "the version of each executable can be chosen only under Wine";

  struct Case {
    const wchar_t* wine_name;
    const char* expected;
  };
  // Workstation or server is left out: Wine 8 swaps them between win7 and
  // win2008r2.
  const Case cases[] = {
      {L"win2003", "5.2 2"}, {L"vista", "6.0 3"}, {L"win7", "6.1 4"},
      {L"win8", "6.2 5"},    {L"win81", "6.3 6"}, {L"win10", "10.0 7"},
  };
  wchar_t self[MAX_PATH] = {};
  ASSERT_NE(0u, GetModuleFileNameW(nullptr, self, MAX_PATH));
  HKEY real_user = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenCurrentUser(KEY_ALL_ACCESS, &real_user));
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "Wine's " << c.wine_name);
    const std::wstring name = test::UniqueName(std::wstring(L"version_probe_") + c.wine_name);
    const FilePath copy(test::ScratchFolder() + L"\\" + name + L".exe");
    const FilePath report(test::ScratchFolder() + L"\\" + name + L".txt");
    ASSERT_TRUE(CopyFile(FilePath(self), copy));
    const std::wstring app_key = L"Software\\Wine\\AppDefaults\\" + name + L".exe";
    struct ScopedAppDefaults {
      HKEY root;
      const std::wstring& path;
      ~ScopedAppDefaults() { RegDeleteTreeW(root, path.c_str()); }
    } app_defaults{real_user, app_key};
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Create(real_user, app_key.c_str(), KEY_SET_VALUE));
    ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(L"Version", c.wine_name));
    key.Close();

    SetEnvironmentVariableW(kReportVariable, report.value().c_str());
    Process child = LaunchProcess(
        L"\"" + copy.value() +
            L"\" --gtest_filter=WindowsVersionTest.EachWindowsVersionIsTheVersionItReports",
        LaunchOptions());
    SetEnvironmentVariableW(kReportVariable, nullptr);
    int exit_code = -1;
    const bool ended = child.IsValid() && child.WaitForExitWithTimeout(60000, &exit_code);
    if (child.IsValid() && !ended)
      child.Terminate(1, true);
    ASSERT_TRUE(ended);
    EXPECT_EQ(0, exit_code);
    std::string reported;
    ASSERT_TRUE(ReadFileToString(report, &reported));
    EXPECT_EQ(c.expected, reported);
  }
  RegCloseKey(real_user);
}

}  // namespace
}  // namespace base::win
