#include "crash/crash_hooks.h"

#include <csignal>
#include <cstdlib>
#include <cwchar>
#include <exception>

namespace crash {

namespace {

CrashHook g_hook = nullptr;
bool g_installed = false;
LPTOP_LEVEL_EXCEPTION_FILTER g_previous_filter = nullptr;
_invalid_parameter_handler g_previous_invalid_parameter = nullptr;
_purecall_handler g_previous_purecall = nullptr;
std::terminate_handler g_previous_terminate = nullptr;
void (*g_previous_abort)(int) = SIG_DFL;

LONG WINAPI HandleUnhandledException(EXCEPTION_POINTERS* exception_pointers) {
  CrashHook hook = g_hook;
  if (!hook || !hook(exception_pointers, nullptr))
    return EXCEPTION_CONTINUE_SEARCH;
  TerminateWithExceptionCode(exception_pointers->ExceptionRecord->ExceptionCode);
}

void CopyText(wchar_t* destination, const wchar_t* source) {
  if (!source)
    return;
  wcsncpy(destination, source, AssertionInfo::kTextLength - 1);
  destination[AssertionInfo::kTextLength - 1] = L'\0';
}

void HandleInvalidParameter(const wchar_t* expression, const wchar_t* function,
                            const wchar_t* file, unsigned int line, uintptr_t) {
  AssertionInfo assertion = {};
  CopyText(assertion.expression, expression);
  CopyText(assertion.function, function);
  CopyText(assertion.file, file);
  assertion.line = line;
  assertion.type = kAssertionInvalidParameter;
  ReportNonExceptionCrash(kInvalidParameterCode, &assertion);
}

void HandlePureCall() {
  AssertionInfo assertion = {};
  assertion.type = kAssertionPureCall;
  ReportNonExceptionCrash(kPureCallCode, &assertion);
}

void HandleAbortSignal(int) {
  ReportNonExceptionCrash(kAbortCode, nullptr);
}

void HandleTerminate() {
  ReportNonExceptionCrash(kAbortCode, nullptr);
}

}  // namespace

void InstallCrashHooks(CrashHook hook) {
  g_hook = hook;
  if (g_installed)
    return;
  g_installed = true;
  g_previous_filter = SetUnhandledExceptionFilter(&HandleUnhandledException);
  g_previous_invalid_parameter = _set_invalid_parameter_handler(&HandleInvalidParameter);
  g_previous_purecall = _set_purecall_handler(&HandlePureCall);
  g_previous_terminate = std::set_terminate(&HandleTerminate);
  g_previous_abort = signal(SIGABRT, &HandleAbortSignal);
}

void UninstallCrashHooks() {
  if (!g_installed)
    return;
  SetUnhandledExceptionFilter(g_previous_filter);
  _set_invalid_parameter_handler(g_previous_invalid_parameter);
  _set_purecall_handler(g_previous_purecall);
  std::set_terminate(g_previous_terminate);
  signal(SIGABRT, g_previous_abort == SIG_ERR ? SIG_DFL : g_previous_abort);
  g_installed = false;
  g_hook = nullptr;
}

void TerminateWithExceptionCode(DWORD code) {
  for (;;)
    TerminateProcess(GetCurrentProcess(), code);
}

void ReportNonExceptionCrash(DWORD code, const AssertionInfo* assertion) {
  CONTEXT context = {};
  RtlCaptureContext(&context);
  EXCEPTION_RECORD record = {};
  record.ExceptionCode = code;
  record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
  record.ExceptionAddress = reinterpret_cast<void*>(context.Rip);
  EXCEPTION_POINTERS pointers = {&record, &context};
  CrashHook hook = g_hook;
  if (hook)
    hook(&pointers, assertion);
  TerminateWithExceptionCode(code);
}

}  // namespace crash
