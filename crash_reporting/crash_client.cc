#include "crash_reporting/crash_client.h"

#include <windows.h>

#include <memory>

#include "base/debug/crash_logging.h"
#include "base/environment.h"
#include "base/files/file_path.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_handle.h"
#include "base/win/wrapped_window_proc.h"
#include "crash/crash_claim.h"
#include "crash/crash_hooks.h"
#include "crash/exception_handler.h"
#include "crash_reporting/crash_reporter_names.h"
#include "crash_reporting/installer_crash_keys.h"
#include "crash_reporting/installer_crash_reporter_client.h"
#include "desktop/windows/installer/installer_switches.h"
#include "product_config/product_config.h"

namespace crash_reporting {

namespace {

using GetPolicyFunction = BOOL(WINAPI*)(DWORD*);
using SetPolicyFunction = BOOL(WINAPI*)(DWORD);

DWORD g_reporter_pid = 0;
crash::ExceptionHandler* g_handler = nullptr;
InstallerCrashKeys* g_crash_keys = nullptr;
crash::CrashClaim g_crash_claim;

bool ReadExceptionPolicy(DWORD* policy) {
  HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  auto get = reinterpret_cast<GetPolicyFunction>(
      GetProcAddress(kernel32, "GetProcessUserModeExceptionPolicy"));
  return get && get(policy);
}

void SetKeyFunction(std::string_view key, std::string_view value) {
  SetInstallerCrashKey(key, value);
}

void ClearKeyFunction(std::string_view key) {
  ClearInstallerCrashKey(key);
}

// Without a reporter a crash is not dumped, but it still ends the process at
// once with its exception code rather than waiting on the system's handling.
bool EndWithoutDump(EXCEPTION_POINTERS*, const crash::AssertionInfo*) {
  return true;
}

void InstallFallbackCrashHandling() {
  if (g_handler)
    return;
  crash::InstallCrashHooks(&EndWithoutDump);
  // A crash in a window procedure would otherwise be swallowed by the
  // message dispatch: it ends the process all the same.
  base::win::SetWinProcExceptionFilter(&WriteDumpAndTerminate);
}

}  // namespace

void ClearUserModeExceptionPolicy() {
  HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  auto set = reinterpret_cast<SetPolicyFunction>(
      GetProcAddress(kernel32, "SetProcessUserModeExceptionPolicy"));
  DWORD policy = 0;
  if (set && ReadExceptionPolicy(&policy))
    set(policy & ~1u);
}

bool StartCrashReporter(const base::CommandLine& command_line, int unique_build_number) {
  if (unique_build_number < 0) {
    InstallFallbackCrashHandling();
    return false;
  }
  unsigned int id = 0;
  if (command_line.HasSwitch(installer::switches::kCrashReporterPid) &&
      base::StringToUint(command_line.GetSwitchValueASCII(installer::switches::kCrashReporterPid),
                         &id)) {
    g_reporter_pid = id;
  } else {
    g_reporter_pid = LaunchCrashReporter(command_line, kReporterStartTimeoutMs);
  }
  if (g_reporter_pid == 0)
    InstallFallbackCrashHandling();
  return g_reporter_pid != 0;
}

bool StartCrashReporter() {
  return StartCrashReporter(*base::CommandLine::ForCurrentProcess(),
                            installer::GetUniqueBuildNumber());
}

DWORD LaunchCrashReporter(const base::CommandLine& command_line, DWORD timeout_ms) {
  DWORD own_id = GetCurrentProcessId();
  base::CommandLine reporter_command_line(command_line);
  reporter_command_line.AppendSwitchASCII(installer::switches::kCrashReporterParentId,
                                          base::NumberToString(own_id));
  base::win::ScopedHandle init_event(
      CreateEventW(nullptr, TRUE, FALSE, FormatObjectName(kInitEventBaseName, own_id).c_str()));
  if (!init_event.IsValid())
    return 0;
  std::wstring command = reporter_command_line.GetCommandLineString();
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return 0;
  }
  base::win::ScopedHandle process(info.hProcess);
  base::win::ScopedHandle thread(info.hThread);
  HANDLE handles[] = {init_event.Get(), process.Get()};
  // The event wins a tie: a reporter that signalled and then ended still served.
  DWORD wait = WaitForMultipleObjects(2, handles, FALSE, timeout_ms);
  return wait == WAIT_OBJECT_0 ? info.dwProcessId : 0;
}

