#include "desktop/windows/installer/service/system_utils.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/test/test_environment.h"
#include "desktop/windows/installer/service/test/fake_user_token.h"
#include "gtest/gtest.h"
#include "product_config/product_config.h"

namespace installer {
namespace {

FakeUserToken StandardUser() {
  return FakeUserToken(TokenElevationTypeDefault, false, false);
}
FakeUserToken FilteredAdministrator() {
  return FakeUserToken(TokenElevationTypeLimited, false, true);
}
FakeUserToken ElevatedAdministrator() {
  return FakeUserToken(TokenElevationTypeFull, true, false);
}

TEST(SystemUtilsTest, AdministratorFilteredByUacCountsOnlyThroughLinkedToken) {
  EXPECT_TRUE(IsUserAdministrator(FilteredAdministrator(), true));
  EXPECT_FALSE(IsUserAdministrator(FilteredAdministrator(), false));
  EXPECT_TRUE(IsUserAdministrator(ElevatedAdministrator(), true));
  EXPECT_TRUE(IsUserAdministrator(ElevatedAdministrator(), false));
  EXPECT_FALSE(IsUserAdministrator(StandardUser(), true));
  EXPECT_FALSE(IsUserAdministrator(StandardUser(), false));

  FakeUserToken unreadable = ElevatedAdministrator();
  unreadable.set_fail(true);
  EXPECT_FALSE(IsUserAdministrator(unreadable, true));
  EXPECT_FALSE(IsUserAdministrator(unreadable, false));
}

TEST(SystemUtilsTest, NeedsElevationTruthTable) {
  for (const FakeUserToken& user : {StandardUser(), FilteredAdministrator()}) {
    EXPECT_FALSE(NeedsElevation(user, false, true));
    EXPECT_TRUE(NeedsElevation(user, false, false));
    EXPECT_TRUE(NeedsElevation(user, true, true));
    EXPECT_TRUE(NeedsElevation(user, true, false));
  }
  const FakeUserToken admin = ElevatedAdministrator();
  EXPECT_FALSE(NeedsElevation(admin, false, true));
  EXPECT_FALSE(NeedsElevation(admin, false, false));
  EXPECT_FALSE(NeedsElevation(admin, true, true));
  EXPECT_FALSE(NeedsElevation(admin, true, false));
}

TEST(SystemUtilsTest, RealTokenAnswers) {
  UserTokenImpl token;
  TOKEN_ELEVATION_TYPE type;
  EXPECT_TRUE(token.GetElevationType(&type));
  bool member = false;
  EXPECT_TRUE(token.IsAdministratorsMember(false, &member));
  EXPECT_EQ(member, IsUserAdministrator(false));
}

TEST(SystemUtilsTest, KernelObjectNames) {
  EXPECT_EQ(L"Global\\VeltoInstaller/InstallationInterrupted/C:/Program Files/Velto",
            GetKernelObjectName(L"C:\\Program Files\\Velto",
                                L"VeltoInstaller/InstallationInterrupted", true));
  EXPECT_EQ(L"Local\\VeltoInstaller/InstallationInterrupted/C:/Program Files/Velto",
            GetKernelObjectName(L"C:\\Program Files\\Velto",
                                L"VeltoInstaller/InstallationInterrupted", false));
  // Backslashes in the base name turn too; only the prefix keeps its own.
  EXPECT_EQ(L"Local\\a/b///server/share/",
            GetKernelObjectName(L"\\\\server\\share\\", L"a\\b", false));
}

TEST(SystemUtilsTest, ValidFileNames) {
  EXPECT_TRUE(IsValidFileName(L"C:", false));
  EXPECT_TRUE(IsValidFileName(L"C:\\", true));
  EXPECT_TRUE(IsValidFileName(L"C:\\Program Files\\Velto", true));
  EXPECT_TRUE(IsValidFileName(L"C:\\a\\\\b//c\\file.txt", false));
  EXPECT_TRUE(IsValidFileName(L"\\\\server\\share\\folder", true));
  EXPECT_TRUE(IsValidFileName(L"relative\\path", false));
  EXPECT_TRUE(IsValidFileName(L"C:\\a\\console.txt", false));  // a longer stem
  EXPECT_TRUE(IsValidFileName(L"C:\\a\\com5", false));         // not a listed device
  EXPECT_TRUE(IsValidFileName(L"C:\\a\\.hidden", false));      // empty stem

  EXPECT_FALSE(IsValidFileName(L"", false));
  EXPECT_FALSE(IsValidFileName(L"C:\\a\\con.txt", false));
  EXPECT_FALSE(IsValidFileName(L"C:\\a\\CoN", false));
  EXPECT_FALSE(IsValidFileName(L"C:\\a\\lpt1.log", false));
  EXPECT_FALSE(IsValidFileName(L"C:\\a\\b.\\c", false));
  EXPECT_FALSE(IsValidFileName(L"C:\\a\\b \\c", false));
  EXPECT_FALSE(IsValidFileName(L"C:\\a\\ b\\c", false));
  EXPECT_FALSE(IsValidFileName(L"\\\\server\\share", false));
  EXPECT_FALSE(IsValidFileName(L"\\\\server", false));
  EXPECT_FALSE(IsValidFileName(L"\\\\\\share\\x", false));
  EXPECT_FALSE(IsValidFileName(L"C:\\a:b", false));
  EXPECT_FALSE(IsValidFileName(L"C:\\a?", false));
  EXPECT_FALSE(IsValidFileName(L"C:\\a|b", false));
  EXPECT_FALSE(IsValidFileName(std::wstring(L"C:\\a") + L'\x1f', false));

  // A 260-character component makes the path too long.
  EXPECT_FALSE(IsValidFileName(L"C:\\" + std::wstring(260, L'a'), false));
  // The folder limit is lower than the file limit.
  const std::wstring path_250 = L"C:\\" + std::wstring(247, L'a');
  ASSERT_EQ(250u, path_250.size());
  EXPECT_TRUE(IsValidFileName(path_250, false));
  EXPECT_FALSE(IsValidFileName(path_250, true));
  EXPECT_FALSE(IsValidFileName(L"C:\\" + std::wstring(257, L'a'), false));
}

class PeArchitectureTest : public testing::Test {
 protected:
  base::FilePath WriteScratchFile(const std::wstring& name, const std::string& bytes) {
    base::FilePath path(base::test::ScratchFolder());
    path = path.Append(base::test::UniqueName(name));
    EXPECT_TRUE(base::WriteFile(path, bytes));
    return path;
  }

