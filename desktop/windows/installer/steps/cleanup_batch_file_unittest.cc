#include "desktop/windows/installer/steps/cleanup_batch_file.h"

#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/test/test_environment.h"
#include "desktop/windows/installer/test/installer_test_support.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

const base::FilePath kInstall(L"C:\\Users\\u\\AppData\\Local\\Velto");

std::string WaitBlock(int slot, const std::string& pid) {
  const std::string n = std::to_string(slot);
  return "IF %PID" + n + "_RUNNING%==TRUE (\n"
         "TASKLIST /FI \"PID eq " + pid + "\" | FIND /c /i \".exe\"\n"
         "IF ERRORLEVEL 1 SET PID" + n + "_RUNNING=FALSE\n"
         ")\n";
}

TEST(CleanupBatchFileTest, OnlyTheRunningProcess) {
  CleanupBatchFile batch(kInstall);
  batch.SetProcessIds(1234, 0, 0);
  EXPECT_EQ("IF NOT EXIST k.bat EXIT /B\n"
            "SET PID1_RUNNING=TRUE\n"
            ":again\n" + WaitBlock(1, "1234") +
            "ping -n 2 127.0.0.1\n"
            "IF %PID1_RUNNING%==TRUE GOTO :again\n"
            "del %0\n",
            batch.GetText());
}

TEST(CleanupBatchFileTest, EveryProcessIdCombination) {
  for (uint32_t second : {0u, 22u}) {
    for (uint32_t third : {0u, 333u}) {
      SCOPED_TRACE(std::to_string(second) + "/" + std::to_string(third));
      CleanupBatchFile batch(kInstall);
      batch.SetProcessIds(1, second, third);
      std::string expected = "IF NOT EXIST k.bat EXIT /B\nSET PID1_RUNNING=TRUE\n";
      if (second)
        expected += "SET PID2_RUNNING=TRUE\n";
      if (third)
        expected += "SET PID3_RUNNING=TRUE\n";
      expected += ":again\n" + WaitBlock(1, "1");
      if (second)
        expected += WaitBlock(2, "22");
      if (third)
        expected += WaitBlock(3, "333");
      expected += "ping -n 2 127.0.0.1\nIF %PID1_RUNNING%==TRUE GOTO :again\n";
      if (second)
        expected += "IF %PID2_RUNNING%==TRUE GOTO :again\n";
      if (third)
        expected += "IF %PID3_RUNNING%==TRUE GOTO :again\n";
      expected += "del %0\n";
      EXPECT_EQ(expected, batch.GetText());
    }
  }
}

TEST(CleanupBatchFileTest, FilesInOrderFoldersInnermostFirstNeverAboveTheInstallFolder) {
  CleanupBatchFile batch(kInstall);
  batch.SetProcessIds(7, 0, 0);
  EXPECT_TRUE(batch.AddFile(kInstall.Append(L"47.0\\b.dll")));
  EXPECT_TRUE(batch.AddFile(kInstall.Append(L"47.0\\a.exe")));
  EXPECT_TRUE(batch.AddFolderWithAncestors(kInstall.Append(L"47.0\\locales")));
  EXPECT_TRUE(batch.AddFolderWithAncestors(kInstall.Append(L"47.0")));
  std::string text = batch.GetText();
  size_t tail = text.find("del \"");
  ASSERT_NE(std::string::npos, tail);
  // Named relative to the batch's own folder, the install folder.
  EXPECT_EQ("del \"47.0\\b.dll\"\n"
            "del \"47.0\\a.exe\"\n"
            "rmdir \"47.0\\locales\"\n"
            "rmdir \"47.0\"\n"
            "rmdir \".\"\n"
            "del %0\n",
            text.substr(tail));
}

TEST(CleanupBatchFileTest, RefusesWhatLiesOutsideOrCannotBeQuoted) {
  CleanupBatchFile batch(kInstall);
  batch.SetProcessIds(7, 0, 0);
  EXPECT_FALSE(batch.AddFile(base::FilePath(L"C:\\Windows\\system32\\x.dll")));
  EXPECT_FALSE(batch.AddFile(kInstall.Append(L"..\\..\\x.dll")));
  EXPECT_FALSE(batch.AddFile(kInstall));
  EXPECT_FALSE(batch.AddFile(kInstall.Append(L"a\" & del C:\\x.txt")));
  EXPECT_FALSE(batch.AddFile(kInstall.Append(L"a\r\ndel C:\\x.txt")));
  EXPECT_FALSE(batch.AddFolderWithAncestors(base::FilePath(L"C:\\Users")));
  EXPECT_FALSE(batch.AddFolderWithAncestors(kInstall.DirName()));
  std::string text = batch.GetText();
  EXPECT_EQ(std::string::npos, text.find("del \""));
  EXPECT_EQ(std::string::npos, text.find("rmdir"));
}

