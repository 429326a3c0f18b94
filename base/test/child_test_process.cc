#include "base/test/child_test_process.h"

#include "base/command_line.h"
#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/test_environment.h"

namespace base::test {

namespace {
constexpr char kChildTestSwitch[] = "child-test";
}  // namespace

bool IsChildTestProcess() {
  return CommandLine::FromString(GetCommandLineW()).HasSwitch(kChildTestSwitch);
}

testing::AssertionResult RunTestInChildProcess(const std::string& name, DWORD limit_ms) {
  wchar_t exe[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return testing::AssertionFailure() << "this executable's path is unknown";
  const FilePath report =
      FilePath(ScratchFolder()).Append(UniqueName(L"child_test") + L".xml");
  CommandLine child(FilePath(std::wstring(exe, length)));
  child.AppendSwitchASCII("gtest_filter", name);
  child.AppendSwitchNative("gtest_output", L"xml:" + report.value());
  child.AppendSwitch(kChildTestSwitch);
  Process process = LaunchProcess(child.GetCommandLineString(), LaunchOptions());
  if (!process.IsValid())
    return testing::AssertionFailure() << "the child process of " << name << " did not start";
  int exit_code = -1;
  if (!process.WaitForExitWithTimeout(limit_ms, &exit_code)) {
    process.Terminate(1, true);
    return testing::AssertionFailure()
           << name << " did not end within " << limit_ms << " ms in its child process";
  }
  std::string xml;
  ReadFileToString(report, &xml);
  DeleteFile(report);
  if (exit_code != 0)
    return testing::AssertionFailure() << name << " failed in its child process: exit code "
                                       << exit_code;
  // One test selected: one test case in the report, run to its end.
  if (xml.find("<testcase ") == std::string::npos ||
      xml.find("result=\"completed\"") == std::string::npos) {
    return testing::AssertionFailure() << name << " did not run in its child process";
  }
  return testing::AssertionSuccess();
}

}  // namespace base::test