  // The DOS header, and the PE header at |pe_offset|; |length| bytes in all.
  static std::string BuildPe(uint16_t machine, uint32_t pe_offset, size_t length) {
    std::string bytes(length, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    std::memcpy(&bytes[60], &pe_offset, sizeof(pe_offset));
    if (pe_offset + 6 <= length) {
      std::memcpy(&bytes[pe_offset], "PE\0\0", 4);
      std::memcpy(&bytes[pe_offset + 4], &machine, sizeof(machine));
    }
    return bytes;
  }
};

TEST_F(PeArchitectureTest, ThisTestExecutableIs64Bit) {
  wchar_t module[MAX_PATH];
  ASSERT_GT(::GetModuleFileNameW(nullptr, module, MAX_PATH), 0u);
  EXPECT_EQ(PE_ARCHITECTURE_OTHER, GetPeArchitecture(base::FilePath(module)));
}

TEST_F(PeArchitectureTest, MachineField) {
  EXPECT_EQ(PE_ARCHITECTURE_I386,
            GetPeArchitecture(WriteScratchFile(L"x86.exe", BuildPe(0x014C, 0x80, 0x200))));
  EXPECT_EQ(PE_ARCHITECTURE_OTHER,
            GetPeArchitecture(WriteScratchFile(L"arm64.exe", BuildPe(0xAA64, 0x80, 0x200))));
}

TEST_F(PeArchitectureTest, NotPeFiles) {
  EXPECT_EQ(PE_ARCHITECTURE_NOT_PE,
            GetPeArchitecture(WriteScratchFile(L"text.txt", "just some text, no header\n")));
  EXPECT_EQ(PE_ARCHITECTURE_NOT_PE, GetPeArchitecture(WriteScratchFile(L"empty.exe", "")));
  EXPECT_EQ(PE_ARCHITECTURE_NOT_PE,
            GetPeArchitecture(base::FilePath(base::test::ScratchFolder())
                                  .Append(L"missing.exe")));
  // Only the DOS stub: the PE header offset points past the end.
  EXPECT_EQ(PE_ARCHITECTURE_NOT_PE,
            GetPeArchitecture(WriteScratchFile(L"stub.exe", BuildPe(0x014C, 0x80, 0x40))));
  // The PE header starts inside the file but is cut short.
  EXPECT_EQ(PE_ARCHITECTURE_NOT_PE,
            GetPeArchitecture(WriteScratchFile(L"cut.exe", BuildPe(0x014C, 0x80, 0x90))));
  // An offset that would wrap a 32-bit sum.
  EXPECT_EQ(PE_ARCHITECTURE_NOT_PE,
            GetPeArchitecture(WriteScratchFile(L"wrap.exe", BuildPe(0x014C, 0xFFFFFFF0, 0x200))));
  // Shorter than a DOS header.
  EXPECT_EQ(PE_ARCHITECTURE_NOT_PE, GetPeArchitecture(WriteScratchFile(L"mz.exe", "MZ")));
  // A wrong PE signature.
  std::string bad_signature = BuildPe(0x014C, 0x80, 0x200);
  bad_signature[0x81] = 'X';
  EXPECT_EQ(PE_ARCHITECTURE_NOT_PE,
            GetPeArchitecture(WriteScratchFile(L"sig.exe", bad_signature)));
}

TEST(SystemUtilsTest, ChannelNames) {
  EXPECT_EQ("Ulvane", GetChannelName(1));
  EXPECT_EQ("Fennick", GetChannelName(2));
  EXPECT_EQ("Pallex", GetChannelName(3));
  EXPECT_EQ("Tamber", GetChannelName(4));
  EXPECT_EQ(GetStreamName(), GetChannelName(0));
  EXPECT_EQ(GetStreamName(), GetChannelName(5));
  EXPECT_EQ("Pallex", GetChannelName());
}

TEST(SystemUtilsTest, RegistryKeyNames) {
  EXPECT_EQ(51u, GetUninstallRegistryKey().size());
  const std::string company = ProductConfig::GetCompanyName();
  EXPECT_EQ(L"Software\\" + std::wstring(company.begin(), company.end()),
            GetProductRegistryKey());
}

TEST(SystemUtilsTest, UserNamesAndKnownFolders) {
  std::wstring name;
  EXPECT_TRUE(GetCurrentUserName(&name));
  EXPECT_FALSE(name.empty());

  base::FilePath folder;
  ASSERT_TRUE(GetKnownFolderPath(FOLDERID_LocalAppData, CSIDL_LOCAL_APPDATA, &folder, false));
  EXPECT_TRUE(base::DirectoryExists(folder));
}

// A known folder the system does not have is no error of the run: the
// callers fall back on a folder of their own. Wine has no folder for the
// user's own programs (Windows has one from Windows 7 on).
TEST(SystemUtilsTest, KnownFolderTheSystemLacksIsNoError) {
  const base::FilePath log =
      base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"known.log"));
  logging::LoggingSettings settings;
  settings.log_file_path = log;
  ASSERT_TRUE(logging::InitLogging(settings));
  base::FilePath folder;
  const bool found = GetKnownFolderPath(FOLDERID_UserProgramFiles, 0, &folder, false, true);
  logging::CloseLogFile();
  std::string text;
  ASSERT_TRUE(base::ReadFileToString(log, &text));
  EXPECT_EQ(std::string::npos, text.find(":ERROR:")) << text;
  if (!found)
    EXPECT_NE(std::string::npos, text.find("{5CD7AEE2-2219-4A67-B85D-6C9CE15660CB}")) << text;
}

}  // namespace
}  // namespace installer
