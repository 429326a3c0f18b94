#include "crash_reporting/crash_dump_writer.h"

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/strings/string_number_conversions.h"
#include "gtest/gtest.h"
#include "product_config/product_config.h"

namespace crash_reporting {
namespace {

// The streams of a minidump by type.
std::map<uint32_t, std::string> ReadStreams(const std::string& dump) {
  std::map<uint32_t, std::string> streams;
  if (dump.size() < 32 || dump.compare(0, 4, "MDMP") != 0)
    return streams;
  uint32_t count = *reinterpret_cast<const uint32_t*>(dump.data() + 8);
  uint32_t directory = *reinterpret_cast<const uint32_t*>(dump.data() + 12);
  for (uint32_t i = 0; i < count && directory + 12 * (i + 1) <= dump.size(); ++i) {
    const uint32_t* entry = reinterpret_cast<const uint32_t*>(dump.data() + directory + 12 * i);
    if (entry[2] + entry[1] <= dump.size())
      streams[entry[0]] = dump.substr(entry[2], entry[1]);
  }
  return streams;
}

// A child process stands for the crashed one: a dump of this test process
// itself would be large and slow under emulation.
bool StartSuspendedChild(PROCESS_INFORMATION* child) {
  wchar_t command[] = L"cmd.exe /c pause";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  return CreateProcessW(nullptr, command, nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &startup, child);
}

TEST(CrashDumpWriterTest, HandoffBlockHasTheDocumentedLayout) {
  EXPECT_EQ(784u, offsetof(CrashHandoffInfo, assertion) + offsetof(crash::AssertionInfo, line));
  EXPECT_EQ(788u, offsetof(CrashHandoffInfo, assertion) + offsetof(crash::AssertionInfo, type));
  EXPECT_EQ(272u,
            offsetof(CrashHandoffInfo, assertion) + offsetof(crash::AssertionInfo, function));
}

TEST(CrashDumpWriterTest, WritesTheProductStreamsAndKeepsNoOversizedDump) {
  base::ScopedTempDir folder;
  ASSERT_TRUE(folder.CreateUniqueTempDir());
  PROCESS_INFORMATION child = {};
  ASSERT_TRUE(StartSuspendedChild(&child));
  CrashHandoffInfo info = {};
  info.thread_id = child.dwThreadId;
  info.assertion.type = crash::kAssertionInvalidParameter;
  info.assertion.line = 77;

  base::FilePath dump = folder.GetPath().AppendASCII("child.dmp");
  EXPECT_TRUE(WriteCrashDump(child.hProcess, child.dwProcessId, info, dump, kServerDumpSizeLimit));
  std::string contents;
  ASSERT_TRUE(base::ReadFileToString(dump, &contents));
  std::map<uint32_t, std::string> streams = ReadStreams(contents);
  EXPECT_EQ(installer::GetVersion() + " " +
                base::NumberToString(installer::GetUniqueBuildNumber()),
            streams[kVersionStreamType]);
  ASSERT_EQ(sizeof(crash::AssertionInfo), streams[kAssertionStreamType].size());
  EXPECT_EQ(77u, reinterpret_cast<const crash::AssertionInfo*>(
                     streams[kAssertionStreamType].data())->line);

  // No dump type fits one byte: nothing is kept, an older file neither.
  EXPECT_FALSE(WriteCrashDump(child.hProcess, child.dwProcessId, info, dump, 1));
  EXPECT_FALSE(base::PathExists(dump));

  TerminateProcess(child.hProcess, 0);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
}

// A crashed reporter stops waiting for its one-crash reporter after a while
// and ends; what is dumped of it after that is not its crash.
TEST(CrashDumpWriterTest, KeepsNoDumpOfAProcessThatEndedMeanwhile) {
  base::ScopedTempDir folder;
  ASSERT_TRUE(folder.CreateUniqueTempDir());
  PROCESS_INFORMATION child = {};
  ASSERT_TRUE(StartSuspendedChild(&child));
  ASSERT_TRUE(TerminateProcess(child.hProcess, 0));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child.hProcess, INFINITE));
  CrashHandoffInfo info = {};
  info.thread_id = child.dwThreadId;

  base::FilePath dump = folder.GetPath().AppendASCII("ended.dmp");
  EXPECT_FALSE(WriteCrashDump(child.hProcess, child.dwProcessId, info, dump,
                              kServerDumpSizeLimit));
  EXPECT_FALSE(base::PathExists(dump));

  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
}

}  // namespace
}  // namespace crash_reporting