void InitCrashClient() {
  if (g_handler || g_reporter_pid == 0)
    return;
  InstallerCrashKeys* keys = GetInstallerCrashKeysStore();
  auto handler = std::make_unique<crash::ExceptionHandler>(
      FormatObjectName(kPipeBaseName, g_reporter_pid), &InstallerCrashFilter,
      &InstallerMinidumpCallback, nullptr, keys->custom_info());
  if (!handler->IsOutOfProcess()) {
    handler.reset();
    InstallFallbackCrashHandling();
    return;
  }
  handler->set_handle_debug_exceptions(true);
  g_handler = handler.release();
  base::win::SetWinProcExceptionFilter(&WriteDumpAndTerminate);
}

bool IsCrashClientConnected() {
  return g_handler != nullptr;
}

InstallerCrashKeys* GetInstallerCrashKeysStore() {
  if (!g_crash_keys) {
    g_crash_keys =
        new InstallerCrashKeys(kInstallerProcessType, InstallerCrashReporterClient::GetInstance());
  }
  return g_crash_keys;
}

void SetInstallerCrashKeys() {
  GetInstallerCrashKeysStore();
  base::debug::SetCrashKeyReportingFunctions(&SetKeyFunction, &ClearKeyFunction);
  InstallerCrashReporterClient::GetInstance()->RegisterCrashKeys();

  using base::debug::SetCrashKeyValue;
  SetCrashKeyValue("BuildID",
                   BuildIdValue(installer::GetBuildStamp(), installer::GetBuildIdNumber()));
  SetCrashKeyValue("ReleaseChannel", ReleaseChannelValue(installer::GetChannelNumber(),
                                                         installer::GetStreamName()));
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  SetCrashKeyValue("symbols-package", SymbolsPackageValue(base::FilePath(program)));
  SetCrashKeyValue("UBN", base::NumberToString(installer::GetUniqueBuildNumber()));
  DWORD policy = 0;
  SetCrashKeyValue("exception_policy",
                   ReadExceptionPolicy(&policy) ? base::StringPrintf("0x%04x", static_cast<unsigned>(policy)) : "");
  BOOL wow64 = FALSE;
  SetCrashKeyValue("is_wow64",
                   IsWow64Process(GetCurrentProcess(), &wow64) ? (wow64 ? "1" : "0") : "");
  std::unique_ptr<base::Environment> environment = base::Environment::Create();
  std::string value;
  if (environment->GetVar(GetProductEnvVarName(kCrashEmailVarName), &value) && !value.empty())
    SetCrashKeyValue("Email", value);
  if (environment->GetVar(kCrashReporterVlautoTestVar, &value) && !value.empty()) {
    SetCrashKeyValue("vlauto_test", value);
    SetCrashKeyValue("Origin", "VlAuto");
  } else if (environment->GetVar(kCrashOriginVar, &value) && !value.empty()) {
    SetCrashKeyValue("Origin", value);
  }
}

void SetInstallerCrashKey(std::string_view key, std::string_view value) {
  GetInstallerCrashKeysStore()->Set(std::string(key), std::string(value));
}

void ClearInstallerCrashKey(std::string_view key) {
  GetInstallerCrashKeysStore()->Clear(std::string(key));
}

DWORD GetCrashReporterPid() {
  return g_reporter_pid;
}

bool InstallerCrashFilter(void* context, EXCEPTION_POINTERS* exception_pointers,
                          const crash::AssertionInfo* assertion) {
  if (g_crash_claim.Claim(exception_pointers->ExceptionRecord->ExceptionCode))
    return true;
  for (;;)
    Sleep(INFINITE);
}

bool InstallerMinidumpCallback(void* context, EXCEPTION_POINTERS* exception_pointers,
                               const crash::AssertionInfo* assertion, bool succeeded) {
  return true;
}

int WriteDumpAndTerminate(EXCEPTION_POINTERS* exception_pointers) {
  if (g_handler)
    g_handler->WriteMinidumpForException(exception_pointers);
  // The dump carries the exception; the exit code only says the run failed.
  crash::TerminateWithExceptionCode(1);
}

void ResetCrashClientForTesting() {
  crash::UninstallCrashHooks();
  delete g_handler;
  g_handler = nullptr;
  g_reporter_pid = 0;
  delete g_crash_keys;
  g_crash_keys = nullptr;
  g_crash_claim.ResetForTesting();
  base::debug::ResetCrashLoggingForTesting();
  base::win::SetWinProcExceptionFilter(nullptr);
}

}  // namespace crash_reporting
