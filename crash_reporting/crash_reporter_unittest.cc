#include "crash_reporting/crash_reporter.h"

#include <atomic>
#include <thread>

#include "base/environment.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/logging.h"
#include "base/test/test_environment.h"
#include "base/test/unix_link.h"
#include "crash/crash_generation_client.h"
#include "crash/crash_keys_win.h"
#include "crash_reporting/crash_reporter_names.h"
#include "crash_reporting/crash_upload.h"
#include "crash_reporting/reporter_activity.h"
#include "gtest/gtest.h"

namespace crash_reporting {
namespace {

std::atomic<int> g_uploads{0};

// A collector that takes a while to answer.
class SlowTransport : public net::HttpTransport {
 public:
  bool ExecuteSynchronously(std::string*) override {
    Sleep(300);
    ++g_uploads;
    return true;
  }
};

std::unique_ptr<net::HttpTransport> MakeSlowTransport() {
  return std::make_unique<SlowTransport>();
}

class ScopedEvent {
 public:
  ScopedEvent() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  void Signal() { SetEvent(event_.Get()); }
  void Wait() { WaitForSingleObject(event_.Get(), INFINITE); }

 private:
  base::win::ScopedHandle event_;
};

// A child that crashes just as its parent ends: its dump request reaches the
// reporter after the parent's end left it idle, while it stops its server.
TEST(CrashReporterTest, AnUploadQueuedWhileTheServerStopsIsFinishedBeforeTheEnd) {
  base::ScopedTempDir folder;
  ASSERT_TRUE(folder.CreateUniqueTempDir());
  base::FilePath dump = folder.GetPath().AppendASCII("velto-crashlog-1-1.dmp");
  ASSERT_TRUE(base::WriteFile(dump, "MDMP"));
  ASSERT_TRUE(InitReporterActivity());
  SetHttpTransportFactoryForTesting(&MakeSlowTransport);
  g_uploads = 0;

  ScopedEvent request_arrived, stopping, go_on;
  const std::wstring pipe_name = L"\\\\.\\pipe\\" + base::test::UniqueName(L"reporter_end");
  crash::CrashGenerationServer server(pipe_name, [&](const crash::ClientInfo&) {
    request_arrived.Signal();
    go_on.Wait();
    return UploadCrashReportAsync(dump, Annotations(), true);
  });
  ASSERT_TRUE(server.Start());
  crash::CrashKeysWin keys;
  keys.GetCustomInfo({{L"ptype", L"installer"}});
  crash::CrashGenerationClient client(pipe_name, keys.custom_info());
  ASSERT_TRUE(client.Register());
  std::thread child([&client] { client.RequestDump(nullptr, 1, nullptr, 30000); });
  request_arrived.Wait();

  std::thread reporter([&] {
    stopping.Signal();
    StopCrashServerWhenIdle(server);
  });
  stopping.Wait();
  go_on.Signal();
  reporter.join();
  EXPECT_EQ(1, g_uploads.load());
  EXPECT_FALSE(base::PathExists(dump));

  child.join();
  SetHttpTransportFactoryForTesting(nullptr);
}

TEST(CrashReporterTest, KeepLogsTakesOneYesOrTrueInAnyCaseAndNothingElse) {
  auto environment = base::Environment::Create();
  environment->UnSetVar("VELTO_CRASH_KEEP_LOGS");
  EXPECT_FALSE(ReadKeepLogsFlag());
  for (const char* on : {"1", "yes", "YES", "yEs", "true", "TRUE", "True"}) {
    environment->SetVar("VELTO_CRASH_KEEP_LOGS", on);
    EXPECT_TRUE(ReadKeepLogsFlag()) << on;
  }
  for (const char* off : {"", "0", "2", "01", "no", "false", "y", "on", " yes", "yes ", "truee"}) {
    environment->SetVar("VELTO_CRASH_KEEP_LOGS", off);
    EXPECT_FALSE(ReadKeepLogsFlag()) << off;
  }
  environment->UnSetVar("VELTO_CRASH_KEEP_LOGS");
}

// Every test process here is elevated (Wine's user is an elevated
// administrator); the temporary folder is the test's own.
TEST(CrashReporterTest, ElevatedReporterAppendsToItsLogButNotThroughALink) {
  base::FilePath temp;
  ASSERT_TRUE(base::GetTempDir(&temp));
  const base::FilePath log = temp.Append(L"velto_crashreporter.log");
  ASSERT_TRUE(base::WriteFile(log, "earlier reporter\n"));
  InitReporterLogging();
  LOG(ERROR) << "plain entry";
  logging::CloseLogFile();
  std::string text;
  ASSERT_TRUE(base::ReadFileToString(log, &text));
  EXPECT_EQ(0u, text.find("earlier reporter\n"));
  EXPECT_NE(std::string::npos, text.find("plain entry"));

  ASSERT_TRUE(base::DeleteFile(log));
  const base::FilePath elsewhere = temp.Append(L"elsewhere");
  ASSERT_TRUE(base::CreateDirectory(elsewhere));
  const base::FilePath victim = elsewhere.Append(L"victim.txt");
  ASSERT_TRUE(base::WriteFile(victim, "someone else's\n"));
  ASSERT_TRUE(base::test::MakeUnixLink(victim, log));
  InitReporterLogging();
  LOG(ERROR) << "linked entry";
  logging::CloseLogFile();
  ASSERT_TRUE(base::ReadFileToString(victim, &text));
  EXPECT_EQ("someone else's\n", text);
}

}  // namespace
}  // namespace crash_reporting
