#include "base/logging.h"

#include <windows.h>

#include <string>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "base/test/unix_link.h"
#include "base/win/scoped_handle.h"
#include "gtest/gtest.h"

namespace logging {
namespace {

using namespace std::string_view_literals;

TEST(UntrustedTextTest, ControlCharactersCannotStartALine) {
  EXPECT_EQ("a\\x0D\\x0A[1:2:0101/000000.000:INFO] forged\\x00\\x7F b",
            UntrustedText("a\r\n[1:2:0101/000000.000:INFO] forged\0\x7f b"sv));
  EXPECT_EQ("C:\\Velto \xC3\xA9t\xC3\xA9", UntrustedText("C:\\Velto \xC3\xA9t\xC3\xA9"));
}

TEST(UntrustedTextTest, LongTextIsCutAtACharacterBoundary) {
  // Two-byte characters: the limit falls in the middle of one.
  std::string text = "x";
  while (text.size() < kMaxUntrustedTextLength * 3)
    text += "\xC3\xA9";
  const std::string logged = UntrustedText(text);
  const std::string tail = "... (" + std::to_string(text.size()) + " bytes)";
  ASSERT_GT(logged.size(), tail.size());
  EXPECT_EQ(tail, logged.substr(logged.size() - tail.size()));
  const std::string kept = logged.substr(0, logged.size() - tail.size());
  EXPECT_EQ(kMaxUntrustedTextLength - 1, kept.size());
  EXPECT_EQ(0, text.compare(0, kept.size(), kept));
}

class FreshLogFileTest : public testing::Test {
 protected:
  void SetUp() override {
    path_ = base::FilePath(base::test::ScratchFolder())
                .Append(base::test::UniqueName(L"fresh") + L".log");
  }
  void TearDown() override {
    CloseLogFile();
    base::DeleteFile(path_);
  }

  bool StartFresh() {
    LoggingSettings settings;
    settings.log_file_path = path_;
    settings.delete_old = DELETE_OLD_LOG_FILE;
    return InitLogging(settings);
  }

  base::FilePath path_;
};

TEST_F(FreshLogFileTest, LeftoverOfTheSameNameIsReplaced) {
  ASSERT_TRUE(base::WriteFile(path_, "old run\n"));
  ASSERT_TRUE(StartFresh());
  LOG(INFO) << "new run";
  std::string text;
  ASSERT_TRUE(base::ReadFileToString(path_, &text));
  EXPECT_EQ(std::string::npos, text.find("old run"));
  EXPECT_NE(std::string::npos, text.find("new run"));
}

TEST_F(FreshLogFileTest, FileAnotherWriterHoldsIsNeitherDeletedNorShared) {
  // Another installer's log: open for appending, as that installer holds it.
  ASSERT_TRUE(base::WriteFile(path_, "other run\n"));
  base::win::ScopedHandle other(CreateFileW(path_.value().c_str(), FILE_APPEND_DATA,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(other.IsValid());
  EXPECT_FALSE(StartFresh());
  EXPECT_TRUE(GetLogFilePath().empty());
  std::string text;
  ASSERT_TRUE(base::ReadFileToString(path_, &text));
  EXPECT_EQ("other run\n", text);
}

TEST_F(FreshLogFileTest, OpenLogCannotBeDeletedByAnotherRun) {
  ASSERT_TRUE(StartFresh());
  EXPECT_FALSE(DeleteFileW(path_.value().c_str()));
  EXPECT_TRUE(base::PathExists(path_));
}

// An elevated process's log folder, where a program of lesser rights has put
// a link: a folder linked elsewhere, or a link at the log file's own name.
class LogFileWithoutLinksTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"links"));
    elsewhere_ = folder_.Append(L"elsewhere");
    ASSERT_TRUE(base::CreateDirectory(elsewhere_));
  }
  void TearDown() override { CloseLogFile(); }

  bool Start(const base::FilePath& path, OldFileDeletionState delete_old) {
    LoggingSettings settings;
    settings.log_file_path = path;
    settings.delete_old = delete_old;
    settings.refuse_links = true;
    return InitLogging(settings);
  }

  std::string Read(const base::FilePath& path) {
    std::string text;
    EXPECT_TRUE(base::ReadFileToString(path, &text)) << path.AsUTF8Unsafe();
    return text;
  }

  base::FilePath folder_;
  base::FilePath elsewhere_;
};

