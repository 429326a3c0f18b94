#include "crash_reporting/crash_client.h"

#include "base/debug/crash_logging.h"
#include "base/environment.h"
#include "base/strings/string_number_conversions.h"
#include "crash/crash_generation_server.h"
#include "crash_reporting/crash_reporter_names.h"
#include "crash_reporting/installer_crash_keys.h"
#include "gtest/gtest.h"
#include "product_config/product_config.h"

namespace crash_reporting {
namespace {

class CrashClientTest : public testing::Test {
 protected:
  void TearDown() override {
    ResetCrashClientForTesting();
    auto environment = base::Environment::Create();
    environment->UnSetVar(kCrashReporterVlautoTestVar);
    environment->UnSetVar(kCrashOriginVar);
  }
};

TEST_F(CrashClientTest, NegativeBuildNumberStartsNothing) {
  base::CommandLine command_line(base::FilePath(L"installer.exe"));
  command_line.AppendSwitchASCII("crash-reporter-pid", "1234");
  EXPECT_FALSE(StartCrashReporter(command_line, -1));
  EXPECT_EQ(0u, GetCrashReporterPid());
}

TEST_F(CrashClientTest, GivenReporterIsJoinedOverItsPipe) {
  // A server in this process stands for reporter 1234's pipe.
  crash::CrashGenerationServer server(L"\\\\.\\pipe\\VeltoCrashReporter1234",
                                      [](const crash::ClientInfo&) { return true; });
  ASSERT_TRUE(server.Start());
  base::CommandLine command_line(base::FilePath(L"installer.exe"));
  command_line.AppendSwitchASCII("crash-reporter-pid", "1234");
  ASSERT_TRUE(StartCrashReporter(command_line, 5));
  EXPECT_EQ(1234u, GetCrashReporterPid());
  InitCrashClient();
  EXPECT_TRUE(IsCrashClientConnected());
  ResetCrashClientForTesting();
}

TEST_F(CrashClientTest, UnreachableReporterLeavesNoHandler) {
  base::CommandLine command_line(base::FilePath(L"installer.exe"));
  command_line.AppendSwitchASCII("crash-reporter-pid", "4000000000");
  ASSERT_TRUE(StartCrashReporter(command_line, 5));
  InitCrashClient();
  EXPECT_FALSE(IsCrashClientConnected());
}

TEST_F(CrashClientTest, ReporterThatEndsWithoutSignallingGivesNoId) {
  // cmd.exe ignores the appended switch and ends at once.
  base::CommandLine command_line =
      base::CommandLine::FromString(L"cmd.exe /c exit 0");
  EXPECT_EQ(0u, LaunchCrashReporter(command_line, kReporterStartTimeoutMs));
}

TEST_F(CrashClientTest, ReporterThatDoesNotAnswerInTimeGivesNoId) {
  // Lives well beyond the time-out without signalling.
  base::CommandLine command_line =
      base::CommandLine::FromString(L"cmd.exe /c ping -n 5 127.0.0.1");
  ULONGLONG start = GetTickCount64();
  EXPECT_EQ(0u, LaunchCrashReporter(command_line, 300));
  EXPECT_LT(GetTickCount64() - start, 4000u);
}

TEST_F(CrashClientTest, OnlySettableKeysAreStored) {
  SetInstallerCrashKeys();
  SetInstallerCrashKey("URL", "whole");
  EXPECT_EQ("", GetInstallerCrashKeysStore()->Get("URL"));
  // Through the base library a long key is stored in its chunks.
  base::debug::SetCrashKeyValue("URL", std::string(70, 'u'));
  EXPECT_EQ(std::string(63, 'u'), GetInstallerCrashKeysStore()->Get("URL-1"));
  EXPECT_EQ("uuuuuuu", GetInstallerCrashKeysStore()->Get("URL-2"));
  base::debug::SetCrashKeyValue("URL", "short");
  EXPECT_EQ("short", GetInstallerCrashKeysStore()->Get("URL-1"));
  EXPECT_EQ("", GetInstallerCrashKeysStore()->Get("URL-2"));
}

TEST_F(CrashClientTest, InstallerKeysAreSet) {
  SetInstallerCrashKeys();
  InstallerCrashKeys* keys = GetInstallerCrashKeysStore();
  EXPECT_EQ(14u, keys->Get("BuildID").size());
  EXPECT_EQ("quenn", keys->Get("ReleaseChannel"));
  EXPECT_EQ("browser-syms", keys->Get("symbols-package"));
  EXPECT_EQ(base::NumberToString(installer::GetUniqueBuildNumber()), keys->Get("UBN"));
  EXPECT_EQ("0", keys->Get("is_wow64"));
  EXPECT_EQ("", keys->Get("Origin"));
}

TEST_F(CrashClientTest, VlautoTestWinsOverOrigin) {
  auto environment = base::Environment::Create();
  environment->SetVar(kCrashReporterVlautoTestVar, "suite-7");
  environment->SetVar(kCrashOriginVar, "elsewhere");
  SetInstallerCrashKeys();
  EXPECT_EQ("VlAuto", GetInstallerCrashKeysStore()->Get("Origin"));
  EXPECT_EQ("suite-7", GetInstallerCrashKeysStore()->Get("vlauto_test-1"));
}

TEST_F(CrashClientTest, OriginFromTheEnvironment) {
  base::Environment::Create()->SetVar(kCrashOriginVar, "elsewhere");
  SetInstallerCrashKeys();
  EXPECT_EQ("elsewhere", GetInstallerCrashKeysStore()->Get("Origin"));
}

// Ends a hung death-test child with a code of its own.
DWORD WINAPI EndHungChild(void*) {
  Sleep(30000);
  TerminateProcess(GetCurrentProcess(), 0x4B1D);
  return 0;
}

void FaultAgainInTheFilter() {
  CloseHandle(CreateThread(nullptr, 0, &EndHungChild, nullptr, 0, nullptr));
  CONTEXT context = {};
  EXCEPTION_RECORD first = {};
  first.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
  EXCEPTION_POINTERS first_pointers = {&first, &context};
  if (!InstallerCrashFilter(nullptr, &first_pointers, nullptr))
    TerminateProcess(GetCurrentProcess(), 2);
  // Dumping that crash faults on the same thread: the dump can never be
  // finished, and the process ends with the first crash's code.
  EXCEPTION_RECORD second = {};
  second.ExceptionCode = EXCEPTION_INT_DIVIDE_BY_ZERO;
  EXCEPTION_POINTERS second_pointers = {&second, &context};
  InstallerCrashFilter(nullptr, &second_pointers, nullptr);
  TerminateProcess(GetCurrentProcess(), 3);
}

TEST(CrashClientDeathTest, ACrashingThreadThatFaultsAgainInTheFilterEndsTheProcess) {
  EXPECT_EXIT(FaultAgainInTheFilter(),
              testing::ExitedWithCode(static_cast<int>(EXCEPTION_ACCESS_VIOLATION)), "");
}

}  // namespace
}  // namespace crash_reporting
