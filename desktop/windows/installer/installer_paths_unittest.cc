#include "desktop/windows/installer/installer_paths.h"

#include <atomic>
#include <thread>
#include <vector>

#include "base/base_paths.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/path_service.h"
#include "base/test/test_environment.h"
#include "base/test/unix_link.h"
#include "gtest/gtest.h"

namespace installer {

TEST(InstallerPathsTest, NamesFollowTheProductName) {
  EXPECT_EQ(L"Velto Installer", GetInstallerFolderName());
  EXPECT_EQ("velto_installer", FormatWithProductName("%s_installer", true));
  EXPECT_EQ("Install Velto here.", FormatWithProductName("Install %s here.", false));
  EXPECT_EQ("no placeholder", FormatWithProductName("no placeholder", true));
}

TEST(InstallerPathsTest, LogFileNameHasSeventeenDigits) {
  base::Time::Exploded time;
  time.year = 2017;
  time.month = 7;
  time.day_of_month = 12;
  time.hour = 9;
  time.minute = 30;
  time.second = 5;
  time.millisecond = 42;
  EXPECT_EQ(L"velto_installer_20170712093005042.log", GetLogFileName(time));
}

TEST(InstallerPathsTest, LogFileLiesInInstallerFolderUnderTemp) {
  base::FilePath temp;
  ASSERT_TRUE(base::PathService::Get(base::DIR_TEMP, &temp));
  base::FilePath log = GetLogFilePath(base::Time::Now(), false);
  EXPECT_EQ(temp.Append(L"Velto Installer"), log.DirName());
  EXPECT_TRUE(base::DirectoryExists(log.DirName()));
  EXPECT_EQ(L".log", log.Extension());
}

TEST(InstallerPathsTest, ElevatedRunMakesNoLogFolderThroughALinkedTemporaryFolder) {
  base::FilePath scratch;
  ASSERT_TRUE(base::PathService::Get(base::DIR_TEMP, &scratch));
  const base::FilePath elsewhere = scratch.Append(L"elsewhere");
  ASSERT_TRUE(base::CreateDirectory(elsewhere));
  const base::FilePath linked = scratch.Append(L"linked temp");
  ASSERT_TRUE(base::test::MakeUnixLink(elsewhere, linked));
  ASSERT_TRUE(base::PathService::Override(base::DIR_TEMP, linked));
  const base::FilePath log = GetLogFilePath(base::Time::Now(), true);
  base::PathService::RemoveOverride(base::DIR_TEMP);
  EXPECT_EQ(linked.Append(L"Velto Installer"), log.DirName());
  EXPECT_TRUE(base::IsDirectoryEmpty(elsewhere));
}

TEST(InstallerPathsTest, InstallFolderRecoveredOnlyFromAbsoluteLastArgument) {
  EXPECT_EQ(L"C:\\Program Files\\Velto",
            RecoverInstallFolderFromCommandLine(
                base::CommandLine::FromString(
                    L"installer.exe --autoupdate --installfolder= \"C:\\Program Files\\Velto\""))
                .value());
  EXPECT_TRUE(RecoverInstallFolderFromCommandLine(
                  base::CommandLine::FromString(L"installer.exe --installfolder= Velto"))
                  .empty());
}

TEST(InstallerPathsTest, RunnableTempFolderWithoutExecutableIsTheTempFolder) {
  base::FilePath temp;
  ASSERT_TRUE(base::PathService::Get(base::DIR_TEMP, &temp));
  std::wstring name = base::test::UniqueName(L"runnable");
  base::FilePath folder;
  ASSERT_TRUE(FindRunnableTempFolder(name, base::FilePath(), &folder));
  EXPECT_EQ(temp.Append(name), folder);
  EXPECT_TRUE(base::DirectoryExists(folder));
}

// A program to probe with.
base::FilePath SystemProgram() {
  base::FilePath system;
  EXPECT_TRUE(base::PathService::Get(base::DIR_SYSTEM, &system));
  return system.Append(L"hostname.exe");
}

base::FilePath TempFolder() {
  base::FilePath temp;
  EXPECT_TRUE(base::PathService::Get(base::DIR_TEMP, &temp));
  return temp;
}

TEST(InstallerPathsTest, RunnableTempFolderProbesACopyAndRemovesIt) {
  const base::FilePath exe = SystemProgram();
  const base::FilePath temp = TempFolder();
  std::wstring name = base::test::UniqueName(L"probe");
  base::FilePath folder;
  ASSERT_TRUE(FindRunnableTempFolder(name, exe, &folder));
  EXPECT_EQ(temp.Append(name), folder);
  EXPECT_TRUE(base::IsDirectoryEmpty(folder));
}

TEST(InstallerPathsTest, ProbesRunningAtOnceDoNotShareTheirCopy) {
  const base::FilePath exe = SystemProgram();
  const base::FilePath temp = TempFolder();
  const std::wstring name = base::test::UniqueName(L"shared probe");
  constexpr int kProbes = 8;
  std::atomic<int> in_temp{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kProbes; ++i) {
    threads.emplace_back([&] {
      for (int round = 0; round < 4; ++round) {
        base::FilePath folder;
        if (FindRunnableTempFolder(name, exe, &folder) && folder == temp.Append(name))
          ++in_temp;
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(kProbes * 4, in_temp.load());
  EXPECT_TRUE(base::IsDirectoryEmpty(temp.Append(name)));
}

TEST(InstallerPathsTest, MissingExecutableFailsEveryCandidateAndLeavesNoFolder) {
  std::wstring name = base::test::UniqueName(L"missing");
  base::FilePath folder;
  EXPECT_FALSE(FindRunnableTempFolder(
      name, base::FilePath(base::test::ScratchFolder()).Append(L"no.exe"), &folder));
  base::FilePath temp;
  ASSERT_TRUE(base::PathService::Get(base::DIR_TEMP, &temp));
  EXPECT_FALSE(base::PathExists(temp.Append(name)));
  base::FilePath exe_dir;
  ASSERT_TRUE(base::PathService::Get(base::DIR_EXE, &exe_dir));
  EXPECT_FALSE(base::PathExists(exe_dir.Append(name)));
}

}  // namespace installer