TEST_F(LogFileWithoutLinksTest, PlainFolderLogsAsBefore) {
  const base::FilePath fresh = folder_.Append(L"fresh.log");
  ASSERT_TRUE(Start(fresh, DELETE_OLD_LOG_FILE));
  EXPECT_EQ(fresh, GetLogFilePath());
  LOG(INFO) << "fresh entry";
  EXPECT_NE(std::string::npos, Read(fresh).find("fresh entry"));

  const base::FilePath appended = folder_.Append(L"appended.log");
  ASSERT_TRUE(base::WriteFile(appended, "earlier run\n"));
  ASSERT_TRUE(Start(appended, APPEND_TO_OLD_LOG_FILE));
  LOG(INFO) << "later entry";
  const std::string text = Read(appended);
  EXPECT_EQ(0u, text.find("earlier run\n"));
  EXPECT_NE(std::string::npos, text.find("later entry"));

  const base::FilePath made = folder_.Append(L"made.log");
  ASSERT_TRUE(Start(made, APPEND_TO_OLD_LOG_FILE));
  LOG(INFO) << "first entry";
  EXPECT_NE(std::string::npos, Read(made).find("first entry"));
}

TEST_F(LogFileWithoutLinksTest, NoFileIsMadeThroughALinkedFolder) {
  const base::FilePath linked = folder_.Append(L"Velto Installer");
  ASSERT_TRUE(base::test::MakeUnixLink(elsewhere_, linked));
  EXPECT_FALSE(Start(linked.Append(L"run.log"), DELETE_OLD_LOG_FILE));
  EXPECT_FALSE(Start(linked.Append(L"reporter.log"), APPEND_TO_OLD_LOG_FILE));
  EXPECT_TRUE(GetLogFilePath().empty());
  LOG(INFO) << "goes nowhere";
  EXPECT_TRUE(base::IsDirectoryEmpty(elsewhere_));
}

TEST_F(LogFileWithoutLinksTest, FileBeyondALinkedFolderIsNeitherDeletedNorWritten) {
  const base::FilePath linked = folder_.Append(L"Velto Installer");
  ASSERT_TRUE(base::test::MakeUnixLink(elsewhere_, linked));
  ASSERT_TRUE(base::WriteFile(elsewhere_.Append(L"run.log"), "someone else's\n"));
  EXPECT_FALSE(Start(linked.Append(L"run.log"), DELETE_OLD_LOG_FILE));
  EXPECT_FALSE(Start(linked.Append(L"run.log"), APPEND_TO_OLD_LOG_FILE));
  LOG(INFO) << "goes nowhere";
  EXPECT_EQ("someone else's\n", Read(elsewhere_.Append(L"run.log")));
}

TEST_F(LogFileWithoutLinksTest, LinkAtTheFileNameIsNeitherFollowedNorDeleted) {
  const base::FilePath target = elsewhere_.Append(L"victim.txt");
  ASSERT_TRUE(base::WriteFile(target, "someone else's\n"));
  const base::FilePath link = folder_.Append(L"run.log");
  ASSERT_TRUE(base::test::MakeUnixLink(target, link));
  EXPECT_FALSE(Start(link, APPEND_TO_OLD_LOG_FILE));
  EXPECT_FALSE(Start(link, DELETE_OLD_LOG_FILE));
  LOG(INFO) << "goes nowhere";
  EXPECT_EQ("someone else's\n", Read(target));
  // The link is still there: nothing deleted it by its path.
  base::FilePath real;
  ASSERT_TRUE(base::NormalizeFilePath(link, &real));
  EXPECT_TRUE(base::FilePath::CompareEqualIgnoreCase(target.value(), real.value()))
      << real.AsUTF8Unsafe();
}

// Deleting by path could go through a link: the caller picks another name.
TEST_F(LogFileWithoutLinksTest, LeftoverOfTheSameNameIsKeptAndRefused) {
  const base::FilePath leftover = folder_.Append(L"run.log");
  ASSERT_TRUE(base::WriteFile(leftover, "old run\n"));
  EXPECT_FALSE(Start(leftover, DELETE_OLD_LOG_FILE));
  EXPECT_EQ("old run\n", Read(leftover));
}

// A second name of a file the process could not otherwise reach.
TEST_F(LogFileWithoutLinksTest, FileWithASecondNameIsNotAppendedTo) {
  const base::FilePath target = elsewhere_.Append(L"victim.txt");
  ASSERT_TRUE(base::WriteFile(target, "someone else's\n"));
  const base::FilePath second = folder_.Append(L"reporter.log");
  ASSERT_TRUE(CreateHardLinkW(second.value().c_str(), target.value().c_str(), nullptr));
  EXPECT_FALSE(Start(second, APPEND_TO_OLD_LOG_FILE));
  LOG(INFO) << "goes nowhere";
  EXPECT_EQ("someone else's\n", Read(target));
}

}  // namespace
}  // namespace logging
