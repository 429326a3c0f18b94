#include "desktop/windows/installer/wininet/file_response_writer.h"
#include "desktop/windows/installer/wininet/response_writer.h"
#include "desktop/windows/installer/wininet/string_response_writer.h"

#include <string>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

base::FilePath ScratchFile(const wchar_t* name) {
  return base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(name));
}

TEST(ResponseWriterTest, PlainWriterDropsEverything) {
  ResponseWriter writer;
  EXPECT_TRUE(writer.Write("abc", 3));
  EXPECT_TRUE(writer.Rewind());
  writer.Finish();
  EXPECT_EQ(0u, writer.last_error());
}

TEST(ResponseWriterTest, StringWriterStartsEmptyAndAppends) {
  std::string reply = "left over";
  StringResponseWriter writer(&reply);
  EXPECT_EQ("", reply);
  EXPECT_TRUE(writer.Write("ab", 2));
  EXPECT_TRUE(writer.Write("cd", 2));
  EXPECT_EQ("abcd", reply);
  EXPECT_TRUE(writer.Rewind());
  EXPECT_EQ("", reply);
}

TEST(ResponseWriterTest, StringWriterIsBounded) {
  std::string reply;
  StringResponseWriter writer(&reply, 5);
  EXPECT_TRUE(writer.Write("abcd", 4));
  EXPECT_FALSE(writer.Write("ef", 2));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_TOO_LARGE), writer.last_error());
  EXPECT_EQ("abcd", reply);
  EXPECT_TRUE(writer.Write("e", 1));
  EXPECT_EQ("abcde", reply);
}

TEST(ResponseWriterTest, FileWriterWritesRewindsAndCloses) {
  base::FilePath path = ScratchFile(L"writer");
  ASSERT_TRUE(base::WriteFile(path, "old content, longer than the new"));
  FileResponseWriter writer;
  ASSERT_TRUE(writer.Open(path));
  EXPECT_TRUE(writer.Write("first", 5));
  EXPECT_TRUE(writer.Rewind());
  EXPECT_TRUE(writer.Write("second", 6));
  writer.Finish();
  std::string content;
  ASSERT_TRUE(base::ReadFileToString(path, &content));
  EXPECT_EQ("second", content);
  // Closed: the file can be deleted while the writer still exists.
  EXPECT_TRUE(base::DeleteFile(path));
}

TEST(ResponseWriterTest, FailedFileWriteKeepsTheSystemError) {
  FileResponseWriter writer;
  EXPECT_FALSE(writer.Open(ScratchFile(L"missing").Append(L"sub").Append(L"file")));
  EXPECT_FALSE(writer.Write("x", 1));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), writer.last_error());
}

}  // namespace
}  // namespace installer
