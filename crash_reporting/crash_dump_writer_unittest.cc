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

// A dump writer that writes |size| bytes for each type asked of it, or fails
// with |error| where that is not 0.
struct FakeDump {
  size_t size;
  DWORD error;
};
std::map<MINIDUMP_TYPE, FakeDump> g_fake_dumps;
std::vector<MINIDUMP_TYPE> g_types_asked;

BOOL WINAPI FakeWriteDump(HANDLE, DWORD, HANDLE file, MINIDUMP_TYPE type,
                          PMINIDUMP_EXCEPTION_INFORMATION, PMINIDUMP_USER_STREAM_INFORMATION,
                          PMINIDUMP_CALLBACK_INFORMATION) {
  g_types_asked.push_back(type);
  const FakeDump& dump = g_fake_dumps[type];
  if (dump.error) {
    SetLastError(dump.error);
    return FALSE;
  }
  std::string contents = "MDMP" + std::string(dump.size - 4, static_cast<char>('0' + type % 10));
  DWORD written = 0;
  return WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
}

class CrashDumpTypeTest : public testing::Test {
 protected:
  static constexpr auto kFullType = static_cast<MINIDUMP_TYPE>(0x60);

  void SetUp() override {
    ASSERT_TRUE(folder_.CreateUniqueTempDir());
    dump_ = folder_.GetPath().AppendASCII("typed.dmp");
    g_fake_dumps.clear();
    g_types_asked.clear();
  }

  bool Write() {
    return WriteCrashDump(GetCurrentProcess(), GetCurrentProcessId(), CrashHandoffInfo(), dump_,
                          1000, &FakeWriteDump);
  }

  int64_t DumpSize() {
    int64_t size = -1;
    base::GetFileSize(dump_, &size);
    return size;
  }

  base::ScopedTempDir folder_;
  base::FilePath dump_;
};

TEST_F(CrashDumpTypeTest, AFullDumpThatFitsIsKept) {
  g_fake_dumps[kFullType] = {1000, 0};
  EXPECT_TRUE(Write());
  EXPECT_EQ((std::vector<MINIDUMP_TYPE>{kFullType}), g_types_asked);
  EXPECT_EQ(1000, DumpSize());
}

TEST_F(CrashDumpTypeTest, ATooLargeFullDumpIsReplacedByANormalOne) {
  g_fake_dumps[kFullType] = {1001, 0};
  g_fake_dumps[MiniDumpNormal] = {600, 0};
  EXPECT_TRUE(Write());
  EXPECT_EQ((std::vector<MINIDUMP_TYPE>{kFullType, MiniDumpNormal}), g_types_asked);
  // Nothing of the larger dump is left at the end of the file.
  std::string dump;
  ASSERT_TRUE(base::ReadFileToString(dump_, &dump));
  EXPECT_EQ("MDMP" + std::string(596, '0'), dump);
}

TEST_F(CrashDumpTypeTest, AFullDumpRefusedAsAnInvalidArgumentFallsBackToANormalOne) {
  g_fake_dumps[kFullType] = {0, 0x80070057};
  g_fake_dumps[MiniDumpNormal] = {600, 0};
  EXPECT_TRUE(Write());
  EXPECT_EQ((std::vector<MINIDUMP_TYPE>{kFullType, MiniDumpNormal}), g_types_asked);
  EXPECT_EQ(600, DumpSize());
}

TEST_F(CrashDumpTypeTest, AnyOtherFailureEndsTheDumpWithoutAFile) {
  g_fake_dumps[kFullType] = {0, ERROR_ACCESS_DENIED};
  g_fake_dumps[MiniDumpNormal] = {600, 0};
  EXPECT_FALSE(Write());
  EXPECT_EQ((std::vector<MINIDUMP_TYPE>{kFullType}), g_types_asked);
  EXPECT_FALSE(base::PathExists(dump_));
}

}  // namespace
}  // namespace crash_reporting
