#include "base/logging.h"

#include <windows.h>

#include <string>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/test/test_environment.h"
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

}  // namespace
}  // namespace logging
