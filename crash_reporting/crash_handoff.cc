#include "crash_reporting/crash_handoff.h"

#include "base/command_line.h"
#include "base/strings/string_number_conversions.h"
#include "crash/crash_claim.h"
#include "crash/crash_hooks.h"
#include "crash_reporting/crash_reporter_names.h"
#include "desktop/windows/installer/installer_switches.h"

namespace crash_reporting {

namespace {

bool g_filters_installed = false;
bool g_prepared = false;
std::wstring g_command_line;
HANDLE g_handoff_event = nullptr;
crash::CrashClaim g_crash_claim;
CrashHandoffInfo g_handoff_info = {};

}  // namespace

void InstallExceptionFilters() {
  if (g_filters_installed)
    return;
  g_filters_installed = true;
  crash::InstallCrashHooks(&ReporterCrashHook);
}

void PrepareExceptionHandoff() {
  wchar_t path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return;
  PrepareExceptionHandoff(base::FilePath(std::wstring(path, length)));
}

void PrepareExceptionHandoff(const base::FilePath& reporter_program) {
  if (g_prepared)
    return;
  DWORD own_id = GetCurrentProcessId();
  g_handoff_event =
      CreateEventW(nullptr, TRUE, FALSE, FormatObjectName(kHandoffEventBaseName, own_id).c_str());
  if (!g_handoff_event)
    return;
  base::CommandLine command_line(reporter_program);
  command_line.AppendSwitchASCII(
      installer::switches::kCrashReporterExceptionInfo,
      base::NumberToString(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&g_handoff_info))));
  command_line.AppendSwitchASCII(installer::switches::kCrashReporterParentId,
                                 base::NumberToString(own_id));
  g_command_line = command_line.GetCommandLineString();
  g_prepared = true;
}

bool ReporterCrashHook(EXCEPTION_POINTERS* exception_pointers,
                       const crash::AssertionInfo* assertion) {
  if (!g_crash_claim.Claim(exception_pointers->ExceptionRecord->ExceptionCode)) {
    for (;;)
      SuspendThread(GetCurrentThread());
  }
  if (g_prepared) {
    g_handoff_info.thread_id = GetCurrentThreadId();
    g_handoff_info.exception_pointers =
        static_cast<uint64_t>(reinterpret_cast<uintptr_t>(exception_pointers));
    if (assertion)
      g_handoff_info.assertion = *assertion;
    else
      g_handoff_info.assertion.type = crash::kAssertionException;
    LaunchHandoffReporter();
  }
  return true;
}

void LaunchHandoffReporter() {
  std::wstring command = g_command_line;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     &startup, &info)) {
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
  if (g_handoff_event)
    WaitForSingleObject(g_handoff_event, kHandoffTimeoutMs);
  else
    Sleep(kHandoffTimeoutMs);
}

}  // namespace crash_reporting