TEST(CleanupBatchFileTest, PercentSignsAreNotExpanded) {
  CleanupBatchFile batch(kInstall);
  batch.SetProcessIds(7, 0, 0);
  EXPECT_TRUE(batch.AddFile(kInstall.Append(L"%PATH%\\a.txt")));
  EXPECT_NE(std::string::npos, batch.GetText().find("del \"%%PATH%%\\a.txt\"\n"));
}

// A batch file read back passes only as its writer writes it: any line of
// another form, or a writer's line naming what the writer refuses, fails it.
TEST(CleanupBatchFileTest, ReadsBackOnlyWhatItWrites) {
  CleanupBatchFile batch(kInstall);
  batch.SetProcessIds(7, 22, 333);
  ASSERT_TRUE(batch.AddFile(kInstall.Append(L"47.0\\b.dll")));
  ASSERT_TRUE(batch.AddFile(kInstall.Append(L"%PATH%\\a.txt")));
  ASSERT_TRUE(batch.AddFolderWithAncestors(kInstall.Append(L"47.0\\locales")));
  const std::string text = batch.GetText();
  EXPECT_TRUE(CleanupBatchFile::IsWrittenText(kInstall, text));
  CleanupBatchFile waits_only(kInstall);
  waits_only.SetProcessIds(0, 0, 0);
  EXPECT_TRUE(CleanupBatchFile::IsWrittenText(kInstall, waits_only.GetText()));

  auto replaced = [&text](const std::string& from, const std::string& to) {
    std::string changed = text;
    const size_t at = changed.find(from);
    EXPECT_NE(std::string::npos, at) << from;
    return at == std::string::npos ? text : changed.replace(at, from.size(), to);
  };
  const std::string end = "del %0\n";
  const std::vector<std::string> foreign = {
      text + "echo x\n",
      "echo x\n" + text,
      replaced(end, "del \"..\\..\\Windows\\x.dll\"\n" + end),
      replaced(end, "del \"C:\\Windows\\x.dll\"\n" + end),
      replaced(end, "del \"\\Windows\\x.dll\"\n" + end),
      replaced(end, "del \"47.0\\*.dll\"\n" + end),
      replaced(end, "del \"a%b.dll\"\n" + end),
      replaced(end, "del \".\"\n" + end),
      replaced(end, "del C:\\x.txt\n"),
      replaced("rmdir \"47.0\"\n", ""),
      replaced("PID eq 22", "PID eq 22 & calc"),
      replaced(":again\n", ":again\ncalc.exe\n"),
      replaced("ping -n 2 127.0.0.1\n", "ping -n 2 127.0.0.1\nIF %PID1_RUNNING%==TRUE GOTO :again\n"),
      replaced("\n", "\r\n"),
      text.substr(0, text.size() - 1),
      std::string(),
  };
  for (const std::string& changed : foreign)
    EXPECT_FALSE(CleanupBatchFile::IsWrittenText(kInstall, changed)) << changed;
}

// What a batch file does, read back: its processes, then its files and
// folders in its order, as full paths.
TEST(CleanupBatchFileTest, ReadsWhatABatchDoes) {
  CleanupBatchFile batch(kInstall);
  batch.SetProcessIds(7, 0, 333);
  ASSERT_TRUE(batch.AddFile(kInstall.Append(L"47.0\\b.dll")));
  ASSERT_TRUE(batch.AddFile(kInstall.Append(L"%PATH%\\a.txt")));
  ASSERT_TRUE(batch.AddFolderWithAncestors(kInstall.Append(L"47.0\\locales")));
  CleanupBatchFile::Contents contents;
  ASSERT_TRUE(CleanupBatchFile::Read(kInstall, batch.GetText(), &contents));
  EXPECT_EQ(7u, contents.process_ids[0]);
  EXPECT_EQ(0u, contents.process_ids[1]);
  EXPECT_EQ(333u, contents.process_ids[2]);
  EXPECT_EQ((std::vector<base::FilePath>{kInstall.Append(L"47.0\\b.dll"),
                                         kInstall.Append(L"%PATH%\\a.txt")}),
            contents.files);
  EXPECT_EQ((std::vector<base::FilePath>{kInstall.Append(L"47.0\\locales"),
                                         kInstall.Append(L"47.0"), kInstall}),
            contents.folders);

  // Nothing of a batch that another program wrote.
  CleanupBatchFile::Contents untouched;
  EXPECT_FALSE(CleanupBatchFile::Read(kInstall, batch.GetText() + "echo x\n", &untouched));
  EXPECT_EQ(0u, untouched.process_ids[0]);
  EXPECT_TRUE(untouched.files.empty());
  EXPECT_TRUE(untouched.folders.empty());
}

