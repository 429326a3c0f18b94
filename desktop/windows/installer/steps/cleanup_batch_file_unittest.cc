#include "desktop/windows/installer/steps/cleanup_batch_file.h"

#include <string>

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
  EXPECT_EQ("SET PID1_RUNNING=TRUE\n"
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
      std::string expected = "SET PID1_RUNNING=TRUE\n";
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
  EXPECT_EQ("del \"C:\\Users\\u\\AppData\\Local\\Velto\\47.0\\b.dll\"\n"
            "del \"C:\\Users\\u\\AppData\\Local\\Velto\\47.0\\a.exe\"\n"
            "rmdir \"C:\\Users\\u\\AppData\\Local\\Velto\\47.0\\locales\"\n"
            "rmdir \"C:\\Users\\u\\AppData\\Local\\Velto\\47.0\"\n"
            "rmdir \"C:\\Users\\u\\AppData\\Local\\Velto\"\n"
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

TEST(CleanupBatchFileTest, PercentSignsAreNotExpandedAndTextIsUtf8) {
  CleanupBatchFile batch(kInstall);
  batch.SetProcessIds(7, 0, 0);
  EXPECT_TRUE(batch.AddFile(kInstall.Append(L"%PATH%\\\u00e6.txt")));
  EXPECT_NE(std::string::npos,
            batch.GetText().find("del \"C:\\Users\\u\\AppData\\Local\\Velto\\%%PATH%%\\\xc3\xa6.txt\"\n"));
}

}  // namespace
}  // namespace installer