TEST(CleanupBatchFileTest, RefusesWildcards) {
  CleanupBatchFile batch(kInstall);
  EXPECT_FALSE(batch.AddFile(kInstall.Append(L"47.0\\*.dll")));
  EXPECT_FALSE(batch.AddFolderWithAncestors(kInstall.Append(L"4?.0")));
}

// The batch run by the command processor, as an uninstallation leaves it,
// in an install folder whose name the OEM code page cannot hold (Cyrillic
// under a Western one) and which holds what the command processor would
// read as a variable or an operator, with the files and folders the batch is
// to remove.
TEST(CleanupBatchFileRunTest, RemovesWhatItListsWhateverTheFolderIsCalled) {
  const base::FilePath install =
      base::FilePath(base::test::ScratchFolder())
          .Append(base::test::UniqueName(
              L"\u0412\u0435\u043b\u044c\u0442\u043e \u00e9 %OS% & a^b !c! (d) 100%;e,f=g'h"));
  const std::vector<base::FilePath> files = {
      install.Append(L"launcher.exe"),
      install.Append(L"47.0\\a.dll"),
      install.Append(L"47.0\\\u00e9t\u00e9.dll"),
      install.Append(L"47.0\\\u0436\\b 100%.dll"),
  };
  for (const base::FilePath& file : files) {
    ASSERT_TRUE(base::CreateDirectory(file.DirName()));
    ASSERT_TRUE(base::WriteFile(file, "x"));
  }
  CleanupBatchFile batch(install);
  batch.SetProcessIds(EndedProcessId(), 0, 0);
  for (const base::FilePath& file : files) {
    EXPECT_TRUE(batch.AddFile(file)) << file.value();
    EXPECT_TRUE(batch.AddFolderWithAncestors(file.DirName())) << file.value();
  }
  const base::FilePath batch_path = install.Append(kCleanupBatchFileName);
  ASSERT_TRUE(base::WriteFile(batch_path, batch.GetText()));
  base::Process run = StartCleanupBatchFile(install);
  ASSERT_TRUE(run.IsValid());
  ASSERT_TRUE(run.WaitForExitWithTimeout(60 * 1000, nullptr));

  for (const base::FilePath& file : files)
    EXPECT_FALSE(base::PathExists(file)) << file.value();
  EXPECT_FALSE(base::PathExists(install.Append(L"47.0")));
  EXPECT_FALSE(base::PathExists(batch_path));
}

// Run by hand from another folder, the batch leaves alone what it would
// delete in its own.
TEST(CleanupBatchFileRunTest, StartedFromAnotherFolderTouchesNothing) {
  const base::FilePath scratch(base::test::ScratchFolder());
  const base::FilePath install = scratch.Append(base::test::UniqueName(L"install"));
  const base::FilePath elsewhere = scratch.Append(base::test::UniqueName(L"elsewhere"));
  ASSERT_TRUE(base::CreateDirectory(install));
  ASSERT_TRUE(base::CreateDirectory(elsewhere.Append(L"47.0")));
  ASSERT_TRUE(base::WriteFile(elsewhere.Append(L"47.0\\a.dll"), "x"));

  CleanupBatchFile batch(install);
  batch.SetProcessIds(EndedProcessId(), 0, 0);
  ASSERT_TRUE(batch.AddFile(install.Append(L"47.0\\a.dll")));
  ASSERT_TRUE(batch.AddFolderWithAncestors(install.Append(L"47.0")));
  const base::FilePath batch_path = install.Append(kCleanupBatchFileName);
  ASSERT_TRUE(base::WriteFile(batch_path, batch.GetText()));
  base::LaunchOptions options;
  options.start_hidden = true;
  options.current_directory = elsewhere;
  base::Process run = base::LaunchProcess(
      L"cmd.exe /d /c " + base::CommandLine::QuoteForCommandLineToArgvW(batch_path.value()),
      options);
  ASSERT_TRUE(run.IsValid());
  ASSERT_TRUE(run.WaitForExitWithTimeout(60 * 1000, nullptr));

  EXPECT_TRUE(base::PathExists(elsewhere.Append(L"47.0\\a.dll")));
  EXPECT_TRUE(base::PathExists(batch_path));
}

}  // namespace
}  // namespace installer
